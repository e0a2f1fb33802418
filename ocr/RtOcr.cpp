#include "RtOcr.h"

#include "platform/OcrEngine.h"

#include <optional>

namespace {

void CheckArgument(bool condition, const char* message)
{
    if (!condition)
        throw ERtOcrError(QString::fromLatin1(message));
}

TRtOcr::TLanguage TextsOf(const OcrLanguage& language)
{
    return TRtOcr::TLanguage { language.displayName, language.languageTag, language.nativeName,
        language.script };
}

// The engine's entry whose four texts are exactly those of the language, letter case included.
std::optional<OcrLanguage> FindRecognizerLanguage(OcrEngine& engine, const TRtOcr::TLanguage& language)
{
    const QList<OcrLanguage> offered = engine.languages();
    for (const OcrLanguage& each : offered)
        if (TextsOf(each) == language)
            return each;
    return std::nullopt;
}

TRtOcr::TResult ResultOf(const OcrOutcome& outcome)
{
    TRtOcr::TResult result;
    switch (outcome.status) {
    case OcrOutcome::Status::Completed:
        result.Status = TRtOcr::stCompleted;
        break;
    case OcrOutcome::Status::Canceled:
        result.Status = TRtOcr::stCanceled;
        return result;
    case OcrOutcome::Status::Failed:
        result.Status = TRtOcr::stError;
        return result;
    }
    result.Text = outcome.text;
    result.TextAngle = outcome.textAngle;
    for (const OcrLine& line : outcome.lines) {
        TRtOcr::TLine converted { line.text, {} };
        for (const OcrWord& word : line.words)
            converted.Words.append(TRtOcr::TWord { word.text,
                TRtOcr::TSRect { float(word.rect.x()), float(word.rect.y()), float(word.rect.width()),
                    float(word.rect.height()) } });
        result.Lines.append(converted);
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

QImage PictureToSoftwareBitmap(const QImage& picture, int left, int top, int right, int bottom)
{
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        right = picture.width();
        bottom = picture.height();
    }
    CheckArgument(left >= 0, "Incorrect Left value");
    CheckArgument(top >= 0, "Incorrect Top value");
    CheckArgument(right > 0 && right <= picture.width(), "Incorrect Right value");
    CheckArgument(bottom > 0 && bottom <= picture.height(), "Incorrect Bottom value");
    // A rectangle that ends before it starts is as wrong as one outside the picture.
    CheckArgument(left < right, "Incorrect Left value");
    CheckArgument(top < bottom, "Incorrect Top value");
    const bool whole = left == 0 && top == 0 && right == picture.width() && bottom == picture.height();
    QImage bitmap = whole ? picture : picture.copy(left, top, right - left, bottom - top);
    // Screen captures are in this format already and are passed on without a copy.
    if (bitmap.format() != QImage::Format_RGB32 && bitmap.format() != QImage::Format_ARGB32)
        bitmap = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (bitmap.isNull())
        throw ERtOcrError(QStringLiteral("Not enough memory for the picture"));
    return bitmap;
}

TRtOcr::TRtOcr(OcrEngine& engine, QObject* owner) : QObject(owner), FEngine(engine) { }

TRtOcr::~TRtOcr()
{
    Cancel();
    FAsyncResult.reset();
}

TRtOcr::TLanguages TRtOcr::AvailableLanguages() const
{
    TLanguages languages;
    const QList<OcrLanguage> offered = FEngine.languages();
    for (const OcrLanguage& language : offered)
        languages.append(TextsOf(language));
    return languages;
}

void TRtOcr::Recognize(const TLanguage& language, void* customData, int left, int top, int right, int bottom)
{
    Start(
        language,
        [this, customData](const TResult& result) {
            if (OnCompleted)
                OnCompleted(this, result, customData);
        },
        left, top, right, bottom);
}

void TRtOcr::Start(const TLanguage& language, std::function<void(const TResult&)> deliver, int left, int top,
    int right, int bottom)
{
    CheckArgument(!FAsyncResult, "Recognition already started");
    const std::optional<OcrLanguage> found = FindRecognizerLanguage(FEngine, language);
    CheckArgument(found.has_value(), "Language not available");
    const QImage bitmap = PictureToSoftwareBitmap(FPicture, left, top, right, bottom);
    QString error;
    FAsyncResult = FEngine.recognize(
        bitmap, found->pack,
        [this, deliver = std::move(deliver)](const OcrOutcome& outcome) { Completed(outcome, deliver); },
        &error);
    if (!FAsyncResult)
        throw ERtOcrError(error);
}

void TRtOcr::Completed(const OcrOutcome& outcome, const std::function<void(const TResult&)>& deliver)
{
    if (!FAsyncResult)
        return;
    // The engine is still inside its own call, and the completion may open a message box with an event loop
    // of its own: the job goes once control is back in the loop that delivered it. A new recognition may
    // start from here on.
    const std::function<void(const TResult&)> keep = deliver;
    (new JobGrave(std::move(FAsyncResult), this))->deleteLater();
    keep(ResultOf(outcome));
}

void TRtOcr::Cancel()
{
    if (FAsyncResult)
        FAsyncResult->cancel();
}
