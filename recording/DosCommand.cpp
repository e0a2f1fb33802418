#include "DosCommand.h"

#include "platform/MessageBoxes.h"

#include "ChildProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcessEnvironment>

Q_LOGGING_CATEGORY(lcDosCommand, "lumetra.doscommand", QtWarningMsg)

QList<TLineSplitter::Line> TLineSplitter::Feed(QStringView chunk)
{
    QList<Line> lines;
    for (const QChar c : chunk) {
        if (c == QChar(u'\0'))
            continue;
        if (c == u'\r' || c == u'\n') {
            const bool secondHalf = c == u'\n' && m_afterCR;
            m_afterCR = c == u'\r';
            if (secondHalf)
                continue;
            lines.append({ m_pending, otEntireLine });
            m_pending.clear();
            continue;
        }
        m_afterCR = false;
        m_pending.append(c);
    }
    if (!m_pending.isEmpty())
        lines.append({ m_pending, otBeginningOfLine });
    return lines;
}

std::optional<QString> TLineSplitter::Finish()
{
    m_afterCR = false;
    if (m_pending.isEmpty())
        return std::nullopt;
    return std::exchange(m_pending, QString());
}

TDosCommand::TDosCommand(MessageBoxes* messages, QObject* parent)
    : QObject(parent), m_messages(messages), m_decoder(QStringDecoder::Utf8)
{ }

TDosCommand::~TDosCommand() = default;

void TDosCommand::setProgram(const QString& program, const QStringList& arguments)
{
    m_program = program;
    m_arguments = arguments;
}

// For the error box only: what a person would type to start the same program.
QString TDosCommand::DisplayedCommandLine() const
{
    QStringList parts { m_program };
    parts += m_arguments;
    for (QString& part : parts) {
        if (part.isEmpty() || part.contains(u' ') || part.contains(u'"'))
            part = u'"' + QString(part).replace(u'"', QLatin1String("\\\"")) + u'"';
    }
    return parts.join(u' ');
}

void TDosCommand::Execute()
{
    if (m_running)
        throw EDosCommand(QStringLiteral("DosCommand still running"));
    if (m_program.isEmpty())
        throw EDosCommand(QStringLiteral("No Commandline to execute"));

    m_splitter = TLineSplitter();
    m_decoder.resetState();
    m_exitCode = 0;
    m_running = true;
    m_endStatus = esStill_Active;

    if (m_process)
        m_process.release()->deleteLater(); // the last run's object may still be delivering its end
    m_process = std::make_unique<TChildProcess>();
    m_process->OnOutput
        = [this](QByteArrayView chunk) { Report(m_splitter.Feed(QString(m_decoder.decode(chunk)))); };
    m_process->OnFinished = [this](int exitCode, bool crashed) { ProcessEnded(exitCode, crashed); };

    qCDebug(lcDosCommand) << "starting" << m_program << m_arguments;
    const QString failure = m_process->Start(m_program, m_arguments, QString(),
        QProcessEnvironment::systemEnvironment().toStringList(), InheritedDescriptors);
    if (!failure.isEmpty())
        StartFailed(failure);
}

void TDosCommand::SendLine(const QString& value, bool eol)
{
    if (!m_running)
        throw EDosCommand(QStringLiteral("DosCommand not running"));
    const QString text = eol ? value + QStringLiteral("\r\n") : value;
    if (text.isEmpty())
        return;
    // The pipe takes what it can now; the rest follows as the child reads, in order, without blocking.
    m_process->Write(text.toUtf8());
}

void TDosCommand::Kill()
{
    if (m_running && m_process)
        m_process->Kill();
}

bool TDosCommand::WaitForFinished(QDeadlineTimer deadline)
{
    if (m_running && m_process)
        m_process->WaitForFinished(deadline);
    return !m_running;
}

void TDosCommand::Report(const QList<TLineSplitter::Line>& lines)
{
    if (!OnNewLine)
        return;
    for (const TLineSplitter::Line& line : lines)
        OnNewLine(this, line.text, line.type);
}

void TDosCommand::ProcessEnded(int exitCode, bool crashed)
{
    m_endStatus = esProcess;
    m_exitCode = crashed ? 0 : quint32(exitCode);
    if (const auto last = m_splitter.Finish())
        Report({ { *last, otEntireLine } });
    ThreadTerminated(std::nullopt);
}

void TDosCommand::StartFailed(const QString& reason)
{
    m_endStatus = esError;
    // Told after Execute has returned, as the end of any other run is.
    const ECreateProcessError error(
        QStringLiteral("Error creating Process: %1 - (%2)").arg(DisplayedCommandLine(), reason));
    QMetaObject::invokeMethod(
        this, [this, error] { ThreadTerminated(error); }, Qt::QueuedConnection);
}

void TDosCommand::ThreadTerminated(std::optional<ECreateProcessError> error)
{
    if (!m_running)
        return;
    m_running = false;
    if (error)
        ShowExecuteError(*error);
    if (OnTerminated)
        OnTerminated(this);
}

void TDosCommand::ShowExecuteError(const ECreateProcessError& error)
{
    qCWarning(lcDosCommand) << error.message();
    if (!m_messages)
        return;
    m_messages->show(nullptr, MessageIcon::Error,
        QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
        QStringLiteral("ECreateProcessError\r\n") + error.message());
}
