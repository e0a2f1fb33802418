#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

// A small image store: takes PNG files posted as multipart/form-data to /image, keeps each under an
// unguessable name in one folder and serves them back by GET. Every answer closes its connection.
class StoreServer final : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString folder;
        // Bodies beyond this are refused before they are read.
        qint64 maxBodySize = 32 * 1024 * 1024;
        // The start of every address handed out ("https://images.example.org"); empty: "http://" and the
        // host the client asked for.
        QString publicUrl;
        // Connections beyond this many at a time are turned away, so that memory stays bounded.
        int maxConnections = 32;
        // A connection that sends nothing for this long is closed.
        int idleTimeoutMs = 30000;
    };

    explicit StoreServer(Options options, QObject* parent = nullptr);

    // False with `error` filled in when the address cannot be taken or the folder is not writable.
    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }
    const Options& options() const { return m_options; }

private:
    void acceptConnections();

    Options m_options;
    QTcpServer m_server;
    int m_connections = 0;
};
