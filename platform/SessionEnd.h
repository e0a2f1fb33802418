#pragma once

#include <functional>

// The end of the user's session as the system announces it (on Linux: SIGTERM from the session manager
// or from `kill`). The callback runs on the user-interface thread, never inside a signal handler.
class SessionEnd
{
public:
    virtual ~SessionEnd() = default;
    // False when the announcement cannot be received; the program then ends as the system decides.
    virtual bool watch(std::function<void()> onEnd) = 0;
};
