#include "ChildProcess.h"

#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A descriptor above the standard three, so that moving it onto one of them cannot close it.
int above2(int descriptor)
{
    return descriptor > 2 ? descriptor : ::fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
}

void report(int pipe, int error)
{
    [[maybe_unused]] const ssize_t written = ::write(pipe, &error, sizeof(error));
}

// In the forked child: only async-signal-safe calls. Becomes the watcher; its own child runs the program.
[[noreturn]] void runChild(pid_t owner, int input, int output, int reportPipe, const char* file, char** argv,
    char** envp, const char* directory, const std::vector<int>& keep)
{
    ::setpgid(0, 0);
    const pid_t watcher = ::getpid();
    const pid_t program = ::fork();
    if (program < 0) {
        report(reportPipe, errno);
        ::_exit(127);
    }
    if (program == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGINT);
        // The watcher died before the signal was set up: nobody would stop this program.
        if (::getppid() != watcher)
            ::_exit(127);
        input = above2(input);
        output = above2(output);
        if (::dup2(input, 0) < 0 || ::dup2(output, 1) < 0 || ::dup2(output, 2) < 0) {
            report(reportPipe, errno);
            ::_exit(127);
        }
        for (const int descriptor : keep)
            ::fcntl(descriptor, F_SETFD, 0);
        if (directory && ::chdir(directory) != 0) {
            report(reportPipe, errno);
            ::_exit(127);
        }
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::execve(file, argv, envp);
        report(reportPipe, errno);
        ::_exit(127);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != owner)
        ::_exit(127);
    // The watcher holds nothing open: the pipes close when the program ends.
    ::close_range(0, ~0U, 0);
    int status = 0;
    while (::waitpid(program, &status, 0) < 0) {
        if (errno != EINTR)
            ::_exit(127);
    }
    if (WIFSIGNALED(status)) {
        ::signal(WTERMSIG(status), SIG_DFL);
        ::kill(watcher, WTERMSIG(status));
    }
    ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 127);
}

QString systemMessage(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_pid > 0) {
        kill();
        ::waitpid(pid_t(m_pid), nullptr, 0);
    }
    closeAll();
}

QString ChildProcess::start(const QString& program, const QStringList& arguments, const QString& directory,
    const QStringList& environment, const std::vector<int>& keep)
{
    const QString path = program.contains(u'/') ? program : QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return systemMessage(ENOENT);
    // Everything the child needs is made here: after the fork only system calls are safe.
    const QByteArray file = QFile::encodeName(path);
    QByteArrayList argumentBytes { QFile::encodeName(program) };
    for (const QString& argument : arguments)
        argumentBytes.append(argument.toUtf8());
    QByteArrayList environmentBytes;
    for (const QString& entry : environment)
        environmentBytes.append(entry.toUtf8());
    std::vector<char*> argv, envp;
    for (QByteArray& bytes : argumentBytes)
        argv.push_back(bytes.data());
    argv.push_back(nullptr);
    for (QByteArray& bytes : environmentBytes)
        envp.push_back(bytes.data());
    envp.push_back(nullptr);
    const QByteArray folder = QFile::encodeName(directory);

    int input[2], output[2], reportPipe[2];
    if (::pipe2(input, O_CLOEXEC) != 0)
        return systemMessage(errno);
    if (::pipe2(output, O_CLOEXEC) != 0) {
        const int error = errno;
        ::close(input[0]);
        ::close(input[1]);
        return systemMessage(error);
    }
    if (::pipe2(reportPipe, O_CLOEXEC) != 0) {
        const int error = errno;
        for (const int descriptor : { input[0], input[1], output[0], output[1] })
            ::close(descriptor);
        return systemMessage(error);
    }
    const pid_t owner = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0)
        runChild(owner, input[0], output[1], reportPipe[1], file.constData(), argv.data(), envp.data(),
            directory.isEmpty() ? nullptr : folder.constData(), keep);
    const int forkError = errno;
    for (const int descriptor : { input[0], output[1], reportPipe[1] })
        ::close(descriptor);
    // The report pipe closes when the program has been started (or says why it was not).
    int error = pid < 0 ? forkError : 0;
    if (pid > 0) {
        ssize_t got;
        do
            got = ::read(reportPipe[0], &error, sizeof(error));
        while (got < 0 && errno == EINTR);
        if (got != sizeof(error))
            error = 0;
    }
    ::close(reportPipe[0]);
    if (error != 0) {
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
        ::close(input[1]);
        ::close(output[0]);
        return systemMessage(error);
    }

    m_pid = pid;
    m_input = input[1];
    m_output = output[0];
    ::fcntl(m_input, F_SETFL, O_NONBLOCK);
    ::fcntl(m_output, F_SETFL, O_NONBLOCK);
    m_exit = int(::syscall(SYS_pidfd_open, pid, 0));
    m_outputNotifier = new QSocketNotifier(m_output, QSocketNotifier::Read, this);
    connect(m_outputNotifier, &QSocketNotifier::activated, this, &ChildProcess::readOutput);
    m_inputNotifier = new QSocketNotifier(m_input, QSocketNotifier::Write, this);
    m_inputNotifier->setEnabled(false);
    connect(m_inputNotifier, &QSocketNotifier::activated, this, &ChildProcess::writeInput);
    if (m_exit >= 0) {
        m_exitNotifier = new QSocketNotifier(m_exit, QSocketNotifier::Read, this);
        connect(m_exitNotifier, &QSocketNotifier::activated, this, [this] { reap(false); });
    }
    return {};
}

