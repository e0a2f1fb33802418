#pragma once

#include "ProcessRunner.h"

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
class FramePipe;

// The screen rectangle to record, asked for anew at every frame.
using RegionSource = std::function<QRect()>;

// What one run of the encoder records, from which the argument vector is built.
struct EncoderInput
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
class ScreenRecorder : public QObject
{
    Q_OBJECT
public:
    // `screen` gives the monitor under the pointer; `messages` the box of an encoder that cannot start.
    ScreenRecorder(ScreenSource& screen, MessageBoxes* messages, QObject* parent = nullptr);
    ~ScreenRecorder() override;

    // The encoder: "ffmpeg" in the program's folder, else on PATH; empty when there is none.
    static QString findEncoder();

    struct Options
    {
        // The encoder program.
        QString encoder;
        QString output;
        bool audio = false;
        bool pointer = true;
        // Appends the encoder's output to "ffmpeg.log" in `logFolder`.
        bool log = false;
        // Minutes of the recording limit; 0 for none.
        int limitMinutes = 0;
        // The folder of the log, asked for at every line.
        std::function<QString()> logFolder;
    };
    // Takes effect at the next start.
    void setOptions(Options options) { m_options = std::move(options); }
    const Options& options() const { return m_options; }

    bool isRunning() const { return m_running; }
    // The elapsed time as the encoder last reported it, "hh:mm:ss.cc".
    QString recordedTime() const { return m_recordedTime; }
    // Once the encoder has ended: why no playable file came of it (the encoder's last error line); empty
    // when the recording is fine or was never started.
    QString failure() const { return m_failure; }

    // The default PulseAudio source the encoder lists, else the first; empty without a sound server.
    // Blocks until the listing has ended, at most a few seconds.
    QString findAudioSource();
    // Records the region `rect` gives, copied through `capture` (whose pointer setting follows the options).
    // Throws an Exception when the frame pipe cannot be set up.
    void start(ScreenCapture& capture, RegionSource rect);
    // Records the monitor under the pointer.
    void start();
    // Asks the encoder to finish; isRunning() turns false once it has written the file and ended.
    void stop();
    // Asks the encoder to finish and blocks this thread until it has written the file and ended, at most
    // `limit`; an encoder still running then is killed, so that nothing of the recording goes on. For the
    // session's end, which waits for nothing else. Returns whether the file was finished in time.
    bool stopAndWait(std::chrono::milliseconds limit = std::chrono::seconds(3));

    // The encoder's arguments, in the order of its options.
    static QStringList encoderArguments(const EncoderInput& input);
    // A frame side made even: half of it rounded to nearest, halves to even, doubled.
    static int evenSize(int size);
    // The time of a progress line ("time=00:01:23.45 bitrate=..."); empty when the line has none, or
    // ends inside the value.
    static QString progressTime(const QString& line);
    // The source from an encoder's listing of PulseAudio sources.
    static QString parseSources(const QString& listing);
    // Whether the file is an MP4 with its index written (the encoder writes it last).
    static bool isPlayableMp4(const QString& fileName);

private:
    void startEncoder();
    void copyFrame();
    void onEncoderLine(const QString& line, OutputType type);
    void onEncoderEnded();
    void appendLog(const QString& line);
    QRect monitorUnderCursor() const;

    ScreenSource& m_screen;
    MessageBoxes* m_messages;
    Options m_options;
    std::unique_ptr<ProcessRunner> m_encoder;
    ScreenCapture* m_capture = nullptr;
    QTimer* m_frameTimer = nullptr;
    QString m_audioSource;
    QString m_recordedTime;
    bool m_running = false;
    RegionSource m_region;

    // The region's frames: their size, their pipe and the recording's clock.
    QSize m_frameSize;
    std::unique_ptr<FramePipe> m_frames;
    QElapsedTimer m_clock;
    qint64 m_framesDue = 0;
    // The encoder's last line, and its last report of a failed system call.
    QString m_lastLine;
    QString m_errorLine;
    QString m_failure;
};
