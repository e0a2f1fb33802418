#pragma once

#include "platform/InstanceChannel.h"

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

class QSocketNotifier;

// The command channel on a Unix socket of mode 0600 in the runtime folder. Each connection carries one
// request; reading never blocks the user-interface thread, and a client that stalls, sends too much or
// breaks the framing is answered 0 and dropped.
class UnixCommandServer final : public QObject, public InstanceChannel
{
    Q_OBJECT
public:
    // `socketPath` empty: the standard path in the runtime folder.
    explicit UnixCommandServer(QString socketPath = {}, QObject* parent = nullptr);
    ~UnixCommandServer() override;

    bool listen(InstanceHandler handler) override;
    void close() override;

private:
    struct Client;

    void acceptClients();
    void readClient(Client* client);
    // True when the client has been answered (and is gone).
    bool handle(Client* client);
    void answer(Client* client, qint32 result);
    void drop(Client* client);

    QString m_path;
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    InstanceHandler m_handler;
    std::vector<std::unique_ptr<Client>> m_clients;
};
