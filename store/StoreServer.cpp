#include "StoreServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstdio>

namespace {

constexpr qsizetype MaxHeaderSize = 16 * 1024;
const QByteArray PngSignature("\x89PNG\r\n\x1a\n", 8);
const QByteArray PngEnd("\0\0\0\0IEND\xae\x42\x60\x82", 12);

struct Request
{
    QByteArray method;
    QByteArray target;
    QList<std::pair<QByteArray, QByteArray>> headers;

    QByteArray header(const QByteArray& name) const
    {
        for (const auto& [key, value] : headers)
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        return {};
    }
};

// Request line and header lines; false when they are not HTTP/1.x.
bool parseHead(const QByteArray& head, Request& request)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    if (first.size() != 3 || !first[2].startsWith("HTTP/1."))
        return false;
    request.method = first[0];
    request.target = first[1];
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        request.headers.append({ line.left(colon).trimmed(), line.mid(colon + 1).trimmed() });
    }
    return true;
}

// The content of the part named "file" in a multipart/form-data body; empty when there is none.
QByteArray filePart(const QByteArray& body, const QByteArray& boundary)
{
    const QByteArray delimiter = "--" + boundary;
    qsizetype at = body.startsWith(delimiter) ? 0 : body.indexOf("\r\n" + delimiter);
    if (at < 0)
        return {};
    at = body.indexOf(delimiter, at) + delimiter.size();
    while (body.mid(at, 2) == "\r\n") {
        const qsizetype headersEnd = body.indexOf("\r\n\r\n", at);
        if (headersEnd < 0)
            return {};
        const QByteArray partHeaders = body.mid(at + 2, headersEnd - at - 2).toLower();
        const qsizetype contentStart = headersEnd + 4;
        const qsizetype contentEnd = body.indexOf("\r\n" + delimiter, contentStart);
        if (contentEnd < 0)
            return {};
        static const QRegularExpression fileName(
            QStringLiteral(R"(content-disposition:[^\r\n]*\bname="file")"));
        if (fileName.match(QString::fromLatin1(partHeaders)).hasMatch())
            return body.mid(contentStart, contentEnd - contentStart);
        at = contentEnd + 2 + delimiter.size();
    }
    return {};
}

// A signature, the header chunk first and the end chunk last: what every PNG file has.
bool looksLikePng(const QByteArray& data)
{
    return data.size() >= 8 + 25 + 12 && data.startsWith(PngSignature) && data.mid(12, 4) == "IHDR"
        && data.endsWith(PngEnd);
}

QByteArray jsonText(const QString& text)
{
    QByteArray escaped;
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            escaped += "\\\"";
            break;
        case '\\':
            escaped += "\\\\";
            break;
        case '/':
            // As many web services write it; readers turn it back into a slash.
            escaped += "\\/";
            break;
        default:
            if (uchar(c) < 0x20)
                escaped += QByteArray("\\u00") + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                escaped += c;
        }
    }
    return escaped;
}

QByteArray statusText(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Payload Too Large";
    case 415:
        return "Unsupported Media Type";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Internal Server Error";
    }
}

// One connection: one request read with its limits checked early, one answer, then closed.
class Connection final : public QObject
{
public:
    Connection(QTcpSocket* socket, const StoreServer::Options& options, QObject* parent)
        : QObject(parent), m_socket(socket), m_options(options)
    {
        socket->setParent(this);
        m_idle.setSingleShot(true);
        m_idle.setInterval(options.idleTimeoutMs);
        connect(&m_idle, &QTimer::timeout, this, [this] { m_socket->abort(); });
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        m_idle.start();
    }

private:
    void read();
    void handle();
    void storeImage();
    void serveImage();
    void answer(int status, const QByteArray& body, const QByteArray& type = "application/json");
    void fail(int status, const QString& message)
    {
        answer(status, R"({"status":"error","message":")" + jsonText(message) + "\"}");
    }

    QTcpSocket* m_socket;
    const StoreServer::Options& m_options;
    QTimer m_idle;
    QByteArray m_buffer;
    Request m_request;
    bool m_haveHead = false;
    bool m_answered = false;
    qint64 m_length = 0;
};

void Connection::read()
{
    if (m_answered) {
        m_socket->readAll();
        return;
    }
    m_idle.start();
    m_buffer += m_socket->readAll();
    if (!m_haveHead) {
        const qsizetype end = m_buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_buffer.size() > MaxHeaderSize)
                fail(431, QStringLiteral("the request's header is too large"));
            return;
        }
        if (end > MaxHeaderSize || !parseHead(m_buffer.left(end), m_request)) {
            fail(end > MaxHeaderSize ? 431 : 400, QStringLiteral("not an HTTP request"));
            return;
        }
        m_haveHead = true;
        m_buffer.remove(0, end + 4);
        if (m_request.method == "POST") {
            bool known = false;
            m_length = m_request.header("Content-Length").toLongLong(&known);
            if (!known || m_length < 0 || !m_request.header("Transfer-Encoding").isEmpty()) {
                fail(411, QStringLiteral("the body's length must be given"));
                return;
            }
            // Refused before the body arrives: nothing of it is kept.
            if (m_length > m_options.maxBodySize) {
                fail(413, QStringLiteral("the image is larger than %1 bytes").arg(m_options.maxBodySize));
                return;
            }
            if (m_request.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0)
                m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        }
    }
    if (m_buffer.size() > m_length) {
        fail(400, QStringLiteral("the body is longer than its length"));
        return;
    }
    if (m_buffer.size() == m_length)
        handle();
}

