#pragma once

#include "HttpClient.h"

#include <QDataStream>
#include <QIODevice>

// How a request without a body and its reply travel between the program and the HTTP helper.
namespace HttpWire {

inline QByteArray request(const HttpRequest& request)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << request.method << request.url << request.headers << request.userAgent << request.http10
        << request.caFile << qint64(request.connectTimeout.count()) << qint64(request.stallTimeout.count())
        << qint64(request.totalTimeout.count()) << request.maxReplySize;
    return data;
}

inline bool readRequest(const QByteArray& data, HttpRequest& request)
{
    QDataStream in(data);
    qint64 connect = 0, stall = 0, total = 0;
    in >> request.method >> request.url >> request.headers >> request.userAgent >> request.http10
        >> request.caFile >> connect >> stall >> total >> request.maxReplySize;
    request.connectTimeout = std::chrono::milliseconds(connect);
    request.stallTimeout = std::chrono::milliseconds(stall);
    request.totalTimeout = std::chrono::milliseconds(total);
    return in.status() == QDataStream::Ok;
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
