#pragma once

#include "platform/HttpClient.h"

#include <QDataStream>
#include <QIODevice>

// How a request and its reply travel between the program and the HTTP helper. A request's body, when it
// has one, follows the request on the helper's input, `bodySize` bytes as they are.
namespace HttpWire {

inline QByteArray request(const HttpRequest& request)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << request.method << request.url << request.headers << request.userAgent << request.http10
        << request.caFile << qint64(request.connectTimeout.count()) << qint64(request.stallTimeout.count())
        << qint64(request.totalTimeout.count()) << request.maxReplySize << qint64(request.bodySize);
    return data;
}

inline bool readRequest(QDataStream& in, HttpRequest& request)
{
    qint64 connect = 0, stall = 0, total = 0, body = -1;
    in >> request.method >> request.url >> request.headers >> request.userAgent >> request.http10
        >> request.caFile >> connect >> stall >> total >> request.maxReplySize >> body;
    request.bodySize = body;
    request.connectTimeout = std::chrono::milliseconds(connect);
    request.stallTimeout = std::chrono::milliseconds(stall);
    request.totalTimeout = std::chrono::milliseconds(total);
    return in.status() == QDataStream::Ok;
}

inline bool readRequest(const QByteArray& data, HttpRequest& request)
{
    QDataStream in(data);
    return readRequest(in, request) && request.bodySize < 0;
}

// Reads only the request from `device`, leaving its body there to be read.
inline bool readRequest(QIODevice& device, HttpRequest& request)
{
    QDataStream in(&device);
    return readRequest(in, request);
}

inline QByteArray reply(const HttpReply& reply)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << reply.error << qint32(reply.status) << reply.body;
    return data;
}

inline bool readReply(const QByteArray& data, HttpReply& reply)
{
    QDataStream in(data);
    qint32 status = 0;
    in >> reply.error >> status >> reply.body;
    reply.status = status;
    return in.status() == QDataStream::Ok && in.atEnd();
}

} // namespace HttpWire
