#include "HelperHttpClient.h"

#include "HttpWire.h"
#include "platform/Module.h"

#include <QProcess>

#include <algorithm>

namespace {

enum class BodySent { Whole, Stopped, HelperEnded, Unreadable };

// Hands the body to the helper piece by piece as the caller gives it out, each piece on its way before
// the next is asked for, so that the caller's reports follow the transfer.
BodySent sendBody(QProcess& helper, const HttpRequest& request, const std::stop_token& stop)
{
    char piece[16384];
    for (qint64 sent = 0; sent < request.bodySize;) {
        const qint64 room = std::min<qint64>(sizeof piece, request.bodySize - sent);
        const qint64 given = request.readBody ? request.readBody(piece, room) : 0;
        if (given <= 0 || given > room)
            return BodySent::Unreadable;
        helper.write(piece, given);
        while (helper.bytesToWrite() > 0) {
            if (stop.stop_requested())
                return BodySent::Stopped;
            if (helper.state() == QProcess::NotRunning)
                return BodySent::HelperEnded;
            helper.waitForBytesWritten(20);
        }
        sent += given;
    }
    return BodySent::Whole;
}

} // namespace

void HelperHttpClient::sendUnheard(const HttpRequest& request)
{
    const QString program = ModuleFile(QStringLiteral("lumetra-fetch"));
    if (!program.isEmpty() && request.bodySize < 0)
        QProcess::startDetached(program,
            { QStringLiteral("--request"), QString::fromLatin1(HttpWire::request(request).toBase64()) });
}

HttpReply HelperHttpClient::perform(const HttpRequest& request, std::stop_token stop)
{
    HttpReply reply;
    const QString program = ModuleFile(QStringLiteral("lumetra-fetch"), &reply.error);
    if (program.isEmpty())
        return reply;
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(program, {});
    helper.write(HttpWire::request(request));
    if (request.bodySize >= 0) {
        switch (sendBody(helper, request, stop)) {
        case BodySent::Whole:
        case BodySent::HelperEnded: // its reply says why
            break;
        case BodySent::Stopped:
            helper.kill();
            helper.waitForFinished(1000);
            reply.error = QStringLiteral("abandoned");
            return reply;
        case BodySent::Unreadable:
            helper.kill();
            helper.waitForFinished(1000);
            reply.error = QStringLiteral("the request's body could not be read");
            return reply;
        }
    }
    helper.closeWriteChannel();
    // A quitting program kills the helper rather than wait for the network.
    while (!helper.waitForFinished(20) && helper.state() != QProcess::NotRunning) {
        if (stop.stop_requested()) {
            helper.kill();
            helper.waitForFinished(1000);
            reply.error = QStringLiteral("abandoned");
            return reply;
        }
    }
    if (stop.stop_requested()) {
        reply.error = QStringLiteral("abandoned");
        return reply;
    }
    if (helper.error() == QProcess::FailedToStart) {
        reply.error = QStringLiteral("lumetra-fetch could not be started: %1").arg(helper.errorString());
        return reply;
    }
    if (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0
        || !HttpWire::readReply(helper.readAllStandardOutput(), reply)) {
        reply = HttpReply {};
        reply.error = QStringLiteral("lumetra-fetch stopped unexpectedly");
    }
    return reply;
}
