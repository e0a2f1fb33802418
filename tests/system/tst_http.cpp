#include "Pictures.h"
#include "ScriptedServer.h"
#include "SmallMount.h"
#include "platform/curl/HelperHttpClient.h"
#include "platform/curl/LazyHttpClient.h"
#include "save/Save.h"
#include "sharing/Upload.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

const QString Store = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra-store");

QByteArray pngBytes(const QImage& picture)
{
    QTemporaryDir folder;
    const QString name = folder.filePath(QStringLiteral("p.png"));
    SaveBitmapPNG(picture, name);
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The upload through the program's own HTTP module and through the helper process that the running program
// uses, against the image store it ships and against servers that fail in the ways servers do.
class TestHttp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void storeKeepsTheUploadedFile_data();
    void storeKeepsTheUploadedFile();
    void aCaptureOf8000Square();
    void requestOnTheWire();
    void failingServers_data();
    void failingServers();
    void stopEndsAWaitAtOnce_data();
    void stopEndsAWaitAtOnce();
    void proxyFromTheEnvironment();
    void storeRefuses_data();
    void storeRefuses();
    void storeWritesWholeOrNothing();

private:
    // Starts the store on a free port over `folder`; empty when it does not come up.
    QString startStore(const QString& folder, const QStringList& extra = {});
    QString upload(const QString& host, const QImage& picture, const UploadLimits& limits = {},
        std::stop_source* stop = nullptr, HttpClient* client = nullptr);
    // The client a data row names.
    HttpClient& client();

    LazyHttpClient m_http;
    HelperHttpClient m_helper;
    std::unique_ptr<QProcess> m_store;
};

void TestHttp::initTestCase()
{
    // The tests talk to 127.0.0.1 directly, whatever the machine's proxy.
    for (const char* name :
        { "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY" })
        qunsetenv(name);
}

void TestHttp::cleanup()
{
    if (m_store) {
        m_store->kill();
        m_store->waitForFinished();
        m_store.reset();
    }
}

QString TestHttp::startStore(const QString& folder, const QStringList& extra)
{
    m_store = std::make_unique<QProcess>();
    m_store->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_store->start(Store,
        QStringList {
            QStringLiteral("--folder"), folder, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0") }
            + extra);
    if (!m_store->waitForReadyRead(20000))
        return {};
    static const QRegularExpression port(QStringLiteral("listening on 127.0.0.1 port (\\d+)"));
    const auto match = port.match(QString::fromLatin1(m_store->readLine()));
    return match.hasMatch() ? QStringLiteral("127.0.0.1:") + match.captured(1) : QString();
}

HttpClient& TestHttp::client()
{
    QFETCH(bool, helper);
    return helper ? static_cast<HttpClient&>(m_helper) : m_http;
}

QString TestHttp::upload(const QString& host, const QImage& picture, const UploadLimits& limits,
    std::stop_source* stop, HttpClient* client)
{
    QString address = QStringLiteral("stale");
    std::atomic<bool> done = false;
    std::jthread worker([&] {
        uploadImage(client ? *client : m_http, host, picture, {}, address,
            stop ? stop->get_token() : std::stop_token(), limits);
        done = true;
    });
    // The scripted servers live in this thread's event loop.
    while (!done)
        QTest::qWait(5);
    return address;
}

void TestHttp::storeKeepsTheUploadedFile_data()
{
    QTest::addColumn<bool>("helper");
    QTest::newRow("in the program") << false;
    QTest::newRow("in the helper") << true;
}

void TestHttp::storeKeepsTheUploadedFile()
{
    HttpClient& http = client();
    QTemporaryDir folder;
    const QString host = startStore(folder.path());
    QVERIFY(!host.isEmpty());
    const QImage picture = Pictures::screen(640, 480);
    const QString address = upload(host, picture, {}, nullptr, &http);
    static const QRegularExpression form(
        QStringLiteral("^http://127\\.0\\.0\\.1:\\d+/([0-9a-f]{32}\\.png)$"));
    const auto match = form.match(address);
    QVERIFY2(match.hasMatch(), qPrintable(address));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList { match.captured(1) });
    QFile stored(folder.filePath(match.captured(1)));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QByteArray bytes = stored.readAll();
    QCOMPARE(bytes, pngBytes(picture));

    // Served back at the address it gave.
    HttpRequest get;
    get.url = QUrl(address);
    const HttpReply reply = http.perform(get);
    QVERIFY2(reply.completed(), qPrintable(reply.error));
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, bytes);
}

