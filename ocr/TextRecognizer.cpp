#include "TextRecognizer.h"

#include "platform/OcrEngine.h"

#include <optional>

namespace {

void checkArgument(bool condition, const char* message)
{
    if (!condition)
        throw TextRecognitionError(QString::fromLatin1(message));
}

TextRecognizer::Language textsOf(const OcrLanguage& language)
{
    return TextRecognizer::Language { language.displayName, language.languageTag, language.nativeName,
        language.script };
}

// The engine's entry whose four texts are exactly those of the language, letter case included.
std::optional<OcrLanguage> findRecognizerLanguage(OcrEngine& engine, const TextRecognizer::Language& language)
{
    const QList<OcrLanguage> offered = engine.languages();
    for (const OcrLanguage& each : offered)
        if (textsOf(each) == language)
            return each;
    return std::nullopt;
}

TextRecognizer::Result resultOf(const OcrOutcome& outcome)
{
    TextRecognizer::Result result;
    switch (outcome.status) {
    case OcrOutcome::Status::Completed:
        result.status = TextRecognizer::Status::Completed;
        break;
    case OcrOutcome::Status::Canceled:
        result.status = TextRecognizer::Status::Canceled;
        return result;
    case OcrOutcome::Status::Failed:
        result.status = TextRecognizer::Status::Failed;
        return result;
    }
    result.text = outcome.text;
    result.textAngle = outcome.textAngle;
    for (const OcrLine& line : outcome.lines) {
        TextRecognizer::Line converted { line.text, {} };
        for (const OcrWord& word : line.words)
            converted.words.append(TextRecognizer::Word { word.text,
                TextRecognizer::WordBox { float(word.rect.x()), float(word.rect.y()),
                    float(word.rect.width()), float(word.rect.height()) } });
        result.lines.append(converted);
    }
    return result;
}

// Holds a finished job until it can go.
class JobGrave : public QObject
{
public:
    JobGrave(std::unique_ptr<OcrJob> job, QObject* parent) : QObject(parent), m_job(std::move(job)) { }

private:
    std::unique_ptr<OcrJob> m_job;
};

} // namespace

QImage recognitionBitmap(const QImage& picture, int left, int top, int right, int bottom)
{
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        right = picture.width();
        bottom = picture.height();
    }
    checkArgument(left >= 0, "Incorrect Left value");
    checkArgument(top >= 0, "Incorrect Top value");
    checkArgument(right > 0 && right <= picture.width(), "Incorrect Right value");
    checkArgument(bottom > 0 && bottom <= picture.height(), "Incorrect Bottom value");
    // A rectangle that ends before it starts is as wrong as one outside the picture.
    checkArgument(left < right, "Incorrect Left value");
    checkArgument(top < bottom, "Incorrect Top value");
    const bool whole = left == 0 && top == 0 && right == picture.width() && bottom == picture.height();
    QImage bitmap = whole ? picture : picture.copy(left, top, right - left, bottom - top);
    // Screen captures are in this format already and are passed on without a copy.
    if (bitmap.format() != QImage::Format_RGB32 && bitmap.format() != QImage::Format_ARGB32)
        bitmap = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (bitmap.isNull())
        throw TextRecognitionError(QStringLiteral("Not enough memory for the picture"));
    return bitmap;
}

TextRecognizer::TextRecognizer(OcrEngine& engine, QObject* owner) : QObject(owner), m_engine(engine) { }

TextRecognizer::~TextRecognizer()
{
    cancel();
    m_job.reset();
}

TextRecognizer::Languages TextRecognizer::availableLanguages() const
{
    Languages languages;
    const QList<OcrLanguage> offered = m_engine.languages();
    for (const OcrLanguage& language : offered)
        languages.append(textsOf(language));
    return languages;
}

void TextRecognizer::recognize(
    const Language& language, void* customData, int left, int top, int right, int bottom)
{
    start(
        language,
        [this, customData](const Result& result) {
            if (m_onCompleted)
                m_onCompleted(this, result, customData);
        },
        left, top, right, bottom);
}

void TextRecognizer::start(const Language& language, std::function<void(const Result&)> deliver, int left,
    int top, int right, int bottom)
{
    checkArgument(!m_job, "Recognition already started");
    const std::optional<OcrLanguage> found = findRecognizerLanguage(m_engine, language);
    checkArgument(found.has_value(), "Language not available");
    const QImage bitmap = recognitionBitmap(m_picture, left, top, right, bottom);
    QString error;
    m_job = m_engine.recognize(
        bitmap, found->pack,
        [this, deliver = std::move(deliver)](
            const OcrOutcome& outcome) { onEngineFinished(outcome, deliver); },
        &error);
    if (!m_job)
        throw TextRecognitionError(error);
}

void TextRecognizer::onEngineFinished(
    const OcrOutcome& outcome, const std::function<void(const Result&)>& deliver)
{
    if (!m_job)
        return;
    // The engine is still inside its own call, and the completion may open a message box with an event loop
    // of its own: the job goes once control is back in the loop that delivered it. A new recognition may
    // start from here on.
    const std::function<void(const Result&)> keep = deliver;
    (new JobGrave(std::move(m_job), this))->deleteLater();
    keep(resultOf(outcome));
}

void TextRecognizer::cancel()
{
    if (m_job)
        m_job->cancel();
}
