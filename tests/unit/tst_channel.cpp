#include "TestHome.h"
#include "app/CommandHandler.h"
#include "platform/InstanceClient.h"
#include "platform/InstanceProtocol.h"
#include "platform/unixsocket/UnixCommandServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::string toStd(const QString& text)
{
    return text.toStdString();
}

QByteArray header(quint32 message, quint32 param)
{
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 4; ++i) {
        bytes[i] = char((message >> (8 * i)) & 0xFF);
        bytes[4 + i] = char((param >> (8 * i)) & 0xFF);
    }
    return bytes;
}

QByteArray utf16(const QString& text, bool withNul = true)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    if (withNul)
        bytes.append(2, '\0');
    return bytes;
}

// Sends raw bytes as a misbehaving client would; optionally closes its sending side. Returns the answer,
// or -1 when the server closed without one, -2 when none came within the time.
int rawExchange(const std::string& path, const QByteArray& bytes, bool closeSending, int waitMs = 8000)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -3;
    }
    if (!bytes.isEmpty())
        (void)::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    if (closeSending)
        ::shutdown(fd, SHUT_WR);
    timeval timeout { waitMs / 1000, (waitMs % 1000) * 1000 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    unsigned char answer[4];
    size_t got = 0;
    while (got < 4) {
        const ssize_t n = ::recv(fd, answer + got, 4 - got, 0);
        if (n == 0) {
            ::close(fd);
            return -1;
        }
        if (n < 0) {
            ::close(fd);
            return -2;
        }
        got += size_t(n);
    }
    ::close(fd);
    return int(answer[0] | answer[1] << 8 | answer[2] << 16 | answer[3] << 24);
}

template <typename T> T await(std::future<T>& future, int timeoutMs = 15000)
{
    QElapsedTimer timer;
    timer.start();
    while (future.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready
        && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return future.get();
}

} // namespace

class TestChannel : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void requestsReachTheHandler();
    void malformedRequestsAnswerZero_data();
    void malformedRequestsAnswerZero();
    void silentClientDoesNotBlock();
    void socketIsPrivate();
    void lockIsExclusive();
    void utf8Conversion();
    void commandsAnswered_data();
    void commandsAnswered();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<UnixCommandServer> m_server;
    std::string m_path;
    QList<InstanceRequest> m_received;
};

void TestChannel::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_path = toStd(m_home->runtime) + "/TFrmLumetra";
    m_server = std::make_unique<UnixCommandServer>(QString::fromStdString(m_path));
    QVERIFY(m_server->listen([this](const InstanceRequest& request) {
        m_received.append(request);
        return request.message == InstanceProtocol::WmCopyData && request.text == QLatin1String("ok") ? 1 : 7;
    }));
}

void TestChannel::requestsReachTheHandler()
{
    m_received.clear();
    auto user = std::async(std::launch::async, [this] { return InstanceClient::sendUser(m_path, 2); });
    QCOMPARE(await(user), std::optional<std::int32_t>(7));
    auto copy
        = std::async(std::launch::async, [this] { return InstanceClient::sendCopyData(m_path, 1, u"ok"); });
    QCOMPARE(await(copy), std::optional<std::int32_t>(1));
    // Text after the NUL is not part of the message.
    auto trailing = std::async(std::launch::async, [this] {
        return rawExchange(
            m_path, header(InstanceProtocol::WmCopyData, 5) + utf16(QStringLiteral("ok")) + "junk", false);
    });
    QCOMPARE(await(trailing), 1);
    QCOMPARE(m_received.size(), 3);
    QCOMPARE(m_received[0].message, InstanceProtocol::WmUser);
    QCOMPARE(m_received[0].param, 2u);
    QCOMPARE(m_received[1].text, QStringLiteral("ok"));
    QCOMPARE(m_received[2].param, 5u);
}

void TestChannel::malformedRequestsAnswerZero_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("unknown message") << header(0x0401, 1);
    QTest::newRow("text without its NUL")
        << header(InstanceProtocol::WmCopyData, 1) + utf16(QStringLiteral("ok"), false);
    QTest::newRow("header cut short") << QByteArray("\x4A\0\0", 3);
    QTest::newRow("odd byte after the text") << header(InstanceProtocol::WmCopyData, 1) + QByteArray("o", 1);
    QTest::newRow("oversized text") << header(InstanceProtocol::WmCopyData, 1)
            + QByteArray(int(InstanceProtocol::MaxTextBytes) + 64, 'a');
}

void TestChannel::malformedRequestsAnswerZero()
{
    QFETCH(QByteArray, bytes);
    m_received.clear();
    auto answer = std::async(std::launch::async, [this, bytes] { return rawExchange(m_path, bytes, true); });
    QCOMPARE(await(answer), 0);
    QVERIFY(m_received.isEmpty());
}

void TestChannel::silentClientDoesNotBlock()
{
    // One client connects and says nothing; another is served at once meanwhile.
    auto silent = std::async(std::launch::async, [this] { return rawExchange(m_path, {}, false, 10000); });
    QTest::qWait(50);
    QElapsedTimer timer;
    timer.start();
    auto other
        = std::async(std::launch::async, [this] { return InstanceClient::sendCopyData(m_path, 1, u"ok"); });
    QCOMPARE(await(other), std::optional<std::int32_t>(1));
    QVERIFY(timer.elapsed() < 2000);
    // The silent one is answered 0 once its time is up.
    QCOMPARE(await(silent), 0);
    // A client that connects and goes again is only looking; nothing is dispatched.
    m_received.clear();
    QVERIFY(InstanceClient::isRunning(m_path));
    QTest::qWait(50);
    QVERIFY(m_received.isEmpty());
}

