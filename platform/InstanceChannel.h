#pragma once

#include <QString>
#include <functional>

struct InstanceRequest
{
    quint32 message = 0;
    quint32 param = 0; // wParam of WM_USER, dwData of WM_COPYDATA
    QString text; // WM_COPYDATA only: the text up to its NUL
};

// Returns the 32-bit answer sent back to the requesting process.
using InstanceHandler = std::function<qint32(const InstanceRequest&)>;

// The running copy's end of the command channel. Requests reach the handler on the user-interface thread;
// the answer goes back after the handler has returned.
class InstanceChannel
{
public:
    virtual ~InstanceChannel() = default;
    // False when the channel cannot be opened; the program then runs without external commands.
    virtual bool listen(InstanceHandler handler) = 0;
    // Other copies no longer find this one.
    virtual void close() = 0;
};
