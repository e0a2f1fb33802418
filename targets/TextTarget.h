#pragma once

#include "Target.h"
#include "ocr/TextRecognizer.h"

#include <QStringList>
#include <memory>

// TXT: the text the recognition finds in the capture, enlarged three times for the engine, written to the
// next free .txt file once it is done, off the user-interface thread meanwhile.
class TextTarget final : public Target
{
public:
    explicit TextTarget(TargetHost& host);
    ~TextTarget() override;

    // Asks the system for its recognition languages; the display names in the order the host's index
    // counts them. Whatever goes wrong while asking leaves the list empty.
    QStringList loadLanguages();

    // Needs at least one recognition language.
    std::optional<Unavailable> problem() const override;
    Completion completion() const override { return Completion::Later; }
    // Takes the bitmap over and starts the recognition; throws when it cannot start.
    void deliver(Shot& shot) override;

    bool isRecognizing() const { return m_recognizer->isRecognizing(); }

private:
    void onRecognized(const TextRecognizer::Result& result);

    std::unique_ptr<TextRecognizer> m_recognizer;
    TextRecognizer::Languages m_languages;
};
