#pragma once

#include "LineSplitter.h"
#include "support/Exception.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MessageBoxes;
class ChildProcess;

// The runner is misused: started twice, started without a program, written to when not running.
class ProcessRunnerMisuse : public Exception
{
    using Exception::Exception;
};

// The console program could not be started.
class ProcessStartError : public Exception
{
    using Exception::Exception;
};

// Runs one console program at a time with its standard input on a pipe and its standard output and error
// together on another, and reports what it writes line by line. Every event arrives on the thread that
// owns the runner, in the order the output was read, and the end comes after every line. Nothing
// polls: the pipes and the child's end wake the event loop. The child runs in a process group of its own,
// without a shell, and hears SIGINT once when this process dies, so that an encoder never outlives the
// program that started it (see ChildProcess).
class ProcessRunner : public QObject
{
    Q_OBJECT
public:
    // How the last run ended: the program exited (or crashed), it still runs, none was started, or it could
    // not start.
    enum class EndStatus { Exited, Running, None, StartError };

    using LineHandler = std::function<void(const QString& line, OutputType type)>;
    using EndHandler = std::function<void()>;

    // `messages` shows the box of a program that cannot start; without it the error is only logged.
    explicit ProcessRunner(MessageBoxes* messages = nullptr, QObject* parent = nullptr);
    // A run still active is ended by force with its process group, without events.
    ~ProcessRunner() override;

    // The program (a path, or a name looked up on PATH) and its arguments as they are: nothing is split or
    // unquoted.
    void setProgram(const QString& program, const QStringList& arguments);
    // Descriptors of this process that the child keeps, under the same numbers.
    void setInheritedDescriptors(std::vector<int> descriptors) { m_inherited = std::move(descriptors); }

    void setLineHandler(LineHandler handler) { m_onLine = std::move(handler); }
    // Called once a run has ended, after its last line.
    void setEndHandler(EndHandler handler) { m_onEnd = std::move(handler); }

    // Raises ProcessRunnerMisuse when a run is active or there is no program.
    void start();
    // Queues the text for the child's input, with CR LF when `eol` is set; an empty text writes nothing.
    // Raises ProcessRunnerMisuse when no run is active.
    void sendLine(const QString& value, bool eol);
    // Ends the child and its process group by force; the run's end follows as for any other end.
    void kill();
    // Blocks the owner's thread, without its event loop, until the run has ended or `deadline` has passed;
    // the lines and the end are reported from here meanwhile. Returns whether no run is active.
    bool waitForFinished(QDeadlineTimer deadline);

    bool isRunning() const { return m_running; }
    EndStatus endStatus() const { return m_endStatus; }
    quint32 exitCode() const { return m_exitCode; }

private:
    void report(const QList<LineSplitter::Line>& lines);
    void processEnded(int exitCode, bool crashed);
    void startFailed(const QString& reason);
    void endRun(std::optional<ProcessStartError> error);
    void showStartError(const ProcessStartError& error);
    QString displayedCommandLine() const;

    MessageBoxes* m_messages;
    QString m_program;
    QStringList m_arguments;
    std::vector<int> m_inherited;
    LineHandler m_onLine;
    EndHandler m_onEnd;

    std::unique_ptr<ChildProcess> m_process;
    LineSplitter m_splitter;
    QStringDecoder m_decoder;
    bool m_running = false;
    EndStatus m_endStatus = EndStatus::None;
    quint32 m_exitCode = 0;
};