void TestChannel::socketIsPrivate()
{
    struct stat info
    { };
    QCOMPARE(::stat(m_path.c_str(), &info), 0);
    QVERIFY(S_ISSOCK(info.st_mode));
    QCOMPARE(int(info.st_mode & 0777), 0600);
    m_server->close();
    QVERIFY(!InstanceClient::isRunning(m_path));
    QVERIFY(m_server->listen([](const InstanceRequest&) { return 0; }));
    QVERIFY(InstanceClient::isRunning(m_path));
}

void TestChannel::lockIsExclusive()
{
    const std::string lock = toStd(m_home->runtime) + "/LumetraMutex";
    int first = -1, second = -1;
    QCOMPARE(InstanceClient::acquireLock(lock, first), InstanceClient::LockResult::Acquired);
    QCOMPARE(InstanceClient::acquireLock(lock, second), InstanceClient::LockResult::HeldElsewhere);
    QCOMPARE(second, -1);
    ::close(first);
    QCOMPARE(InstanceClient::acquireLock(lock, second), InstanceClient::LockResult::Acquired);
    ::close(second);
    QCOMPARE(InstanceClient::acquireLock("/nonexistent-folder/LumetraMutex", first),
        InstanceClient::LockResult::Failed);
}

void TestChannel::utf8Conversion()
{
    QCOMPARE(InstanceClient::utf8ToUtf16("a\xC3\xA9\xEC\xBA\xA1\xF0\x9F\x98\x80"), std::u16string(u"aé캡😀"));
    // Broken sequences become replacement characters, never a crash or a lost NUL.
    QCOMPARE(InstanceClient::utf8ToUtf16("\xC3"), std::u16string(u"\uFFFD"));
    QCOMPARE(InstanceClient::utf8ToUtf16("\xED\xA0\x80x"), std::u16string(u"\uFFFD\uFFFD\uFFFDx"));
    QCOMPARE(InstanceClient::utf8ToUtf16("\xC0\xAF"), std::u16string(u"\uFFFD\uFFFD"));
}

void TestChannel::commandsAnswered_data()
{
    QTest::addColumn<bool>("copyData"); // else a window message, whose param is `param`
    QTest::addColumn<quint32>("param");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepting"); // the window messages count
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("heard"); // the signal that followed, if any
    const auto capture = QStringLiteral(R"({"command":"capture"})");
    QTest::newRow("capture") << true << 1u << capture << false << 1 << "capture";
    QTest::newRow("about") << true << 1u << QStringLiteral(R"({ "command" : "about" })") << false << 1
                           << "about";
    QTest::newRow("capture with another param") << true << 2u << capture << false << 0 << "";
    QTest::newRow("unknown command") << true << 1u << QStringLiteral(R"({"command":"Capture"})") << false << 0
                                     << "";
    QTest::newRow("command not text") << true << 1u << QStringLiteral(R"({"command":1})") << false << 0 << "";
    QTest::newRow("not JSON") << true << 1u << QStringLiteral("capture") << false << 0 << "";
    QTest::newRow("show") << false << 1u << QString() << true << 0 << "show";
    QTest::newRow("quit") << false << 2u << QString() << true << 0 << "quit";
    QTest::newRow("other window message") << false << 3u << QString() << true << 0 << "";
    // A second copy's show or quit before the program has its icon would leave it with no way back.
    QTest::newRow("show during the start-up") << false << 1u << QString() << false << 0 << "";
    QTest::newRow("quit during the start-up") << false << 2u << QString() << false << 0 << "";
}

void TestChannel::commandsAnswered()
{
    QFETCH(bool, copyData);
    QFETCH(quint32, param);
    QFETCH(QString, text);
    QFETCH(bool, accepting);
    QFETCH(int, answer);
    QFETCH(QString, heard);
    CommandHandler handler;
    if (accepting)
        handler.acceptWindowMessages();
    QStringList heardSignals;
    connect(&handler, &CommandHandler::captureRequested, this,
        [&] { heardSignals.append(QStringLiteral("capture")); });
    connect(&handler, &CommandHandler::aboutRequested, this,
        [&] { heardSignals.append(QStringLiteral("about")); });
    connect(
        &handler, &CommandHandler::showRequested, this, [&] { heardSignals.append(QStringLiteral("show")); });
    connect(
        &handler, &CommandHandler::quitRequested, this, [&] { heardSignals.append(QStringLiteral("quit")); });
    m_server->close();
    QVERIFY(m_server->listen([&](const InstanceRequest& request) { return handler.handle(request); }));
    const std::u16string units = text.toStdU16String();
    auto reply = std::async(std::launch::async, [&] {
        return copyData ? InstanceClient::sendCopyData(m_path, param, units)
                        : InstanceClient::sendUser(m_path, param);
    });
    QCOMPARE(await(reply), std::optional<std::int32_t>(answer));
    QCOMPARE(heardSignals, heard.isEmpty() ? QStringList() : QStringList { heard });
    m_server->close();
}

QTEST_GUILESS_MAIN(TestChannel)
#include "tst_channel.moc"