void Connection::handle()
{
    const bool upload = m_request.target == "/image";
    if (upload && m_request.method == "POST")
        storeImage();
    else if (upload)
        fail(405, QStringLiteral("images are posted here"));
    else if (m_request.method == "GET" || m_request.method == "HEAD")
        serveImage();
    else
        fail(405, QStringLiteral("only GET and POST are served"));
}

void Connection::storeImage()
{
    const QByteArray type = m_request.header("Content-Type");
    static const QRegularExpression boundaryPattern(
        QStringLiteral(R"re(^multipart/form-data;.*\bboundary="?([^";]+)"?)re"),
        QRegularExpression::CaseInsensitiveOption);
    const auto match = boundaryPattern.match(QString::fromLatin1(type));
    if (!match.hasMatch()) {
        fail(400, QStringLiteral("the body must be multipart/form-data"));
        return;
    }
    const QByteArray image = filePart(m_buffer, match.captured(1).toLatin1());
    if (image.isEmpty()) {
        fail(400, QStringLiteral("the body has no part named file"));
        return;
    }
    if (!looksLikePng(image)) {
        fail(415, QStringLiteral("only PNG images are stored"));
        return;
    }
    // 128 random bits: nobody finds an image without being given its address.
    const quint64 high = QRandomGenerator::system()->generate64();
    const quint64 low = QRandomGenerator::system()->generate64();
    const QString name
        = QStringLiteral("%1%2.png").arg(high, 16, 16, QLatin1Char('0')).arg(low, 16, 16, QLatin1Char('0'));
    // Written under another name and renamed when complete: a half-written image is never served.
    QSaveFile file(QDir(m_options.folder).filePath(name));
    // Unbuffered, so that the system's reason is that of the write that failed.
    errno = 0;
    const bool written
        = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(image) == image.size();
    const QString problem = errno ? qt_error_string(errno) : file.errorString();
    if (!written || !file.commit()) {
        std::fprintf(stderr, "lumetra-store: cannot write %s: %s\n", qPrintable(file.fileName()),
            qPrintable(written ? file.errorString() : problem));
        fail(500, QStringLiteral("the image could not be stored"));
        return;
    }
    QString base = m_options.publicUrl;
    if (base.isEmpty()) {
        static const QRegularExpression sane(
            QStringLiteral(R"(^[A-Za-z0-9.\-]+(:\d+)?$|^\[[0-9A-Fa-f:.]+\](:\d+)?$)"));
        QString host = QString::fromLatin1(m_request.header("Host"));
        if (!sane.match(host).hasMatch())
            host
                = QStringLiteral("%1:%2").arg(m_socket->localAddress().toString()).arg(m_socket->localPort());
        base = QStringLiteral("http://") + host;
    }
    if (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    std::printf("stored %s (%lld bytes)\n", qPrintable(name), static_cast<long long>(image.size()));
    std::fflush(stdout);
    answer(200, R"({"status":"success","url":")" + jsonText(base + QLatin1Char('/') + name) + "\"}");
}

void Connection::serveImage()
{
    static const QRegularExpression stored(QStringLiteral(R"(^/([0-9a-f]{32}\.png)$)"));
    const auto match = stored.match(QString::fromLatin1(m_request.target));
    QFile file(match.hasMatch() ? QDir(m_options.folder).filePath(match.captured(1)) : QString());
    if (!match.hasMatch() || !file.open(QIODevice::ReadOnly)) {
        fail(404, QStringLiteral("no such image"));
        return;
    }
    answer(200, file.readAll(), "image/png");
}

void Connection::answer(int status, const QByteArray& body, const QByteArray& type)
{
    if (m_answered)
        return;
    m_answered = true;
    m_idle.stop();
    QByteArray head = "HTTP/1.0 " + QByteArray::number(status) + ' ' + statusText(status) + "\r\n";
    head += "Content-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nConnection: close\r\n\r\n";
    m_socket->write(head);
    if (m_request.method != "HEAD")
        m_socket->write(body);
    m_buffer.clear();
    m_socket->disconnectFromHost();
}

} // namespace

StoreServer::StoreServer(Options options, QObject* parent) : QObject(parent), m_options(std::move(options))
{
    connect(&m_server, &QTcpServer::newConnection, this, &StoreServer::acceptConnections);
}

bool StoreServer::listen(const QHostAddress& address, quint16 port, QString* error)
{
    const QFileInfo folder(m_options.folder);
    if (!folder.isDir() || !folder.isWritable()) {
        *error = QStringLiteral("%1 is not a folder this program can write to").arg(m_options.folder);
        return false;
    }
    if (!m_server.listen(address, port)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

void StoreServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_connections >= m_options.maxConnections) {
            socket->write(
                "HTTP/1.0 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++m_connections;
        auto connection = new Connection(socket, m_options, this);
        connect(connection, &QObject::destroyed, this, [this] { --m_connections; });
    }
}
