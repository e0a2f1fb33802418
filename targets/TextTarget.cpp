#include "TextTarget.h"

#include "platform/Platform.h"
#include "save/AtomicFile.h"
#include "save/Save.h"

TextTarget::TextTarget(TargetHost& host)
    : Target(host), m_recognizer(std::make_unique<TextRecognizer>(host.platform().ocr()))
{
    m_recognizer->setCompletionHandler(
        [this](TextRecognizer*, const TextRecognizer::Result& result, void*) { onRecognized(result); });
}

// A recognition still running ends here and writes nothing.
TextTarget::~TextTarget() = default;

QStringList TextTarget::loadLanguages()
{
    try {
        m_languages = m_recognizer->availableLanguages();
    } catch (const std::exception&) {
        m_languages.clear();
    }
    QStringList names;
    for (const TextRecognizer::Language& language : std::as_const(m_languages))
        names.append(language.displayName);
    return names;
}

std::optional<Unavailable> TextTarget::problem() const
{
    if (!m_languages.isEmpty())
        return std::nullopt;
    // Shown in Korean in every language: the text has no translation.
    return Unavailable { QStringLiteral("OCR 을 지원하지 않는 윈도우 환경입니다."), {}, true };
}

void TextTarget::deliver(Shot& shot)
{
    QImage& bitmap = shot.bitmap;
    // Small screen text reaches a size the engine reads well.
    ResizeBitmap(bitmap, bitmap.width() * 3, bitmap.height() * 3);
    // The engine keeps its own reference; neither the recognizer nor the capture holds the picture on.
    struct Release
    {
        TextRecognizer& recognizer;
        QImage& bitmap;
        ~Release()
        {
            recognizer.setPicture(QImage());
            bitmap = QImage();
        }
    } release { *m_recognizer, bitmap };
    m_recognizer->setPicture(bitmap);
    // No selection is a language that is not there.
    const int index = host().recognitionLanguage();
    if (index < 0 || index >= m_languages.size())
        throw TextRecognitionError(QStringLiteral("Language not available"));
    m_recognizer->recognize(m_languages[index], nullptr, 0, 0, 0, 0);
}

void TextTarget::onRecognized(const TextRecognizer::Result& result)
{
    if (result.status != TextRecognizer::Status::Completed) {
        host().finishDelivery(QStringLiteral("OCR failed."));
        return;
    }
    // UTF-8 without a byte-order mark keeps every script; each line ends in CR LF, the last one too.
    QByteArray text;
    for (const TextRecognizer::Line& line : result.lines)
        text += line.text.toUtf8() + "\r\n";
    try {
        AtomicFile file(host().newFileName(QStringLiteral("txt")));
        file.write(text.constData(), std::size_t(text.size()));
        file.commit();
    } catch (const Exception& error) {
        host().finishDelivery(error.message());
        return;
    }
    host().finishDelivery({});
}
