#include "DosCommand.h"

#include "platform/MessageBoxes.h"

#include "ChildProcess.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QTimer>

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

QStringList TDosCommand::SplitCommandLine(const QString& commandLine)
{
    QStringList arguments;
    const QString& s = commandLine;
    const qsizetype n = s.size();
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype i = 0;
    // The program: no escapes, a quote only groups.
    {
        QString program;
        if (i < n && s[i] == u'"') {
            ++i;
            while (i < n && s[i] != u'"')
                program.append(s[i++]);
            if (i < n)
                ++i;
        } else {
            while (i < n && !blank(s[i]))
                program.append(s[i++]);
        }
        if (!program.isEmpty() || !s.isEmpty())
            arguments.append(program);
    }
    while (true) {
        while (i < n && blank(s[i]))
            ++i;
        if (i >= n)
            break;
        QString argument;
        bool quoted = false;
        while (i < n && (quoted || !blank(s[i]))) {
            qsizetype backslashes = 0;
            while (i < n && s[i] == u'\\') {
                ++backslashes;
                ++i;
            }
            if (i < n && s[i] == u'"') {
                argument.append(QString(backslashes / 2, u'\\'));
                if (backslashes % 2 == 1) {
                    argument.append(u'"');
                } else if (quoted && i + 1 < n && s[i + 1] == u'"') {
                    // Two quotes inside a quoted part stand for one.
                    argument.append(u'"');
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(QString(backslashes, u'\\'));
                if (i < n && (quoted || !blank(s[i])))
                    argument.append(s[i++]);
            }
        }
        arguments.append(argument);
    }
    return arguments;
}

TDosCommand::TDosCommand(MessageBoxes* messages, QObject* parent)
    : QObject(parent), m_messages(messages), m_decoder(QStringDecoder::Utf8)
{ }

TDosCommand::~TDosCommand() = default;

void TDosCommand::setCommandLine(const QString& commandLine)
{
    m_commandLine = commandLine;
    m_vectorForm = false;
}

void TDosCommand::setProgram(const QString& program, const QStringList& arguments)
{
    m_program = program;
    m_arguments = arguments;
    m_vectorForm = true;
    m_commandLine = DisplayedCommandLine();
}

QString TDosCommand::DisplayedCommandLine() const
{
    if (!m_vectorForm)
        return m_commandLine;
    QStringList parts { m_program };
    parts += m_arguments;
    for (QString& part : parts) {
        if (part.isEmpty() || part.contains(u' ') || part.contains(u'"'))
            part = u'"' + QString(part).replace(u'"', QLatin1String("\\\"")) + u'"';
    }
    return parts.join(u' ');
}

qint64 TDosCommand::ProcessId() const
{
    return m_process ? m_process->Pid() : 0;
}

void TDosCommand::Execute()
{
    if (m_running)
        throw EDosCommand(QStringLiteral("DosCommand still running"));
    QString program = m_program;
    QStringList arguments = m_arguments;
    if (!m_vectorForm) {
        arguments = SplitCommandLine(m_commandLine);
        program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    }
    if (program.isEmpty())
        throw EDosCommand(QStringLiteral("No Commandline to execute"));

    m_lines.clear();
    m_splitter = TLineSplitter();
    m_decoder.resetState();
    m_sinceBeginning = m_sinceLastOutput = 0;
    m_ending = false;
    m_exitCode = 0;
    m_running = true;
    m_endStatus = esStill_Active;

    const QProcessEnvironment inherited = QProcessEnvironment::systemEnvironment();
    QStringList environment = inherited.toStringList();
    for (const QString& entry : std::as_const(Environment)) {
        const qsizetype equals = entry.indexOf(u'=');
        if (equals > 0 && !inherited.contains(entry.left(equals)))
            environment.append(entry);
    }
    if (m_process)
        m_process.release()->deleteLater(); // the last run's object may still be delivering its end
    m_process = std::make_unique<TChildProcess>();
    m_process->OnOutput
        = [this](QByteArrayView chunk) { Report(m_splitter.Feed(QString(m_decoder.decode(chunk)))); };
    m_process->OnFinished = [this](int exitCode, bool crashed) { ProcessEnded(exitCode, crashed); };

    if (MaxTimeAfterBeginning > 0 || MaxTimeAfterLastOutput > 0) {
        if (!m_tick) {
            m_tick = new QTimer(this);
            m_tick->setInterval(1000);
            connect(m_tick, &QTimer::timeout, this, &TDosCommand::Tick);
        }
        m_tick->start();
    }
    qCDebug(lcDosCommand) << "starting" << program << arguments;
    const QString failure
        = m_process->Start(program, arguments, CurrentDir, environment, InheritedDescriptors);
    if (!failure.isEmpty())
        StartFailed(failure);
}

void TDosCommand::SendLine(const QString& value, bool eol)
{
    if (!m_running)
        throw EDosCommand(QStringLiteral("DosCommand not running"));
    const QString text = eol ? value + QStringLiteral("\r\n") : value;
    if (text.isEmpty() || m_ending)
        return;
    // The pipe takes what it can now; the rest follows as the child reads, in order, without blocking.
    m_process->Write(text.toUtf8());
}

void TDosCommand::Stop()
{
    if (m_running && !m_ending)
        ForceEnd(esStop);
}

bool TDosCommand::WaitForFinished(QDeadlineTimer deadline)
{
    if (m_running && m_process)
        m_process->WaitForFinished(deadline);
    return !m_running;
}

void TDosCommand::ForceEnd(TEndStatus status)
{
    m_ending = true;
    m_endStatus = status;
    if (m_tick)
        m_tick->stop();
    m_process->Kill();
}

void TDosCommand::Tick()
{
    if (!m_running || m_ending)
        return;
    ++m_sinceBeginning;
    ++m_sinceLastOutput;
    if ((MaxTimeAfterBeginning > 0 && m_sinceBeginning > MaxTimeAfterBeginning)
        || (MaxTimeAfterLastOutput > 0 && m_sinceLastOutput > MaxTimeAfterLastOutput))
        ForceEnd(esTime);
}

void TDosCommand::Report(const QList<TLineSplitter::Line>& lines)
{
    for (const TLineSplitter::Line& line : lines) {
        if (line.type == otEntireLine) {
            m_sinceLastOutput = 0;
            m_lines.append(line.text);
        }
        if (OnNewLine)
            OnNewLine(this, line.text, line.type);
    }
}

void TDosCommand::ProcessEnded(int exitCode, bool crashed)
{
    if (!m_ending) {
        m_endStatus = esProcess;
        m_exitCode = crashed ? 0 : quint32(exitCode);
    }
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
    if (m_tick)
        m_tick->stop();
    m_running = false;
    m_ending = false;
    if (error) {
        bool handled = false;
        if (OnExecuteError)
            OnExecuteError(this, *error, handled);
        if (!handled)
            ShowExecuteError(*error);
    }
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
