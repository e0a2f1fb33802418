// lumetra-store: a small image store for Lumetra's uploads, to run on one's own machine or server.

#include "StoreServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lumetra-store"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Keeps the images Lumetra uploads: POST /image takes a PNG file, GET /<name>.png gives it back."));
    parser.addHelpOption();
    const QCommandLineOption folder(
        QStringLiteral("folder"), QStringLiteral("Where the images are kept."), QStringLiteral("path"));
    const QCommandLineOption listen(QStringLiteral("listen"),
        QStringLiteral("Address and port to listen on (default 127.0.0.1:8080; port 0 takes a free one)."),
        QStringLiteral("address:port"), QStringLiteral("127.0.0.1:8080"));
    const QCommandLineOption maxSize(QStringLiteral("max-size"),
        QStringLiteral("Largest request body taken, in bytes (default 33554432)."), QStringLiteral("bytes"),
        QStringLiteral("33554432"));
    const QCommandLineOption url(QStringLiteral("url"),
        QStringLiteral("Start of the addresses handed out, as the world reaches this store "
                       "(default: http:// and the host the client asked for)."),
        QStringLiteral("url"));
    parser.addOptions({ folder, listen, maxSize, url });
    parser.process(application);

    QTextStream err(stderr);
    StoreServer::Options options;
    options.folder = parser.value(folder);
    options.publicUrl = parser.value(url);
    bool sizeOk = false;
    options.maxBodySize = parser.value(maxSize).toLongLong(&sizeOk);
    if (options.folder.isEmpty() || !sizeOk || options.maxBodySize <= 0) {
        err << "lumetra-store: --folder is required and --max-size must be a positive number\n";
        return 2;
    }
    const QString where = parser.value(listen);
    const qsizetype colon = where.lastIndexOf(QLatin1Char(':'));
    QString host = where.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    bool portOk = false;
    const uint port = where.mid(colon + 1).toUInt(&portOk);
    const QHostAddress address(host);
    if (colon < 0 || address.isNull() || !portOk || port > 65535) {
        err << "lumetra-store: --listen wants an address and a port, as 127.0.0.1:8080 or [::1]:8080\n";
        return 2;
    }

    StoreServer server(options);
    QString error;
    if (!server.listen(address, quint16(port), &error)) {
        err << "lumetra-store: " << error << '\n';
        return 1;
    }
    // Scripts that asked for port 0 learn the port here.
    std::printf("listening on %s port %u\n", qPrintable(address.toString()), unsigned(server.port()));
    std::fflush(stdout);
    return application.exec();
}
