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
class QTimer;

// The runner is misused: started twice, started without a command, written to when not running.
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
// polls: the pipes and the child's end wake the event loop; a one-second tick runs only for time limits.
// The child runs in a process group of its own, without a shell, and hears SIGINT once when this process
// dies, so that an encoder never outlives the program that started it (see TChildProcess).
class TDosCommand : public QObject
{
    Q_OBJECT
public:
    enum TEndStatus { esStop, esProcess, esStill_Active, esNone, esError, esTime };

    using TNewLineEvent = std::function<void(TDosCommand* sender, const QString& line, TOutputType type)>;
    using TNotifyEvent = std::function<void(TDosCommand* sender)>;
    // Set `handled` to keep the runner from showing its error box.
    using TErrorEvent = std::function<void(TDosCommand* sender, const Exception& error, bool& handled)>;

    // `messages` shows the box of a program that cannot start; without it the error goes to OnExecuteError
    // alone.
    explicit TDosCommand(MessageBoxes* messages = nullptr, QObject* parent = nullptr);
    // A run still active is ended by force, without events.
    ~TDosCommand() override;

    // Splits a command line into arguments as Windows programs do: blanks and tabs separate, double
    // quotes group, backslashes escape a quote only when they stand before one; the first argument (the
    // program) ends at its closing quote or at the first blank.
    static QStringList SplitCommandLine(const QString& commandLine);

    // The whole command line, split by the rules above when the run starts.
    QString CommandLine() const { return m_commandLine; }
    void setCommandLine(const QString& commandLine);
    // The program and its arguments as they are: nothing is split or unquoted. Replaces CommandLine.
    void setProgram(const QString& program, const QStringList& arguments);
    QString CurrentDir;
    // Extra NAME=VALUE entries; a variable the program already has keeps its value.
    QStringList Environment;
    // Seconds; 0 or less is no limit. A child that runs longer, or writes no line end for longer, is ended
    // by force with esTime.
    int MaxTimeAfterBeginning = 0;
    int MaxTimeAfterLastOutput = 0;
    // Descriptors of this process that the child keeps, under the same numbers.
    std::vector<int> InheritedDescriptors;

    TNewLineEvent OnNewLine;
    TNotifyEvent OnTerminated;
    TErrorEvent OnExecuteError;

    // Raises EDosCommand when a run is active or there is no command.
    void Execute();
    // Queues the text for the child's input, with CR LF when `eol` is set; an empty text writes nothing.
    // Raises EDosCommand when no run is active.
    void SendLine(const QString& value, bool eol);
    // Ends the child and its process group by force (esStop); nothing when no run is active.
    void Stop();
    // Blocks the owner's thread, without its event loop, until the run has ended or `deadline` has passed;
    // the lines and OnTerminated are reported from here meanwhile. Returns whether no run is active.
    bool WaitForFinished(QDeadlineTimer deadline);

    bool IsRunning() const { return m_running; }
    TEndStatus EndStatus() const { return m_endStatus; }
    quint32 ExitCode() const { return m_exitCode; }
    // The child's process id while it runs; 0 otherwise.
    qint64 ProcessId() const;
    // The complete lines of the current or last run.
    const QStringList& Lines() const { return m_lines; }

private:
    void Report(const QList<TLineSplitter::Line>& lines);
    void Tick();
    void ForceEnd(TEndStatus status);
    void ProcessEnded(int exitCode, bool crashed);
    void StartFailed(const QString& reason);
    void ThreadTerminated(std::optional<ECreateProcessError> error);
    void ShowExecuteError(const ECreateProcessError& error);
    QString DisplayedCommandLine() const;

    MessageBoxes* m_messages;
    QString m_commandLine;
    QString m_program;
    QStringList m_arguments;
    bool m_vectorForm = false;

    std::unique_ptr<TChildProcess> m_process;
    QTimer* m_tick = nullptr;
    TLineSplitter m_splitter;
    QStringDecoder m_decoder;
    QStringList m_lines;
    bool m_running = false;
    bool m_ending = false;
    TEndStatus m_endStatus = esNone;
    quint32 m_exitCode = 0;
    int m_sinceBeginning = 0;
    int m_sinceLastOutput = 0;
};
