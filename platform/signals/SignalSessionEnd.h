#pragma once

#include "platform/SessionEnd.h"

#include <memory>

#include <QSocketNotifier>

// SIGTERM, carried from the signal handler to the event loop through a pipe: the handler only writes a
// byte, and the callback runs when the loop reads it.
class SignalSessionEnd final : public SessionEnd
{
public:
    SignalSessionEnd() = default;
    ~SignalSessionEnd() override;
    SignalSessionEnd(const SignalSessionEnd&) = delete;
    SignalSessionEnd& operator=(const SignalSessionEnd&) = delete;

    bool watch(std::function<void()> onEnd) override;

private:
    void readPipe();

    std::function<void()> m_onEnd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_installed = false;
};
