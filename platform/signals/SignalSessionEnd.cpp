#include "SignalSessionEnd.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// One pipe for the process: a signal has no object to go to.
int pipeEnds[2] = { -1, -1 };

extern "C" void onTerminate(int)
{
    const int saved = errno;
    const char byte = 1;
    // A full pipe already holds an unread announcement; losing this one changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    errno = saved;
}

} // namespace

SignalSessionEnd::~SignalSessionEnd()
{
    if (!m_installed)
        return;
    // Back to the default, so that a later SIGTERM still ends the process.
    struct sigaction action
    { };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    m_notifier.reset();
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds[0] = pipeEnds[1] = -1;
}

bool SignalSessionEnd::watch(std::function<void()> onEnd)
{
    m_onEnd = std::move(onEnd);
    if (m_installed)
        return true;
    if (pipeEnds[0] >= 0 || ::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { readPipe(); });

    struct sigaction action
    { };
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGTERM, &action, nullptr) != 0) {
        m_notifier.reset();
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        pipeEnds[0] = pipeEnds[1] = -1;
        return false;
    }
    m_installed = true;
    return true;
}

void SignalSessionEnd::readPipe()
{
    char bytes[64];
    while (::read(pipeEnds[0], bytes, sizeof(bytes)) > 0) { }
    if (m_onEnd)
        m_onEnd();
}
