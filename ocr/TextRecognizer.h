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
class TextRecognitionError : public Exception
{
    using Exception::Exception;
};

// Recognises the text of a picture with the system's engine, asynchronously: the result comes to
// the completion handler on the user-interface thread. One recognition at a time.
class TextRecognizer : public QObject
{
    Q_OBJECT

public:
    // A recognition language with the four texts the system gives for it.
    struct Language
    {
        QString displayName;
        QString languageTag;
        QString nativeName;
        QString script;
        friend bool operator==(const Language&, const Language&) = default;
    };
    using Languages = QList<Language>;

    // Pixels of the recognised picture.
    struct WordBox
    {
        float x = 0;
        float y = 0;
        float width = 0;
        float height = 0;
    };
    struct Word
    {
        QString text;
        WordBox box;
    };
    struct Line
    {
        QString text;
        QList<Word> words;
    };

    enum class Status { Completed, Canceled, Failed };
    struct Result
    {
        Status status = Status::Failed;
        QList<Line> lines;
        QString text;
        double textAngle = 0;
    };

    using CompletionHandler
        = std::function<void(TextRecognizer* sender, const Result& result, void* customData)>;

    explicit TextRecognizer(OcrEngine& engine, QObject* owner = nullptr);
    // Closes a running recognition; its completion is then never delivered.
    ~TextRecognizer() override;

    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture) { m_picture = picture; }
    void setCompletionHandler(CompletionHandler handler) { m_onCompleted = std::move(handler); }
    // Asked from the system at every call.
    Languages availableLanguages() const;
    bool isRecognizing() const { return bool(m_job); }

    // Starts recognising the rectangle of the picture (all four 0: the whole picture; right and bottom
    // exclusive). Throws TextRecognitionError when a recognition runs, the language is not offered, a
    // coordinate is out of the picture or the engine cannot start.
    void recognize(const Language& language, void* customData, int left, int top, int right, int bottom);
    // Asks the engine to stop; the completion then reports Status::Canceled, and the recognition counts as
    // running until it arrives. Nothing when none runs.
    void cancel();

private:
    void start(const Language& language, std::function<void(const Result&)> deliver, int left, int top,
        int right, int bottom);
    void onEngineFinished(const OcrOutcome& outcome, const std::function<void(const Result&)>& deliver);

    OcrEngine& m_engine;
    std::unique_ptr<OcrJob> m_job;
    QImage m_picture;
    CompletionHandler m_onCompleted;
};

// The rectangle of the picture as 32 bits per pixel (blue, green, red and the fourth byte), rows packed
// top row first; all four 0 mean the whole picture. Throws TextRecognitionError for a coordinate outside it.
QImage recognitionBitmap(const QImage& picture, int left, int top, int right, int bottom);
