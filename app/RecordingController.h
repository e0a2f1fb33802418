#pragma once

#include "capture/RegionFrame.h"
#include "recording/ScreenRecorder.h"

#include <QObject>
#include <QRect>
#include <functional>
#include <memory>

class MessageBoxes;
class QTimer;
class ScreenSource;
class ScreenCapture;

// One screen recording at a time: started and stopped by the capture command, followed ten times a
// second until the encoder has ended, whatever ended it (a stop, the time limit, a failure).
class RecordingController final : public QObject, public RecordingControl
{
    Q_OBJECT

public:
    RecordingController(ScreenSource& screen, MessageBoxes& messages, QObject* parent = nullptr);
    ~RecordingController() override;

    // Records the region `region` gives, copied through `capture`, or the monitor under the pointer when
    // `region` is empty. Blocks while the encoder lists the sound sources, when sound is wanted. Throws an
    // Exception when the recording cannot start; nothing then runs.
    void start(const ScreenRecorder::Options& options, ScreenCapture& capture, std::function<QRect()> region);
    bool isRecording() const override;
    // Asks the encoder to finish; `ended` follows once it has written the file.
    void stopRecording() override;
    // The session is ending: finishes the file, waiting a few seconds at most, without `ended`.
    void finishNow();

signals:
    // The elapsed time, "hh:mm:ss", while the recording runs.
    void timeChanged(const QString& time);
    // The encoder has ended; `failure` says why no playable file came of it, empty when all went well.
    void ended(const QString& failure);

private:
    void onTick();

    ScreenSource& m_screen;
    MessageBoxes& m_messages;
    std::unique_ptr<ScreenRecorder> m_recorder;
    QTimer* m_ticks = nullptr;
};
