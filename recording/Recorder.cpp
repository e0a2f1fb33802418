#include "Recorder.h"

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

TRecorder::TRecorder(ScreenSource& screen, MessageBoxes* messages, QObject* parent)
    : QObject(parent), m_screen(screen), m_messages(messages)
{
    FTimer = new QTimer(this);
    FTimer->setSingleShot(true);
    FTimer->setTimerType(Qt::PreciseTimer);
    connect(FTimer, &QTimer::timeout, this, &TRecorder::CopyFrame);
}

TRecorder::~TRecorder()
{
    // The encoder first: the frame writer may wait for it to read.
    FCMD.reset();
    m_frames.reset();
}

QString TRecorder::FindFFMpeg()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
    const QFileInfo file(beside);
    if (file.isFile() && file.isExecutable())
        return beside;
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

int TRecorder::EvenSize(int size)
{
    return std::max(2, int(std::nearbyint(size / 2.0)) * 2);
}

QString TRecorder::ProgressTime(const QString& line)
{
    return ExtractBetween(line, QStringLiteral("time="), QStringLiteral(" "));
}

QString TRecorder::ParseSources(const QString& listing)
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

bool TRecorder::IsPlayableMp4(const QString& fileName)
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

QStringList TRecorder::EncoderArguments(const TEncoderInput& input)
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

QString TRecorder::GetDriver()
{
    QProcess listing;
    listing.setProcessChannelMode(QProcess::MergedChannels);
    listing.start(
        FFMpeg, { QStringLiteral("-hide_banner"), QStringLiteral("-sources"), QStringLiteral("pulse") });
    // A sound server that does not answer must not hold the program for long.
    if (!listing.waitForFinished(5000)) {
        listing.kill();
        listing.waitForFinished();
        return {};
    }
    return ParseSources(QString::fromUtf8(listing.readAll()));
}

QRect TRecorder::MonitorUnderCursor() const
{
    return ScreenCapture::NearestMonitor(m_screen.monitors(), m_screen.cursorPos());
}

void TRecorder::Start(ScreenCapture& capture, TFuncOfRect rect)
{
    FIsRunning = true;
    FCapture = &capture;
    // The pointer is painted by the frame copy, not by the encoder.
    capture.setShowCursor(Mouse);
    FRect = std::move(rect);
    const int width = EvenSize(FRect().width());
    const int height = EvenSize(FRect().height());
    m_frameSize = QSize(width, height);
    Start();
}

void TRecorder::Start()
{
    FRecTime = QStringLiteral("00:00:00.00");
    FIsRunning = true;
    m_failure.clear();
    m_lastLine.clear();
    m_errorLine.clear();
    try {
        StartEncoder();
    } catch (...) {
        FIsRunning = false;
        throw;
    }
}

void TRecorder::StartEncoder()
{
    TEncoderInput input;
    input.mouse = Mouse;
    input.limitMinutes = Limit;
    input.output = Output;
    if (FRect) {
        m_frames = std::make_unique<TFramePipe>();
        if (!m_frames->Open(m_frameSize))
            throw Exception(QStringLiteral("The frames could not be handed to the encoder."));
        input.frameSize = m_frameSize;
        input.frameDescriptor = m_frames->ChildDescriptor();
    } else {
        input.display = qEnvironmentVariable("DISPLAY");
        input.monitor = MonitorUnderCursor();
    }
    if (Audio) {
        FDriver = GetDriver();
        input.audioSource = FDriver;
    }

    FCMD = std::make_unique<TDosCommand>(m_messages);
    FCMD->OnNewLine = [this](TDosCommand* sender, const QString& line, TOutputType type) {
        HandleNewLine(sender, line, type);
    };
    FCMD->OnTerminated = [this](TDosCommand* sender) { HandleTerminated(sender); };
    if (m_frames)
        FCMD->InheritedDescriptors = { m_frames->ChildDescriptor() };
    FCMD->setProgram(FFMpeg, EncoderArguments(input));
    FCMD->Execute();
    if (m_frames) {
        m_frames->ChildStarted();
        m_clock.start();
        m_framesDue = 0;
        CopyFrame();
    }
}

