#pragma once

#include "support/Exception.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class OcrEngine;
class OcrJob;
struct OcrOutcome;

// Wrong use of the recognition component or wrong arguments.
class ERtOcrError : public Exception
{
    using Exception::Exception;
};

// Recognises the text of a picture with the system's engine, asynchronously: the result comes to
// OnCompleted on the user-interface thread. One recognition at a time.
class TRtOcr : public QObject
{
    Q_OBJECT

public:
    // A recognition language with the four texts the system gives for it.
    struct TLanguage
    {
        QString DisplayName;
        QString LanguageTag;
        QString NativeName;
        QString Script;
        friend bool operator==(const TLanguage&, const TLanguage&) = default;
    };
    using TLanguages = QList<TLanguage>;

    // Pixels of the recognised picture.
    struct TSRect
    {
        float X = 0;
        float Y = 0;
        float Width = 0;
        float Height = 0;
    };
    struct TWord
    {
        QString Text;
        TSRect Rect;
    };
    using TWords = QList<TWord>;
    struct TLine
    {
        QString Text;
        TWords Words;
    };
    using TLines = QList<TLine>;

    enum TStatus { stCompleted, stCanceled, stError };
    struct TResult
    {
        TStatus Status = stError;
        TLines Lines;
        QString Text;
        double TextAngle = 0;
    };

    using TCompletedEvent = std::function<void(TRtOcr* sender, const TResult& result, void* customData)>;

    explicit TRtOcr(OcrEngine& engine, QObject* owner = nullptr);
    // Closes a running recognition; its completion is then never delivered.
    ~TRtOcr() override;

    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& picture) { FPicture = picture; }
    TCompletedEvent OnCompleted;
    // Asked from the system at every call.
    TLanguages AvailableLanguages() const;
    bool Recognizing() const { return bool(FAsyncResult); }

    // Starts recognising the rectangle of Picture (all four 0: the whole picture; right and bottom
    // exclusive). Throws ERtOcrError when a recognition runs, the language is not offered, a coordinate is
    // out of the picture or the engine cannot start.
    void Recognize(const TLanguage& language, void* customData, int left, int top, int right, int bottom);
    // Asks the engine to stop; the completion then reports stCanceled, and the recognition counts as running
    // until it arrives. Nothing when none runs.
    void Cancel();

private:
    void Start(const TLanguage& language, std::function<void(const TResult&)> deliver, int left, int top,
        int right, int bottom);
    void Completed(const OcrOutcome& outcome, const std::function<void(const TResult&)>& deliver);

    OcrEngine& FEngine;
    std::unique_ptr<OcrJob> FAsyncResult;
    QImage FPicture;
};

// The rectangle of the picture as 32 bits per pixel (blue, green, red and the fourth byte), rows packed
// top row first; all four 0 mean the whole picture. Throws ERtOcrError for a coordinate outside it.
QImage PictureToSoftwareBitmap(const QImage& picture, int left, int top, int right, int bottom);
