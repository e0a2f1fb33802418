#include "UnixCommandServer.h"

#include "platform/InstanceClient.h"
#include "platform/InstanceProtocol.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcChannel, "lumetra.channel", QtWarningMsg)

struct UnixCommandServer::Client
{
    int fd = -1;
    QByteArray buffer;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<QTimer> idle;
    bool busy = false;
};

namespace {

quint32 readU32(const QByteArray& bytes, int offset)
{
    const auto p = reinterpret_cast<const uchar*>(bytes.constData()) + offset;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

} // namespace

UnixCommandServer::UnixCommandServer(QString socketPath, QObject* parent)
    : QObject(parent), m_path(std::move(socketPath))
{ }

UnixCommandServer::~UnixCommandServer()
{
    close();
    for (auto& client : m_clients)
        ::close(client->fd);
}

bool UnixCommandServer::listen(InstanceHandler handler)
{
    if (m_fd >= 0)
        return true;
    if (m_path.isEmpty()) {
        const std::string folder = InstanceClient::runtimeDirectory();
        if (folder.empty())
            return false;
        m_path = QString::fromStdString(InstanceClient::socketPath(folder));
    }
    const QByteArray path = m_path.toLocal8Bit();
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (std::size_t(path.size()) >= sizeof(address.sun_path)) {
        qCWarning(lcChannel) << "socket path too long:" << m_path;
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()) + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // Only the running copy holds the single-instance lock, so a socket file still there is a dead copy's.
    ::unlink(path.constData());
    // The socket is born with mode 0600: no moment in which another user could connect.
    const mode_t previous = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    ::umask(previous);
    if (!bound || ::listen(fd, 16) != 0) {
        qCWarning(lcChannel) << "cannot listen on" << m_path << std::strerror(errno);
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_handler = std::move(handler);
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &UnixCommandServer::acceptClients);
    return true;
}

void UnixCommandServer::close()
{
    if (m_fd < 0)
        return;
    m_notifier.reset();
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_path.toLocal8Bit().constData());
}

void UnixCommandServer::acceptClients()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        auto client = std::make_unique<Client>();
        Client* raw = client.get();
        raw->fd = fd;
        raw->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(raw->notifier.get(), &QSocketNotifier::activated, this, [this, raw] { readClient(raw); });
        raw->idle = std::make_unique<QTimer>();
        raw->idle->setSingleShot(true);
        raw->idle->setInterval(InstanceProtocol::IdleTimeoutMs);
        connect(raw->idle.get(), &QTimer::timeout, this, [this, raw] { answer(raw, 0); });
        raw->idle->start();
        m_clients.push_back(std::move(client));
    }
}

void UnixCommandServer::readClient(Client* client)
{
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::recv(client->fd, chunk, sizeof(chunk), 0);
        if (n > 0) {
            client->buffer.append(chunk, n);
            if (std::size_t(client->buffer.size())
                > InstanceProtocol::HeaderBytes + InstanceProtocol::MaxTextBytes + 2) {
                answer(client, 0);
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // End of the client's data: a connection that sent nothing was only looking for the running copy;
        // a request cut short is answered 0 in case the client still listens.
        if (client->buffer.isEmpty())
            drop(client);
        else if (!handle(client))
            answer(client, 0);
        return;
    }
    handle(client);
}

bool UnixCommandServer::handle(Client* client)
{
    if (client->busy)
        return true;
    const QByteArray& bytes = client->buffer;
    if (std::size_t(bytes.size()) < InstanceProtocol::HeaderBytes)
        return false;
    InstanceRequest request;
    request.message = readU32(bytes, 0);
    request.param = readU32(bytes, 4);
    if (request.message == InstanceProtocol::WmCopyData) {
        // The text ends at its first NUL unit; anything after it is ignored.
        int end = -1;
        for (int i = int(InstanceProtocol::HeaderBytes); i + 1 < bytes.size(); i += 2) {
            if (bytes[i] == 0 && bytes[i + 1] == 0) {
                end = i;
                break;
            }
        }
        if (end < 0) {
            if (std::size_t(bytes.size()) - InstanceProtocol::HeaderBytes < InstanceProtocol::MaxTextBytes)
                return false;
            answer(client, 0);
            return true;
        }
        const int units = (end - int(InstanceProtocol::HeaderBytes)) / 2;
        request.text.resize(units);
        for (int i = 0; i < units; ++i) {
            const auto p
                = reinterpret_cast<const uchar*>(bytes.constData()) + InstanceProtocol::HeaderBytes + 2 * i;
            request.text[i] = QChar(char16_t(p[0] | (p[1] << 8)));
        }
    } else if (request.message != InstanceProtocol::WmUser) {
        answer(client, 0);
        return true;
    }

    // The handler may run a nested event loop (a message box); this client must stay untouched meanwhile.
    client->busy = true;
    client->idle->stop();
    client->notifier->setEnabled(false);
    QPointer<UnixCommandServer> alive(this);
    const qint32 result = m_handler ? m_handler(request) : 0;
    if (!alive)
        return true;
    client->busy = false;
    answer(client, result);
    return true;
}

void UnixCommandServer::answer(Client* client, qint32 result)
{
    if (client->busy)
        return;
    const quint32 value = quint32(result);
    const unsigned char bytes[4]
        = { uchar(value), uchar(value >> 8), uchar(value >> 16), uchar(value >> 24) };
    // Four bytes always fit into an empty socket buffer; a client that has gone away simply misses them.
    [[maybe_unused]] const ssize_t sent
        = ::send(client->fd, bytes, sizeof(bytes), MSG_NOSIGNAL | MSG_DONTWAIT);
    drop(client);
}

void UnixCommandServer::drop(Client* client)
{
    client->notifier->setEnabled(false);
    client->idle->stop();
    ::close(client->fd);
    // Deleted later: this may run inside a slot of the client's own notifier or timer.
    auto it = std::find_if(
        m_clients.begin(), m_clients.end(), [client](const auto& c) { return c.get() == client; });
    if (it == m_clients.end())
        return;
    std::unique_ptr<Client> owned = std::move(*it);
    m_clients.erase(it);
    owned->notifier.release()->deleteLater();
    owned->idle.release()->deleteLater();
}
