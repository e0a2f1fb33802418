#include "CaptureDispatcher.h"

#include "ColorPickerPage.h"
#include "FileNamer.h"
#include "MainWindow.h"
#include "RecordingController.h"
#include "Settings.h"
#include "SourceWindows.h"
#include "UserMessages.h"
#include "capture/CaptureSource.h"
#include "capture/DragSelector.h"
#include "capture/RegionFrame.h"
#include "capture/ScreenCapture.h"
#include "platform/Platform.h"
#include "platform/ScreenSource.h"
#include "platform/SoundPlayer.h"
#include "recording/ScreenRecorder.h"
#include "support/Exception.h"
#include "support/Q.Translate.h"
#include "targets/Targets.h"
#include "webpage/WebPageWindow.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QScreen>
#include <QTimer>

#include <malloc.h>

Q_LOGGING_CATEGORY(lcCapture, "lumetra.capture", QtWarningMsg)

namespace {

// The values of the setting "sound".
constexpr int SoundBefore = 2;
constexpr int SoundAfter = 3;
constexpr int RecordLimits[] = { 0, 30, 60, 120, 240 };

const QString ScreenUnreadable = QStringLiteral("The screen could not be read.");

QString reasonOf(const std::exception& error)
{
    const auto own = dynamic_cast<const Exception*>(&error);
    return own ? own->message() : QString::fromLocal8Bit(error.what());
}

} // namespace

CaptureDispatcher::CaptureDispatcher(Platform& platform, Settings& settings, MainWindow& window,
    SourceWindows& sources, RecordingController& recording, UserMessages& messages)
    : m_platform(platform)
    , m_settings(settings)
    , m_window(window)
    , m_sources(sources)
    , m_recording(recording)
    , m_messages(messages)
    , m_targets(std::make_unique<TargetTable>(*this))
    , m_rest(new QTimer(this))
{
    m_rest->setSingleShot(true);
    m_rest->setInterval(1000);
    connect(m_rest, &QTimer::timeout, this, &CaptureDispatcher::onRestTimeout);
    connect(
        &m_recording, &RecordingController::timeChanged, this, &CaptureDispatcher::onRecordingTimeChanged);
    connect(&m_recording, &RecordingController::ended, this, &CaptureDispatcher::onRecordingEnded);
}

// The targets' work (an upload, a recognition, the floating windows) ends with them, unheard.
CaptureDispatcher::~CaptureDispatcher() = default;

void CaptureDispatcher::createEngine()
{
    m_engine = std::make_unique<ScreenCapture>(m_platform.screen());
    m_state = State::Idle;
}

void CaptureDispatcher::start()
{
    // Commands can arrive while the start-up shows a message, before the engine exists.
    if (!m_engine)
        return;
    const int source = m_window.source();
    Target* target = m_targets->at(m_window.target());
    if (source != csColorPick && target && !target->accepts(source)) {
        m_messages.show(
            MessageIcon::Information, TranslateText(QStringLiteral("지원하지 않는 캡쳐영역입니다.")));
        return;
    }
    if (target && target->records()) {
        // An encoder gone since the target was chosen makes the command do nothing visible.
        if (m_state == State::Idle)
            startRecording(source);
        else if (m_state == State::Recording)
            m_recording.stopRecording();
        return;
    }
    if (m_state != State::Idle)
        return;
    if (target) {
        if (const auto problem = target->problem()) {
            m_messages.showUnavailable(*problem);
            return;
        }
    }
    capture(source, target);
    m_rest->start();
}

void CaptureDispatcher::capture(int source, Target* target)
{
    m_state = State::Capturing;
    const bool soundBefore = m_settings.sound() == SoundBefore;
    if (soundBefore && source != csDrag)
        playCaptureSound();

    Shot shot;
    bool taken = false;
    QElapsedTimer timer;
    timer.start();
    // A failure while the image is taken ends the capture like a failed save: reported, back to idle.
    try {
        if (source == csDrag) {
            auto drag = new DragSelector(m_platform, &m_window);
            drag->Capture(shot.bitmap, shot.rect);
            if (!drag->ShowModal())
                throw ECaptureError(ScreenUnreadable);
            if (shot.bitmap.isNull()) {
                m_state = State::Idle;
                return;
            }
            if (soundBefore)
                playCaptureSound();
            taken = true;
        } else if (source == csColorPick) {
            m_window.colorPicker().recordColor();
        } else {
            grab(source, shot);
            taken = true;
        }
    } catch (const std::exception& error) {
        m_messages.showCaptureFailed(reasonOf(error));
        m_state = State::Idle;
        return;
    }
    if (!taken || !target) {
        m_state = State::Idle;
        return;
    }

    qCDebug(lcCapture) << "took" << shot.bitmap.size() << "in" << timer.nsecsElapsed() / 1000 << "us";
    timer.restart();
    const Target::Completion completion = target->completion();
    // Set first: a target may report its end before deliver returns.
    if (completion != Target::Completion::Immediate)
        m_state = State::Delivering;
    try {
        target->deliver(shot);
        if (completion == Target::Completion::Later)
            return;
        if (m_settings.sound() == SoundAfter)
            playCaptureSound();
        if (completion == Target::Completion::BusyUntilEnded)
            return;
    } catch (const std::exception& error) {
        m_messages.showCaptureFailed(reasonOf(error));
    }
    qCDebug(lcCapture) << "delivered in" << timer.nsecsElapsed() / 1000 << "us";
    m_state = State::Idle;
}

