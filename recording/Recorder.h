#pragma once

#include "DosCommand.h"

#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

class MessageBoxes;
class QTimer;
class ScreenSource;
class ScreenCapture;
class TFramePipe;

// The screen rectangle to record, asked for anew at every frame.
using TFuncOfRect = std::function<QRect()>;

// What one run of the encoder records, from which the argument vector is built.
struct TEncoderInput
{
    // The PulseAudio source to record; empty for no sound.
    QString audioSource;
    // Monitor source: the X display and the monitor's rectangle on it.
    QString display;
    QRect monitor;
    bool mouse = true;
    // Region source (when `frameSize` is not empty): raw frames of this size on this inherited descriptor.
    QSize frameSize;
    int frameDescriptor = -1;
    // Minutes; 0 for no limit.
    int limitMinutes = 0;
    QString output;
};

// One screen recording to MP4 through the encoder program ffmpeg: the monitor under the pointer, grabbed
// by the encoder itself, or a region whose frames this program copies from the screen 30 times a second
// and hands to the encoder on a pipe of its own. Follows the encoder's progress, optionally appends its
// output to "ffmpeg.log" in the save folder, and asks it to finish by typing "q". Everything runs on the
// user-interface thread except the writing of frames.
class TRecorder : public QObject
{
    Q_OBJECT
public:
    // `screen` gives the monitor under the pointer; `messages` the box of an encoder that cannot start.
    TRecorder(ScreenSource& screen, MessageBoxes* messages, QObject* parent = nullptr);
    ~TRecorder() override;

    // The encoder: "ffmpeg" in the program's folder, else on PATH; empty when there is none.
    static QString FindFFMpeg();

    bool Audio = false;
    QString FFMpeg;
    bool Mouse = true;
    bool Logging = false;
    QString Output;
    // Minutes of the recording limit; 0 for none.
    int Limit = 0;
    // The folder of the log, asked for at every line.
    std::function<QString()> LogFolder;

    bool IsRunning() const { return FIsRunning; }
    // The elapsed time as the encoder last reported it, "hh:mm:ss.cc".
    QString RecTime() const { return FRecTime; }
    // Once the encoder has ended: why no playable file came of it (the encoder's last error line); empty
    // when the recording is fine or was never started.
    QString Failure() const { return m_failure; }

    // The default PulseAudio source the encoder lists, else the first; empty without a sound server.
    // Blocks until the listing has ended, at most a few seconds.
    QString GetDriver();
    // Records the region `rect` gives, copied through `capture` (whose pointer setting follows Mouse).
    // Throws an Exception when the frame pipe cannot be set up.
    void Start(ScreenCapture& capture, TFuncOfRect rect);
    // Records the monitor under the pointer.
    void Start();
    // Asks the encoder to finish; IsRunning turns false once it has written the file and ended.
    void Stop();
    // Asks the encoder to finish and blocks this thread until it has written the file and ended, at most
    // `limit`; an encoder still running then is killed, so that nothing of the recording goes on. For the
    // session's end, which waits for nothing else. Returns whether the file was finished in time.
    bool StopAndWait(std::chrono::milliseconds limit = std::chrono::seconds(3));

    // The encoder's arguments, in the order of its options.
    static QStringList EncoderArguments(const TEncoderInput& input);
    // A frame side made even: half of it rounded to nearest, halves to even, doubled.
    static int EvenSize(int size);
    // The time of a progress line ("time=00:01:23.45 bitrate=..."); empty when the line has none, or
    // ends inside the value.
    static QString ProgressTime(const QString& line);
    // The source from an encoder's listing of PulseAudio sources.
    static QString ParseSources(const QString& listing);
    // Whether the file is an MP4 with its index written (the encoder writes it last).
    static bool IsPlayableMp4(const QString& fileName);

private:
    void StartEncoder();
    void CopyFrame();
    void HandleNewLine(TDosCommand* sender, const QString& line, TOutputType type);
    void HandleTerminated(TDosCommand* sender);
    void AppendLog(const QString& line);
    QRect MonitorUnderCursor() const;

    ScreenSource& m_screen;
    MessageBoxes* m_messages;
    std::unique_ptr<TDosCommand> FCMD;
    ScreenCapture* FCapture = nullptr;
    QTimer* FTimer = nullptr;
    QString FDriver;
    QString FRecTime;
    bool FIsRunning = false;
    TFuncOfRect FRect;

    // The region's frames: their size, their pipe and the recording's clock.
    QSize m_frameSize;
    std::unique_ptr<TFramePipe> m_frames;
    QElapsedTimer m_clock;
    qint64 m_framesDue = 0;
    // The encoder's last line, and its last report of a failed system call.
    QString m_lastLine;
    QString m_errorLine;
    QString m_failure;
};
