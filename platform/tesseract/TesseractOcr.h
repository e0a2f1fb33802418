#pragma once

#include "platform/OcrEngine.h"

#include <QLocale>

// Text recognition with Tesseract. The languages are the installed language packs; each recognition runs in
// the helper program lumetra-ocr (found beside the program's modules), which loads the engine and its data
// and ends with the recognition.
class TesseractOcr final : public OcrEngine
{
public:
    QList<OcrLanguage> languages() override;
    std::unique_ptr<OcrJob> recognize(const QImage& picture, const QString& pack,
        std::function<void(const OcrOutcome&)> done, QString* error) override;

    // The folder of the language packs: $TESSDATA_PREFIX when set, else the system's.
    static QString dataFolder();
};

// The four texts of a pack's language, from the locale data. Packs are named by an ISO 639-2 language code,
// optionally followed by a script ("chi_sim", "srp_latn") or another variant ("jpn_vert"); a pack whose
// language the locale data does not know is shown by its name.
OcrLanguage DescribePack(const QString& pack);

// The languages of the system's language first (those of its script before the others), then the rest, each
// group in the order of the pack names. A system without a language counts as English.
QList<OcrLanguage> OrderLanguages(QList<OcrLanguage> languages, const QLocale& system);