void ChildProcess::write(const QByteArray& bytes)
{
    if (m_input < 0)
        return;
    m_pending += bytes;
    writeInput();
}

void ChildProcess::writeInput()
{
    while (!m_pending.isEmpty()) {
        const ssize_t written = ::write(m_input, m_pending.constData(), size_t(m_pending.size()));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            // A full pipe takes the rest when the program has read; a closed one never will.
            if (errno != EAGAIN)
                m_pending.clear();
            break;
        }
        m_pending.remove(0, written);
    }
    m_inputNotifier->setEnabled(!m_pending.isEmpty());
}

void ChildProcess::kill()
{
    if (m_pid > 0 && ::kill(-pid_t(m_pid), SIGKILL) != 0)
        ::kill(pid_t(m_pid), SIGKILL);
}

bool ChildProcess::waitForFinished(QDeadlineTimer deadline)
{
    while (m_pid > 0) {
        // The output is drained so that a program writing its last lines never stalls on a full pipe; a
        // pipe already at its end would wake the poll forever and is left out.
        pollfd watched[3];
        nfds_t count = 0;
        if (m_exit >= 0)
            watched[count++] = { m_exit, POLLIN, 0 };
        if (m_output >= 0 && m_outputNotifier->isEnabled())
            watched[count++] = { m_output, POLLIN, 0 };
        if (m_input >= 0 && !m_pending.isEmpty())
            watched[count++] = { m_input, POLLOUT, 0 };
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return false;
        const int ready = ::poll(watched, count, left < 0 ? -1 : int(std::min<qint64>(left, INT_MAX)));
        if (ready < 0 && errno != EINTR)
            return false;
        for (nfds_t i = 0; ready > 0 && i < count && m_pid > 0; ++i) {
            if (!watched[i].revents)
                continue;
            if (watched[i].fd == m_exit)
                reap(false);
            else if (watched[i].fd == m_output)
                readOutput();
            else if (watched[i].fd == m_input)
                writeInput();
        }
    }
    return true;
}

void ChildProcess::readOutput()
{
    char buffer[1024];
    while (m_output >= 0) {
        const ssize_t got = ::read(m_output, buffer, sizeof(buffer));
        if (got > 0) {
            if (m_onOutput)
                m_onOutput(QByteArrayView(buffer, got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0) {
            m_outputNotifier->setEnabled(false);
            // Without a process descriptor (a kernel before 5.3), the end of the output stands for the end.
            if (!m_exitNotifier && m_pid > 0)
                reap(true);
        }
        break;
    }
}

void ChildProcess::reap(bool wait)
{
    int status = 0;
    if (::waitpid(pid_t(m_pid), &status, wait ? 0 : WNOHANG) <= 0)
        return;
    m_pid = 0;
    // What the program wrote before it ended; a descendant that keeps the pipe open is not waited for.
    readOutput();
    closeAll();
    if (m_onFinished)
        m_onFinished(WIFEXITED(status) ? WEXITSTATUS(status) : 0, !WIFEXITED(status));
}

void ChildProcess::closeAll()
{
    for (QSocketNotifier** notifier : { &m_outputNotifier, &m_inputNotifier, &m_exitNotifier }) {
        delete *notifier;
        *notifier = nullptr;
    }
    for (int* descriptor : { &m_input, &m_output, &m_exit }) {
        if (*descriptor >= 0)
            ::close(*descriptor);
        *descriptor = -1;
    }
}
