#include "RecordingController.h"

#include <QTimer>

RecordingController::RecordingController(ScreenSource& screen, MessageBoxes& messages, QObject* parent)
    : QObject(parent), m_screen(screen), m_messages(messages), m_ticks(new QTimer(this))
{
    m_ticks->setInterval(100);
    connect(m_ticks, &QTimer::timeout, this, &RecordingController::onTick);
}

RecordingController::~RecordingController() = default;

void RecordingController::start(
    const ScreenRecorder::Options& options, ScreenCapture& capture, std::function<QRect()> region)
{
    auto recorder = std::make_unique<ScreenRecorder>(m_screen, &m_messages);
    recorder->setOptions(options);
    if (region)
        recorder->start(capture, std::move(region));
    else
        recorder->start();
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
        m_recorder->stop();
}

void RecordingController::finishNow()
{
    m_ticks->stop();
    if (m_recorder)
        m_recorder->stopAndWait();
    m_recorder.reset();
}

void RecordingController::onTick()
{
    if (m_recorder && m_recorder->isRunning()) {
        emit timeChanged(m_recorder->recordedTime().left(8));
        return;
    }
    m_ticks->stop();
    const QString failure = m_recorder ? m_recorder->failure() : QString();
    m_recorder.reset();
    emit ended(failure);
}
