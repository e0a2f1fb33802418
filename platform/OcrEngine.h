#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>

// A language the recognition engine can read, with the four texts the system gives for it.
struct OcrLanguage
{
    QString displayName; // in English: "Korean"
    QString languageTag; // BCP-47: "ko", "zh-Hans"
    QString nativeName; // "한국어"
    QString script; // ISO 15924: "Latn"
    // The engine's own name of its data for the language ("kor").
    QString pack;
};

struct OcrWord
{
    QString text;
    // Pixels of the recognised picture.
    QRectF rect;
};

struct OcrLine
{
    QString text;
    QList<OcrWord> words;
};

struct OcrOutcome
{
    enum class Status { Completed, Canceled, Failed };
    Status status = Status::Failed;
    QList<OcrLine> lines;
    // The whole text, line by line.
    QString text;
    double textAngle = 0;
    // Why a recognition failed, for the log.
    QString error;
};

// One recognition under way. Destroying it ends the recognition: its completion is then never called.
class OcrJob
{
public:
    virtual ~OcrJob() = default;
    // Asks the engine to stop; the completion still comes, as Canceled unless it had already finished.
    virtual void cancel() = 0;
};

// The text-recognition engine. Its data is loaded on the first recognition, never before.
class OcrEngine
{
public:
    virtual ~OcrEngine() = default;
    // The languages installed now, the system language's first; cheap, asked again at every call.
    virtual QList<OcrLanguage> languages() = 0;
    // Starts recognising a picture of 32 bits per pixel (blue, green, red and a fourth byte) in the
    // language of `pack`. `done` is called once, later, on the thread that started it. Null, with `error`
    // filled in, when the recognition cannot start.
    virtual std::unique_ptr<OcrJob> recognize(const QImage& picture, const QString& pack,
        std::function<void(const OcrOutcome&)> done, QString* error)
        = 0;
};
