#include "ScreenRecorder.h"

#include "FramePipe.h"
#include "capture/ScreenCapture.h"
#include "support/Q.Strings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <clocale>
#include <cmath>
#include <cstring>
#include <locale.h>

Q_LOGGING_CATEGORY(lcRecorder, "lumetra.recorder", QtWarningMsg)

namespace {

constexpr int FramesPerSecond = 30;

// Whether the line ends in a system error text, as the encoder reports a failed call ("x.mp4: Read-only
// file system"). The encoder prints them untranslated.
bool EndsInSystemError(const QString& line)
{
    static const QStringList errors = [] {
        QStringList texts;
        const locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
        for (int code = 1; code < 134 && c; ++code)
            texts.append(QString::fromLocal8Bit(::strerror_l(code, c)));
        if (c)
            ::freelocale(c);
        return texts;
    }();
    return std::any_of(errors.begin(), errors.end(),
        [&line](const QString& error) { return line.endsWith(QLatin1String(": ") + error); });
}

} // namespace

ScreenRecorder::ScreenRecorder(ScreenSource& screen, MessageBoxes* messages, QObject* parent)
    : QObject(parent), m_screen(screen), m_messages(messages)
{
    m_frameTimer = new QTimer(this);
    m_frameTimer->setSingleShot(true);
    m_frameTimer->setTimerType(Qt::PreciseTimer);
    connect(m_frameTimer, &QTimer::timeout, this, &ScreenRecorder::copyFrame);
}

ScreenRecorder::~ScreenRecorder()
{
    // The encoder first: the frame writer may wait for it to read.
    m_encoder.reset();
    m_frames.reset();
}

QString ScreenRecorder::findEncoder()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
    const QFileInfo file(beside);
    if (file.isFile() && file.isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

int ScreenRecorder::evenSize(int size)
{
    return std::max(2, int(std::nearbyint(size / 2.0)) * 2);
}

QString ScreenRecorder::progressTime(const QString& line)
{
    return ExtractBetween(line, QStringLiteral("time="), QStringLiteral(" "));
}

QString ScreenRecorder::parseSources(const QString& listing)
{
    // "* name [description] (type)" marks the default source; the others start with two blanks.
    QString first;
    const QStringList lines = listing.split(u'\n');
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("* ")))
            return line.mid(2).section(u' ', 0, 0, QString::SectionSkipEmpty);
        if (first.isEmpty() && line.startsWith(QLatin1String("  ")))
            first = line.section(u' ', 0, 0, QString::SectionSkipEmpty);
    }
    return first;
}

bool ScreenRecorder::isPlayableMp4(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = file.size();
    qint64 at = 0;
    // The top-level boxes: 32-bit size and type, a 64-bit size after them when the first is 1.
    while (at + 8 <= size) {
        if (!file.seek(at))
            return false;
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            return false;
        quint64 boxSize = qFromBigEndian<quint32>(header.constData());
        if (header.mid(4, 4) == "moov")
            return true;
        if (boxSize == 1) {
            if (header.size() < 16)
                return false;
            boxSize = qFromBigEndian<quint64>(header.constData() + 8);
        }
        if (boxSize < 8)
            return false;
        at += qint64(boxSize);
    }
    return false;
}

