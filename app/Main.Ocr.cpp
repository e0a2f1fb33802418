// Text recognition: the capture enlarged, recognised off the user-interface thread and written as text.

#include "Main.h"

#include "save/AtomicFile.h"
#include "save/Save.h"
#include "support/Q.Config.h"

#include <QComboBox>

void TFrmLumetra::LoadRecognitionLanguages(TConfig& config)
{
    Languages = RtOcr->AvailableLanguages();
    for (const TRtOcr::TLanguage& language : std::as_const(Languages))
        ChkOCR_lang->addItem(language.DisplayName);
    // The list selects its first entry as it is filled; a stored index outside it leaves it without one.
    const int index = config.ReadInteger(QStringLiteral("language_ocr"), 0);
    ChkOCR_lang->setCurrentIndex(index >= 0 && index < ChkOCR_lang->count() ? index : -1);
}

void TFrmLumetra::StartOcr(QImage& bitmap)
{
    // 1. Small screen text reaches a size the engine reads well.
    ResizeBitmap(bitmap, bitmap.width() * 3, bitmap.height() * 3);
    // The engine keeps its own reference; neither the component nor the capture holds the picture on.
    struct Release
    {
        TRtOcr& ocr;
        QImage& bitmap;
        ~Release()
        {
            ocr.SetPicture(QImage());
            bitmap = QImage();
        }
    } release { *RtOcr, bitmap };
    // 2.
    RtOcr->SetPicture(bitmap);
    // 3. Never an entry outside the list: no selection is a language that is not there.
    const int index = ChkOCR_lang->currentIndex();
    if (index < 0 || index >= Languages.size())
        throw ERtOcrError(QStringLiteral("Language not available"));
    RtOcr->Recognize(Languages[index], nullptr, 0, 0, 0, 0);
}

void TFrmLumetra::BitmapToTXTFileCompleted(TRtOcr*, const TRtOcr::TResult& result, void*)
{
    if (result.Status != TRtOcr::stCompleted) {
        DeliveryFinished(QStringLiteral("OCR failed."));
        return;
    }
    // UTF-8 without a byte-order mark keeps every script; each line ends in CR LF, the last one too.
    QByteArray text;
    for (const TRtOcr::TLine& line : result.Lines)
        text += line.Text.toUtf8() + "\r\n";
    try {
        AtomicFile file(NewFilename(QStringLiteral("txt")));
        file.write(text.constData(), std::size_t(text.size()));
        file.commit();
    } catch (const Exception& error) {
        DeliveryFinished(error.message());
        return;
    }
    DeliveryFinished({});
}