void CaptureDispatcher::grab(int source, Shot& shot)
{
    shot.bitmap = QImage();
    m_engine->setShowCursor(m_settings.showPointer());
    ScreenSource& screen = m_platform.screen();
    bool read = true;
    switch (source) {
    case csFullScreen:
        read = m_engine->Capture(shot.bitmap, 0, shot.rect);
        break;
    case csRegion:
        shot.rect = m_sources.regionRect();
        read = m_engine->Capture(shot.bitmap, shot.rect);
        break;
    case csActiveWindow:
        read = m_engine->Capture(shot.bitmap, screen.activeWindow(), shot.rect);
        break;
    case csWindowControl:
        read = m_engine->Capture(shot.bitmap, screen.windowAt(screen.cursorPos()), shot.rect);
        break;
    case csWebPage: {
        WebPageWindow* page = m_sources.webPage();
        if (!page || !page->browser())
            throw ECaptureError(QStringLiteral("The web page window is not open."));
        QString error;
        if (!m_engine->Capture(shot.bitmap, *page->browser(), &error))
            throw ECaptureError(error);
        break;
    }
    default:
        break;
    }
    // A black picture saved as if all went well would hide a lost X connection from the user.
    if (!read)
        throw ECaptureError(ScreenUnreadable);
}

void CaptureDispatcher::startRecording(int source)
{
    // The target list said so when the encoder was missing.
    const QString encoder = ScreenRecorder::findEncoder();
    if (encoder.isEmpty())
        return;
    m_state = State::StartingRecording;
    m_window.setSourceEnabled(false);
    m_window.showPage(MainWindow::Page::Recording);
    ScreenRecorder::Options options;
    options.encoder = encoder;
    options.audio = m_settings.recordAudio();
    options.pointer = m_settings.showPointer();
    options.log = m_settings.encoderLog();
    // A stored limit that names no item of the menu is no limit.
    const int limit = m_settings.recordLimit();
    options.limitMinutes
        = std::find(std::begin(RecordLimits), std::end(RecordLimits), limit) != std::end(RecordLimits) ? limit
                                                                                                       : 0;
    options.logFolder = [this] { return m_settings.saveFolder(); };
    std::function<QRect()> region;
    if (source == csRegion && m_sources.regionFrame())
        region = [sources = QPointer<SourceWindows>(&m_sources)] {
            return sources ? sources->regionRect() : QRect();
        };
    try {
        options.output = newFileName(QStringLiteral("mp4"));
        m_recording.start(options, *m_engine, std::move(region));
    } catch (const std::exception& error) {
        onRecordingEnded({});
        m_messages.showCaptureFailed(reasonOf(error));
        return;
    }
    m_state = State::Recording;
}

void CaptureDispatcher::onRecordingTimeChanged(const QString& time)
{
    m_window.setRecordingTime(time);
    if (RegionFrame* frame = m_sources.regionFrame())
        frame->ShowRecTime(time, true);
}

void CaptureDispatcher::onRecordingEnded(const QString& failure)
{
    m_window.setSourceEnabled(true);
    m_window.showPage(MainWindow::Page::Options);
    const QString zero = QStringLiteral("00:00:00");
    m_window.setRecordingTime(zero);
    if (RegionFrame* frame = m_sources.regionFrame())
        frame->ShowRecTime(zero, false);
    m_state = State::Idle;
    // An encoder that failed early would otherwise leave the user believing a file was written.
    if (!failure.isEmpty())
        m_messages.showCaptureFailed(failure);
}

void CaptureDispatcher::playCaptureSound()
{
    static const QByteArray wave = [] {
        QFile file(QStringLiteral(":/sound/capture.wav"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    if (!wave.isEmpty())
        m_platform.sound().play(wave);
}

void CaptureDispatcher::onRestTimeout()
{
    // Captures in quick succession reuse the screen's shared segment and the encoder's buffers; once the
    // program rests, they go: the segment, and the free pages the allocator keeps.
    if (m_state != State::Idle) {
        m_rest->start();
        return;
    }
    if (m_engine)
        m_engine->DC().releaseMemory();
    malloc_trim(0);
}

QString CaptureDispatcher::newFileName(const QString& extension)
{
    return FileNamer::newFileName(
        m_settings.saveFolder(), FileNamer::schemeOf(m_settings.naming()), extension);
}

QString CaptureDispatcher::saveFolder() const
{
    return m_settings.saveFolder();
}

int CaptureDispatcher::jpegQuality() const
{
    return m_window.jpegQuality();
}

int CaptureDispatcher::webpQuality() const
{
    return m_window.webpQuality();
}

int CaptureDispatcher::recognitionLanguage() const
{
    return m_window.recognitionLanguage();
}

int CaptureDispatcher::pixelsPerInch() const
{
    const QScreen* screen = m_window.screen();
    return screen ? int(screen->logicalDotsPerInch()) : 96;
}

void CaptureDispatcher::showMessage(MessageIcon icon, const QString& text)
{
    m_messages.show(icon, text);
}

void CaptureDispatcher::finishDelivery(const QString& failure)
{
    if (failure.isEmpty()) {
        if (m_settings.sound() == SoundAfter)
            playCaptureSound();
    } else {
        m_messages.showCaptureFailed(failure);
    }
    m_state = State::Idle;
}

void CaptureDispatcher::endDelivery()
{
    m_state = State::Idle;
}