QStringList ScreenRecorder::encoderArguments(const EncoderInput& input)
{
    QStringList arguments { QStringLiteral("-rtbufsize"), QStringLiteral("150M") };
    if (!input.audioSource.isEmpty())
        arguments << QStringLiteral("-f") << QStringLiteral("pulse") << QStringLiteral("-i")
                  << input.audioSource;
    if (input.frameSize.isEmpty()) {
        arguments << QStringLiteral("-f") << QStringLiteral("x11grab") << QStringLiteral("-video_size")
                  << QStringLiteral("%1x%2").arg(input.monitor.width()).arg(input.monitor.height())
                  << QStringLiteral("-framerate") << QString::number(FramesPerSecond);
        if (!input.mouse)
            arguments << QStringLiteral("-draw_mouse") << QStringLiteral("0");
        arguments
            << QStringLiteral("-i")
            << QStringLiteral("%1+%2,%3").arg(input.display).arg(input.monitor.x()).arg(input.monitor.y());
    } else {
        // Through /dev/fd rather than "pipe:": the encoder reads "q" from its input only when no input of
        // its own is a pipe by that name.
        arguments << QStringLiteral("-f") << QStringLiteral("rawvideo") << QStringLiteral("-pix_fmt")
                  << QStringLiteral("bgr0") << QStringLiteral("-video_size")
                  << QStringLiteral("%1x%2").arg(input.frameSize.width()).arg(input.frameSize.height())
                  << QStringLiteral("-framerate") << QString::number(FramesPerSecond) << QStringLiteral("-i")
                  << QStringLiteral("/dev/fd/%1").arg(input.frameDescriptor);
    }
    if (!input.audioSource.isEmpty())
        arguments << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-ac")
                  << QStringLiteral("2") << QStringLiteral("-b:a") << QStringLiteral("128k");
    arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
              << QStringLiteral("ultrafast") << QStringLiteral("-r") << QString::number(FramesPerSecond)
              << QStringLiteral("-tune") << QStringLiteral("zerolatency") << QStringLiteral("-crf")
              << QStringLiteral("25") << QStringLiteral("-pix_fmt") << QStringLiteral("yuv420p");
    if (input.limitMinutes > 0)
        arguments << QStringLiteral("-t") << QString::number(input.limitMinutes * 60);
    arguments << QStringLiteral("-vf") << QStringLiteral("scale=trunc(iw/2)*2:trunc(ih/2)*2")
              << QStringLiteral("-y") << input.output;
    return arguments;
}

QString ScreenRecorder::findAudioSource()
{
    QProcess listing;
    listing.setProcessChannelMode(QProcess::MergedChannels);
    listing.start(m_options.encoder,
        { QStringLiteral("-hide_banner"), QStringLiteral("-sources"), QStringLiteral("pulse") });
    // A sound server that does not answer must not hold the program for long.
    if (!listing.waitForFinished(5000)) {
        listing.kill();
        listing.waitForFinished();
        return {};
    }
    return parseSources(QString::fromUtf8(listing.readAll()));
}

QRect ScreenRecorder::monitorUnderCursor() const
{
    return ScreenCapture::NearestMonitor(m_screen.monitors(), m_screen.cursorPos());
}

void ScreenRecorder::start(ScreenCapture& capture, RegionSource rect)
{
    m_running = true;
    m_capture = &capture;
    // The pointer is painted by the frame copy, not by the encoder.
    capture.setShowCursor(m_options.pointer);
    m_region = std::move(rect);
    const int width = evenSize(m_region().width());
    const int height = evenSize(m_region().height());
    m_frameSize = QSize(width, height);
    start();
}

void ScreenRecorder::start()
{
    m_recordedTime = QStringLiteral("00:00:00.00");
    m_running = true;
    m_failure.clear();
    m_lastLine.clear();
    m_errorLine.clear();
    try {
        startEncoder();
    } catch (...) {
        m_running = false;
        throw;
    }
}

void ScreenRecorder::startEncoder()
{
    EncoderInput input;
    input.mouse = m_options.pointer;
    input.limitMinutes = m_options.limitMinutes;
    input.output = m_options.output;
    if (m_region) {
        m_frames = std::make_unique<FramePipe>();
        if (!m_frames->open(m_frameSize))
            throw Exception(QStringLiteral("The frames could not be handed to the encoder."));
        input.frameSize = m_frameSize;
        input.frameDescriptor = m_frames->childDescriptor();
    } else {
        input.display = qEnvironmentVariable("DISPLAY");
        input.monitor = monitorUnderCursor();
    }
    if (m_options.audio) {
        m_audioSource = findAudioSource();
        input.audioSource = m_audioSource;
    }

    m_encoder = std::make_unique<ProcessRunner>(m_messages);
    m_encoder->setLineHandler([this](const QString& line, OutputType type) { onEncoderLine(line, type); });
    m_encoder->setEndHandler([this] { onEncoderEnded(); });
    if (m_frames)
        m_encoder->setInheritedDescriptors({ m_frames->childDescriptor() });
    m_encoder->setProgram(m_options.encoder, encoderArguments(input));
    m_encoder->start();
    if (m_frames) {
        m_frames->childStarted();
        m_clock.start();
        m_framesDue = 0;
        copyFrame();
    }
}

