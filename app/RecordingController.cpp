#include "RecordingController.h"

#include "recording/Recorder.h"

#include <QTimer>

RecordingController::RecordingController(ScreenSource& screen, MessageBoxes& messages, QObject* parent)
    : QObject(parent), m_screen(screen), m_messages(messages), m_ticks(new QTimer(this))
{
    m_ticks->setInterval(100);
    connect(m_ticks, &QTimer::timeout, this, &RecordingController::onTick);
}

RecordingController::~RecordingController() = default;

void RecordingController::start(const Options& options, ScreenCapture& capture, std::function<QRect()> region)
{
    auto recorder = std::make_unique<TRecorder>(m_screen, &m_messages);
    recorder->FFMpeg = options.encoder;
    recorder->Output = options.output;
    recorder->Audio = options.audio;
    recorder->Mouse = options.pointer;
    recorder->Logging = options.log;
    recorder->Limit = options.limitMinutes;
    recorder->LogFolder = options.logFolder;
    if (region)
        recorder->Start(capture, std::move(region));
    else
        recorder->Start();
    m_recorder = std::move(recorder);
    m_ticks->start();
}

bool RecordingController::isRecording() const
{
    return m_recorder != nullptr;
}

void RecordingController::stopRecording()
{
    if (m_recorder)
        m_recorder->Stop();
}

void RecordingController::finishNow()
{
    m_ticks->stop();
    if (m_recorder)
        m_recorder->StopAndWait();
    m_recorder.reset();
}

void RecordingController::onTick()
{
    if (m_recorder && m_recorder->IsRunning()) {
        emit timeChanged(m_recorder->RecTime().left(8));
        return;
    }
    m_ticks->stop();
    const QString failure = m_recorder ? m_recorder->Failure() : QString();
    m_recorder.reset();
    emit ended(failure);
}
