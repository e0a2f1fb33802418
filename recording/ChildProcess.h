#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QSocketNotifier;

// One program started without a shell, its standard input on one pipe and its output and errors together on
// another, in a process group of its own. A single-threaded watcher stands between it and this process and
// mirrors how it ends: when this process dies, the watcher dies with it and the program hears SIGINT exactly
// once. (This process has many threads, and the kernel sends the parent-death signal each time the child
// passes to another dying thread; an encoder that hears SIGINT more than once abandons its file.) The watcher
// is forked, not vforked, so this thread never waits for it.
class ChildProcess : public QObject
{
    Q_OBJECT
public:
    ChildProcess() = default;
    // A program still running is ended by force with its group.
    ~ChildProcess() override;

    // Starts `program` (a path, or a name looked up on PATH) with `environment` (NAME=VALUE entries) in
    // `directory` (empty: this process's). The program keeps the descriptors `keep` under their numbers.
    // Returns the system's reason when it cannot start, empty when it runs.
    QString start(const QString& program, const QStringList& arguments, const QString& directory,
        const QStringList& environment, const std::vector<int>& keep);
    // Queues bytes for the program's input; they go as the pipe takes them, without blocking.
    void write(const QByteArray& bytes);
    // Ends the program and its group at once.
    void kill();
    // Blocks until the program has ended, at most until `deadline`, sleeping in the system meanwhile. Its
    // output is read and its input written as the event loop would, and the finished handler is called from
    // here. Returns whether it has ended.
    bool waitForFinished(QDeadlineTimer deadline);

    // Output as it is read, in chunks of at most 1 KiB.
    void setOutputHandler(std::function<void(QByteArrayView chunk)> handler)
    {
        m_onOutput = std::move(handler);
    }
    // The program has ended: its exit code, or crashed when a signal ended it. The output read until then
    // has been reported.
    void setFinishedHandler(std::function<void(int exitCode, bool crashed)> handler)
    {
        m_onFinished = std::move(handler);
    }

private:
    void readOutput();
    void writeInput();
    void reap(bool wait);
    void closeAll();

    qint64 m_pid = 0;
    int m_input = -1;
    int m_output = -1;
    int m_exit = -1;
    QByteArray m_pending;
    QSocketNotifier* m_outputNotifier = nullptr;
    QSocketNotifier* m_inputNotifier = nullptr;
    QSocketNotifier* m_exitNotifier = nullptr;
    std::function<void(QByteArrayView chunk)> m_onOutput;
    std::function<void(int exitCode, bool crashed)> m_onFinished;
};