void ScreenRecorder::copyFrame()
{
    if (!m_capture || !m_region || !m_frames)
        return;
    // Every frame the clock has passed is written, the last one copied standing in for any missed: the
    // video lasts as long as the recording, whatever the timer's delays.
    const qint64 due = m_clock.nsecsElapsed() * FramesPerSecond / 1000000000 + 1;
    const int count = int(due - m_framesDue);
    if (count > 0) {
        m_framesDue = due;
        const qint64 copyStart = m_clock.nsecsElapsed();
        if (QImage* frame = m_frames->acquire()) {
            // A rectangle larger than the frame (an odd side rounded down) loses its last column or row;
            // a smaller one leaves the rest black.
            const QRect rect = m_region();
            const QRect copied(rect.topLeft(), rect.size().boundedTo(frame->size()));
            if (copied.size() != frame->size())
                frame->fill(Qt::black);
            if (!m_capture->Capture(Canvas { *frame }, copied))
                qCDebug(lcRecorder) << "the screen could not be read; the frame shows the last picture";
            m_frames->submit(frame, count);
        } else {
            m_frames->repeat(count);
        }
        // Read by bench/recording.py: when each frame was taken and how long its copy took.
        qCDebug(lcRecorder, "frame %lld at %lld us, copied in %lld us", due, copyStart / 1000,
            (m_clock.nsecsElapsed() - copyStart) / 1000);
    }
    const qint64 next = m_framesDue * 1000000000 / FramesPerSecond;
    m_frameTimer->start(int(std::max<qint64>(1, (next - m_clock.nsecsElapsed() + 999999) / 1000000)));
}

void ScreenRecorder::stop()
{
    if (m_encoder && m_encoder->isRunning())
        m_encoder->sendLine(QStringLiteral("q"), false);
    m_frameTimer->stop();
    // The end of the frames finishes the file as the "q" does.
    if (m_frames)
        m_frames->finish();
}

bool ScreenRecorder::stopAndWait(std::chrono::milliseconds limit)
{
    if (!m_encoder || !m_encoder->isRunning())
        return true;
    const QDeadlineTimer deadline(limit);
    stop();
    // The only wait for the encoder's end: a hanging encoder gets until the deadline, then the kill below.
    if (m_encoder->waitForFinished(deadline))
        return true;
    qCWarning(lcRecorder) << "the encoder did not finish" << m_options.output << "in time and is killed";
    m_encoder->kill();
    // A killed group ends at once; the runner's end still reaps it if the system is slower than this.
    m_encoder->waitForFinished(QDeadlineTimer(std::chrono::seconds(1)));
    return false;
}

void ScreenRecorder::onEncoderLine(const QString& line, OutputType type)
{
    const QString time = progressTime(line);
    if (!time.isEmpty()) {
        m_recordedTime = time;
    } else if (type == OutputType::EntireLine) {
        // Statistics and "Conversion failed!" may follow the reason of a failure: a failed system call is
        // the reason, else the last other line.
        const QString text = line.trimmed();
        if (EndsInSystemError(text))
            m_errorLine = text;
        else if (!text.isEmpty() && text != QLatin1String("Conversion failed!"))
            m_lastLine = text;
    }
    if (m_options.log)
        appendLog(line);
}

void ScreenRecorder::onEncoderEnded()
{
    m_frameTimer->stop();
    if (m_frames)
        m_frames->finish();
    // An encoder that could not start has told the user already.
    if (m_encoder->endStatus() == ProcessRunner::EndStatus::Exited && m_encoder->exitCode() != 0
        && !isPlayableMp4(m_options.output)) {
        m_failure = !m_errorLine.isEmpty() ? m_errorLine
            : !m_lastLine.isEmpty()
            ? m_lastLine
            : QStringLiteral("ffmpeg ended with exit code %1.").arg(m_encoder->exitCode());
    }
    m_running = false;
}

void ScreenRecorder::appendLog(const QString& line)
{
    const QString folder = m_options.logFolder ? m_options.logFolder() : QString();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    // No line end: the log holds the encoder's output as the program saw it, lines run together.
    QFile log(QDir(folder).filePath(QStringLiteral("ffmpeg.log")));
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(line.toUtf8());
}
