#include "ProcessRunner.h"

#include "platform/MessageBoxes.h"

#include "ChildProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcessEnvironment>

Q_LOGGING_CATEGORY(lcProcessRunner, "lumetra.doscommand", QtWarningMsg)

ProcessRunner::ProcessRunner(MessageBoxes* messages, QObject* parent)
    : QObject(parent), m_messages(messages), m_decoder(QStringDecoder::Utf8)
{ }

ProcessRunner::~ProcessRunner() = default;

void ProcessRunner::setProgram(const QString& program, const QStringList& arguments)
{
    m_program = program;
    m_arguments = arguments;
}

// For the error box only: what a person would type to start the same program.
QString ProcessRunner::displayedCommandLine() const
{
    QStringList parts { m_program };
    parts += m_arguments;
    for (QString& part : parts) {
        if (part.isEmpty() || part.contains(u' ') || part.contains(u'"'))
            part = u'"' + QString(part).replace(u'"', QLatin1String("\\\"")) + u'"';
    }
    return parts.join(u' ');
}

void ProcessRunner::start()
{
    if (m_running)
        throw ProcessRunnerMisuse(QStringLiteral("DosCommand still running"));
    if (m_program.isEmpty())
        throw ProcessRunnerMisuse(QStringLiteral("No Commandline to execute"));

    m_splitter = LineSplitter();
    m_decoder.resetState();
    m_exitCode = 0;
    m_running = true;
    m_endStatus = EndStatus::Running;

    if (m_process)
        m_process.release()->deleteLater(); // the last run's object may still be delivering its end
    m_process = std::make_unique<ChildProcess>();
    m_process->setOutputHandler(
        [this](QByteArrayView chunk) { report(m_splitter.feed(QString(m_decoder.decode(chunk)))); });
    m_process->setFinishedHandler([this](int exitCode, bool crashed) { processEnded(exitCode, crashed); });

    qCDebug(lcProcessRunner) << "starting" << m_program << m_arguments;
    const QString failure = m_process->start(m_program, m_arguments, QString(),
        QProcessEnvironment::systemEnvironment().toStringList(), m_inherited);
    if (!failure.isEmpty())
        startFailed(failure);
}

void ProcessRunner::sendLine(const QString& value, bool eol)
{
    if (!m_running)
        throw ProcessRunnerMisuse(QStringLiteral("DosCommand not running"));
    const QString text = eol ? value + QStringLiteral("\r\n") : value;
    if (text.isEmpty())
        return;
    // The pipe takes what it can now; the rest follows as the child reads, in order, without blocking.
    m_process->write(text.toUtf8());
}

void ProcessRunner::kill()
{
    if (m_running && m_process)
        m_process->kill();
}

bool ProcessRunner::waitForFinished(QDeadlineTimer deadline)
{
    if (m_running && m_process)
        m_process->waitForFinished(deadline);
    return !m_running;
}

void ProcessRunner::report(const QList<LineSplitter::Line>& lines)
{
    if (!m_onLine)
        return;
    for (const LineSplitter::Line& line : lines)
        m_onLine(line.text, line.type);
}

void ProcessRunner::processEnded(int exitCode, bool crashed)
{
    m_endStatus = EndStatus::Exited;
    m_exitCode = crashed ? 0 : quint32(exitCode);
    if (const auto last = m_splitter.finish())
        report({ { *last, OutputType::EntireLine } });
    endRun(std::nullopt);
}

void ProcessRunner::startFailed(const QString& reason)
{
    m_endStatus = EndStatus::StartError;
    // Told after start() has returned, as the end of any other run is.
    const ProcessStartError error(
        QStringLiteral("Error creating Process: %1 - (%2)").arg(displayedCommandLine(), reason));
    QMetaObject::invokeMethod(
        this, [this, error] { endRun(error); }, Qt::QueuedConnection);
}

void ProcessRunner::endRun(std::optional<ProcessStartError> error)
{
    if (!m_running)
        return;
    m_running = false;
    if (error)
        showStartError(*error);
    if (m_onEnd)
        m_onEnd();
}

void ProcessRunner::showStartError(const ProcessStartError& error)
{
    qCWarning(lcProcessRunner) << error.message();
    if (!m_messages)
        return;
    m_messages->show(nullptr, MessageIcon::Error,
        QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
        QStringLiteral("ECreateProcessError\r\n") + error.message());
}
