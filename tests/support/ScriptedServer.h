#pragma once

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

// An HTTP server on 127.0.0.1 that behaves as a test tells it, misbehaving included; it serves from the
// event loop of the thread that made it.
class ScriptedServer : public QTcpServer
{
public:
    enum class Mode {
        Answer, // the given reply once the request is complete
        Hold, // the same, but only after release()
        Silent, // reads the request and never answers
        Huge, // a 200 with a body of 100 MB, written as the client takes it
        Hangup, // drops the connection once the header has arrived
    };

    explicit ScriptedServer(Mode mode, QByteArray answer = {}) : m_mode(mode), m_answer(std::move(answer))
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        });
    }

    static QByteArray reply(int status, const QByteArray& body)
    {
        return "HTTP/1.0 " + QByteArray::number(status)
            + " X\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
    // Everything the client sent.
    QByteArray request;
    // A request is complete and waits for release() (Hold).
    bool waiting() const { return m_waiting != nullptr; }
    void release()
    {
        if (m_waiting)
            send(m_waiting);
        m_waiting = nullptr;
    }

private:
    void read(QTcpSocket* socket)
    {
        request += socket->readAll();
        const qsizetype end = request.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        if (m_mode == Mode::Hangup) {
            socket->abort();
            return;
        }
        static const QRegularExpression length(QStringLiteral("Content-Length: (\\d+)"));
        const qsizetype body = length.match(QString::fromLatin1(request.left(end))).captured(1).toLongLong();
        if (request.size() < end + 4 + body || m_complete)
            return;
        m_complete = true;
        if (m_mode == Mode::Answer)
            send(socket);
        else if (m_mode == Mode::Hold)
            m_waiting = socket;
        else if (m_mode == Mode::Huge)
            sendHuge(socket);
    }

    void send(QTcpSocket* socket)
    {
        socket->write(m_answer);
        socket->disconnectFromHost();
    }

    void sendHuge(QTcpSocket* socket)
    {
        socket->write("HTTP/1.0 200 OK\r\nContent-Length: 104857600\r\n\r\n");
        auto left = std::make_shared<qint64>(100 * 1024 * 1024);
        const QByteArray block(64 * 1024, 'x');
        auto more = [socket, left, block] {
            if (*left > 0 && socket->bytesToWrite() < 256 * 1024) {
                socket->write(block);
                *left -= block.size();
            }
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    }

    Mode m_mode;
    QByteArray m_answer;
    bool m_complete = false;
    QTcpSocket* m_waiting = nullptr;
};