void TestHttp::aCaptureOf8000Square()
{
    QTemporaryDir folder;
    const QString host = startStore(folder.path());
    QVERIFY(!host.isEmpty());
    const QString address = upload(host, Pictures::screen(8000, 8000));
    QVERIFY2(address.startsWith(QStringLiteral("http://")), qPrintable(address));
    const QStringList files = QDir(folder.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QCOMPARE(QImageReader(folder.filePath(files[0])).size(), QSize(8000, 8000));
}

void TestHttp::requestOnTheWire()
{
    ScriptedServer server(ScriptedServer::Mode::Answer,
        ScriptedServer::reply(200, R"({"status":"success","url":"http:\/\/img.example\/a.png"})"));
    const QImage picture = Pictures::quarters(40, 30);
    QCOMPARE(upload(server.host(), picture), QStringLiteral("http://img.example/a.png"));
    const qsizetype end = server.request.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = server.request.left(end).split('\n');
    QCOMPARE(lines.value(0).trimmed(), QByteArray("POST /image HTTP/1.0"));
    auto header = [&lines](const QByteArray& name) {
        for (const QByteArray& line : lines)
            if (line.startsWith(name + ": "))
                return line.mid(name.size() + 2).trimmed();
        return QByteArray();
    };
    QCOMPARE(header("Host"), server.host().toLatin1());
    QCOMPARE(header("User-Agent"), QByteArray("Lumetra Uploader"));
    const QByteArray type = header("Content-Type");
    QVERIFY(type.startsWith("multipart/form-data; boundary="));
    const QByteArray body = server.request.mid(end + 4);
    QCOMPARE(header("Content-Length"), QByteArray::number(body.size()));
    QCOMPARE(body, uploadBody(picture, type.mid(type.indexOf('=') + 1)));
}

void TestHttp::failingServers_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("reply");
    using Mode = ScriptedServer::Mode;
    QTest::newRow("connection refused") << -1 << QByteArray();
    QTest::newRow("never answers") << int(Mode::Silent) << QByteArray();
    QTest::newRow("hangs up") << int(Mode::Hangup) << QByteArray();
    QTest::newRow("404") << int(Mode::Answer)
                         << ScriptedServer::reply(404, R"({"status":"success","url":"http://a/b.png"})");
    QTest::newRow("500") << int(Mode::Answer) << ScriptedServer::reply(500, "oops");
    QTest::newRow("200 without the marker")
        << int(Mode::Answer) << ScriptedServer::reply(200, R"({"url":"http://a/b.png"})");
    QTest::newRow("address without its closing quote")
        << int(Mode::Answer) << ScriptedServer::reply(200, R"({"status":"success","url":"http://a/b.png)");
    QTest::newRow("a file address") << int(
        Mode::Answer) << ScriptedServer::reply(200, R"({"status":"success","url":"file:///etc/passwd"})");
    QTest::newRow("a reply of 100 MB") << int(Mode::Huge) << QByteArray();
}

void TestHttp::failingServers()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, reply);
    QString host;
    std::unique_ptr<ScriptedServer> server;
    if (mode < 0) {
        QTcpServer closed;
        closed.listen(QHostAddress::LocalHost);
        host = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
    } else {
        server = std::make_unique<ScriptedServer>(ScriptedServer::Mode(mode), reply);
        host = server->host();
    }
    UploadLimits limits;
    limits.stall = std::chrono::milliseconds(1000);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(upload(host, Pictures::quarters(40, 30), limits), QString());
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
}

void TestHttp::stopEndsAWaitAtOnce_data()
{
    storeKeepsTheUploadedFile_data();
}

void TestHttp::stopEndsAWaitAtOnce()
{
    HttpClient& http = client();
    ScriptedServer server(ScriptedServer::Mode::Silent);
    std::stop_source stop;
    QElapsedTimer timer;
    QTimer::singleShot(1000, [&] {
        timer.start();
        stop.request_stop();
    });
    QCOMPARE(upload(server.host(), Pictures::quarters(40, 30), {}, &stop, &http), QString());
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(server.request.startsWith("POST /image"));
}

void TestHttp::proxyFromTheEnvironment()
{
    ScriptedServer proxy(ScriptedServer::Mode::Answer,
        ScriptedServer::reply(200, R"({"status":"success","url":"http://img.example/p.png"})"));
    qputenv("http_proxy", "http://" + proxy.host().toLatin1());
    const QString address = upload(QStringLiteral("img.invalid:8123"), Pictures::quarters(40, 30));
    qunsetenv("http_proxy");
    QCOMPARE(address, QStringLiteral("http://img.example/p.png"));
    QVERIFY2(proxy.request.startsWith("POST http://img.invalid:8123/image HTTP/1.0\r\n"),
        proxy.request.left(80).constData());
}

void TestHttp::storeRefuses_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    const QByteArray png = pngBytes(Pictures::quarters(8, 8));
    auto post = [](const QByteArray& part, const QByteArray& name = "file") {
        const QByteArray body = "--XX\r\nContent-Disposition: form-data; name=\"" + name
            + "\"; filename=\"a.png\"\r\nContent-Type: image/png\r\n\r\n" + part + "\r\n--XX--\r\n";
        return "POST /image HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=XX\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    };
    QTest::newRow("not a PNG") << post("GIF89a and then some bytes that are not a picture") << 415;
    QTest::newRow("a PNG cut short") << post(png.left(png.size() - 20)) << 415;
    QTest::newRow("no part named file") << post(png, "picture") << 400;
    QTest::newRow("larger than the limit, refused before the body") << QByteArray(
        "POST /image HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=XX\r\n"
        "Content-Length: 5000000\r\n\r\n") << 413;
    QTest::newRow("no length") << QByteArray(
        "POST /image HTTP/1.0\r\nContent-Type: multipart/form-data; boundary=XX\r\n\r\n")
                               << 411;
    QTest::newRow("a path out of the folder") << QByteArray("GET /../../etc/passwd HTTP/1.0\r\n\r\n") << 404;
    QTest::newRow("an image that is not there")
        << QByteArray("GET /0123456789abcdef0123456789abcdef.png HTTP/1.0\r\n\r\n") << 404;
    QTest::newRow("another method") << QByteArray("DELETE /image HTTP/1.0\r\n\r\n") << 405;
}

void TestHttp::storeRefuses()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    QTemporaryDir folder;
    const QString host
        = startStore(folder.path(), { QStringLiteral("--max-size"), QStringLiteral("1000000") });
    QVERIFY(!host.isEmpty());
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(host.section(QLatin1Char(':'), 1).toUInt()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write(request);
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    QVERIFY2(reply.startsWith("HTTP/1.0 " + QByteArray::number(status) + ' '), reply.left(60).constData());
    QVERIFY(reply.contains(R"("status":"error")"));
    QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

void TestHttp::storeWritesWholeOrNothing()
{
    QTemporaryDir folder;
    // Room for less than the picture: the write fails halfway.
    SmallMount full(folder.path(), "size=64k");
    if (!full.mounted())
        QSKIP("cannot mount a small file system here");
    const QString host = startStore(folder.path());
    QVERIFY(!host.isEmpty());
    QCOMPARE(upload(host, Pictures::photo(400, 300)), QString());
    QVERIFY(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    m_store->kill();
    m_store->waitForFinished();
}

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
