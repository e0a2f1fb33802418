#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <stop_token>

// One HTTP or HTTPS request, described completely before it is made.
struct HttpRequest
{
    QByteArray method = "GET";
    // http or https only; any other scheme fails without a connection.
    QUrl url;
    // Extra header lines, each "Name: value", sent in this order; one with an empty value is sent empty.
    // A "Host" line replaces the one made from the address.
    QList<QByteArray> headers;
    QByteArray userAgent;
    bool http10 = false;

    // The body, pulled in pieces while it is sent: `readBody` copies at most `room` bytes into `buffer`
    // and returns how many it copied; it is called on the thread that performs the request. A body of
    // `bodySize` -1 is none.
    qint64 bodySize = -1;
    std::function<qint64(char* buffer, qint64 room)> readBody;

    // Certificates trusted for https: the system's store when empty, else this PEM file alone.
    QString caFile;
    std::chrono::milliseconds connectTimeout { 30000 };
    // Nothing sent or received for this long ends the request: a server that never answers cannot keep a
    // caller waiting forever.
    std::chrono::milliseconds stallTimeout { 60000 };
    // The whole exchange; zero for no limit beyond the stall.
    std::chrono::milliseconds totalTimeout { 0 };
    // A longer reply body fails the request rather than filling the memory.
    qint64 maxReplySize = 16 * 1024 * 1024;
};

struct HttpReply
{
    // Empty when a complete reply arrived, whatever its status; else why there is none.
    QString error;
    int status = 0;
    QByteArray body;

    bool completed() const { return error.isEmpty(); }
};

// Makes HTTP requests. The environment's proxy settings (http_proxy, https_proxy, no_proxy) apply, as
// the desktop's own programs use them. Redirections are not followed.
class HttpClient
{
public:
    virtual ~HttpClient() = default;
    // Makes the request on the calling thread and returns when the reply is complete, the request has
    // failed or `stop` is requested, which ends it at once (the program quits). Blocks: call it from a
    // worker, never from the user-interface thread. Safe to call from several threads at a time.
    virtual HttpReply perform(const HttpRequest& request, std::stop_token stop = {}) = 0;
    // A request whose reply nobody reads, handed on without waiting where the client can: it may then
    // finish after the program has ended. Clients that cannot hand it on make it at once.
    virtual void sendUnheard(const HttpRequest& request) { perform(request); }
};
