#pragma once

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
class TChildProcess;

// The runner is misused: started twice, started without a program, written to when not running.
class EDosCommand : public Exception
{
    using Exception::Exception;
};

// The console program could not be started.
class ECreateProcessError : public Exception
{
    using Exception::Exception;
};

enum TOutputType { otEntireLine, otBeginningOfLine };

// Cuts a console program's output into lines. NUL is dropped; CR, LF and CR LF each end a line, also when
// the CR ends one read and the LF starts the next. The text after the last line end of a read is reported
// as the beginning of a line, again and longer with each read, until its end arrives.
class TLineSplitter
{
public:
    struct Line
    {
        QString text;
        TOutputType type;
        bool operator==(const Line&) const = default;
    };

    // The lines one read completes, in order, then the pending beginning of a line, if any.
    QList<Line> Feed(QStringView chunk);
    // The program has ended: its last text without a line end, once more as a complete line.
    std::optional<QString> Finish();

private:
    QString m_pending;
    bool m_afterCR = false;
};

// Runs one console program at a time with its standard input on a pipe and its standard output and error
// together on another, and reports what it writes line by line. Every event arrives on the thread that
// owns the runner, in the order the output was read, and OnTerminated comes after every line. Nothing
// polls: the pipes and the child's end wake the event loop. The child runs in a process group of its own,
// without a shell, and hears SIGINT once when this process dies, so that an encoder never outlives the
// program that started it (see TChildProcess).
class TDosCommand : public QObject
{
    Q_OBJECT
public:
    enum TEndStatus { esProcess, esStill_Active, esNone, esError };

    using TNewLineEvent = std::function<void(TDosCommand* sender, const QString& line, TOutputType type)>;
    using TNotifyEvent = std::function<void(TDosCommand* sender)>;

    // `messages` shows the box of a program that cannot start; without it the error is only logged.
    explicit TDosCommand(MessageBoxes* messages = nullptr, QObject* parent = nullptr);
    // A run still active is ended by force with its process group, without events.
    ~TDosCommand() override;

    // The program (a path, or a name looked up on PATH) and its arguments as they are: nothing is split or
    // unquoted.
    void setProgram(const QString& program, const QStringList& arguments);
    // Descriptors of this process that the child keeps, under the same numbers.
    std::vector<int> InheritedDescriptors;

    TNewLineEvent OnNewLine;
    TNotifyEvent OnTerminated;

    // Raises EDosCommand when a run is active or there is no program.
    void Execute();
    // Queues the text for the child's input, with CR LF when `eol` is set; an empty text writes nothing.
    // Raises EDosCommand when no run is active.
    void SendLine(const QString& value, bool eol);
    // Ends the child and its process group by force; the run's end follows as for any other end.
    void Kill();
    // Blocks the owner's thread, without its event loop, until the run has ended or `deadline` has passed;
    // the lines and OnTerminated are reported from here meanwhile. Returns whether no run is active.
    bool WaitForFinished(QDeadlineTimer deadline);

    bool IsRunning() const { return m_running; }
    TEndStatus EndStatus() const { return m_endStatus; }
    quint32 ExitCode() const { return m_exitCode; }

private:
    void Report(const QList<TLineSplitter::Line>& lines);
    void ProcessEnded(int exitCode, bool crashed);
    void StartFailed(const QString& reason);
    void ThreadTerminated(std::optional<ECreateProcessError> error);
    void ShowExecuteError(const ECreateProcessError& error);
    QString DisplayedCommandLine() const;

    MessageBoxes* m_messages;
    QString m_program;
    QStringList m_arguments;

    std::unique_ptr<TChildProcess> m_process;
    TLineSplitter m_splitter;
    QStringDecoder m_decoder;
    bool m_running = false;
    TEndStatus m_endStatus = esNone;
    quint32 m_exitCode = 0;
};