void TRecorder::CopyFrame()
{
    if (!FCapture || !FRect || !m_frames)
        return;
    // Every frame the clock has passed is written, the last one copied standing in for any missed: the
    // video lasts as long as the recording, whatever the timer's delays.
    const qint64 due = m_clock.nsecsElapsed() * FramesPerSecond / 1000000000 + 1;
    const int count = int(due - m_framesDue);
    if (count > 0) {
        m_framesDue = due;
        const qint64 copyStart = m_clock.nsecsElapsed();
        if (QImage* frame = m_frames->Acquire()) {
            // A rectangle larger than the frame (an odd side rounded down) loses its last column or row;
            // a smaller one leaves the rest black.
            const QRect rect = FRect();
            const QRect copied(rect.topLeft(), rect.size().boundedTo(frame->size()));
            if (copied.size() != frame->size())
                frame->fill(Qt::black);
            if (!FCapture->Capture(Canvas { *frame }, copied))
                qCDebug(lcRecorder) << "the screen could not be read; the frame shows the last picture";
            m_frames->Submit(frame, count);
        } else {
            m_frames->Repeat(count);
        }
        // Read by bench/recording.py: when each frame was taken and how long its copy took.
        qCDebug(lcRecorder, "frame %lld at %lld us, copied in %lld us", due, copyStart / 1000,
            (m_clock.nsecsElapsed() - copyStart) / 1000);
    }
    const qint64 next = m_framesDue * 1000000000 / FramesPerSecond;
    FTimer->start(int(std::max<qint64>(1, (next - m_clock.nsecsElapsed() + 999999) / 1000000)));
}

void TRecorder::Stop()
{
    if (FCMD && FCMD->IsRunning())
        FCMD->SendLine(QStringLiteral("q"), false);
    FTimer->stop();
    // The end of the frames finishes the file as the "q" does.
    if (m_frames)
        m_frames->Finish();
}

bool TRecorder::StopAndWait(std::chrono::milliseconds limit)
{
    if (!FCMD || !FCMD->IsRunning())
        return true;
    const QDeadlineTimer deadline(limit);
    Stop();
    // The only wait for the encoder's end: a hanging encoder gets until the deadline, then the kill below.
    if (FCMD->WaitForFinished(deadline))
        return true;
    qCWarning(lcRecorder) << "the encoder did not finish" << Output << "in time and is killed";
    FCMD->Kill();
    // A killed group ends at once; the runner's end still reaps it if the system is slower than this.
    FCMD->WaitForFinished(QDeadlineTimer(std::chrono::seconds(1)));
    return false;
}

void TRecorder::HandleNewLine(TDosCommand*, const QString& line, TOutputType type)
{
    const QString time = ProgressTime(line);
    if (!time.isEmpty()) {
        FRecTime = time;
    } else if (type == otEntireLine) {
        // Statistics and "Conversion failed!" may follow the reason of a failure: a failed system call is
        // the reason, else the last other line.
        const QString text = line.trimmed();
        if (EndsInSystemError(text))
            m_errorLine = text;
        else if (!text.isEmpty() && text != QLatin1String("Conversion failed!"))
            m_lastLine = text;
    }
    if (Logging)
        AppendLog(line);
}

void TRecorder::HandleTerminated(TDosCommand* sender)
{
    FTimer->stop();
    if (m_frames)
        m_frames->Finish();
    // An encoder that could not start has told the user already.
    if (sender->EndStatus() == TDosCommand::esProcess && sender->ExitCode() != 0 && !IsPlayableMp4(Output)) {
        m_failure = !m_errorLine.isEmpty() ? m_errorLine
            : !m_lastLine.isEmpty()
            ? m_lastLine
            : QStringLiteral("ffmpeg ended with exit code %1.").arg(sender->ExitCode());
    }
    FIsRunning = false;
}

void TRecorder::AppendLog(const QString& line)
{
    const QString folder = LogFolder ? LogFolder() : QString();
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return;
    // No line end: the log holds the encoder's output as the program saw it, lines run together.
    QFile log(QDir(folder).filePath(QStringLiteral("ffmpeg.log")));
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(line.toUtf8());
}
