#include "HelperHttpClient.h"

#include "HttpWire.h"
#include "Module.h"

#include <QProcess>

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
    if (request.bodySize >= 0) {
        reply.error = QStringLiteral("a request with a body cannot go through the helper");
        return reply;
    }
    const QString program = ModuleFile(QStringLiteral("lumetra-fetch"), &reply.error);
    if (program.isEmpty())
        return reply;
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(program, {});
    helper.write(HttpWire::request(request));
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
