#include "Pictures.h"
#include "platform/fake/FakePlatform.h"
#include "save/Save.h"
#include "sharing/Upload.h"
#include "sharing/UploadProgressStrip.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using Reports = QList<std::pair<qint64, qint64>>;
Q_DECLARE_METATYPE(Reports)

// The request the upload makes and how it reads the store's reply, against the in-process fake server.
class TestUpload : public QObject
{
    Q_OBJECT
private slots:
    void bodyIsThePngFileInOnePart();
    void boundariesAreFreshHexadecimal();
    void replyRules_data();
    void replyRules();
    void progressReports_data();
    void progressReports();
    void requestAsTheStoreSeesIt_data();
    void requestAsTheStoreSeesIt();
    void stopAbandonsAWaitingUpload();
    void stripSitsAboveABottomPanel_data();
    void stripSitsAboveABottomPanel();
};

void TestUpload::bodyIsThePngFileInOnePart()
{
    const QImage picture = Pictures::quarters(6, 4);
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("q.png"));
    SaveBitmapPNG(picture, file);
    QFile written(file);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray expected = "--B0UNDARY\r\n"
                                "Content-Disposition: form-data; name=\"file\"; filename=\"lumetra.png\"\r\n"
                                "Content-Type: image/png\r\n"
                                "\r\n"
        + written.readAll() + "\r\n--B0UNDARY--\r\n";
    QCOMPARE(uploadBody(picture, "B0UNDARY"), expected);
}

void TestUpload::boundariesAreFreshHexadecimal()
{
    const QByteArray first = uploadBoundary();
    const QByteArray second = uploadBoundary();
    static const QRegularExpression form(QStringLiteral("^[-A-Za-z]+[0-9A-F]{16}$"));
    QVERIFY2(form.match(QString::fromLatin1(first)).hasMatch(), first.constData());
    QCOMPARE(first.left(first.size() - 16), second.left(second.size() - 16));
    QVERIFY(first != second);
}

void TestUpload::replyRules_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("address");
    const QByteArray plain = R"({"status":"success","url":"http://img.example/a.png"})";
    QTest::newRow("success") << 200 << plain << "http://img.example/a.png";
    QTest::newRow("escaped slashes") << 200
                                     << QByteArray(
                                            R"({"status":"success","url":"https:\/\/img.example\/b.png"})")
                                     << "https://img.example/b.png";
    QTest::newRow("escaped quote does not end the address")
        << 200 << QByteArray(R"({"status":"success","url":"http://img.example/a\"b.png"})")
        << "http://img.example/a\"b.png";
    QTest::newRow("thumburl comes first and wins")
        << 200
        << QByteArray(
               R"({"status":"success","thumburl":"http://img.example/t.png","url":"http://img.example/f.png"})")
        << "http://img.example/t.png";
    QTest::newRow("key in capitals") << 200
                                     << QByteArray(R"({"status":"success","URL":"http://img.example/c.png"})")
                                     << "http://img.example/c.png";
    QTest::newRow("marker in other letter case")
        << 200 << QByteArray(R"({"Status":"Success","url":"http://img.example/a.png"})") << "";
    QTest::newRow("no marker") << 200 << QByteArray(R"({"status":"error","url":"http://img.example/a.png"})")
                               << "";
    QTest::newRow("marker with spaces")
        << 200 << QByteArray(R"({"status": "success", "url":"http://img.example/a.png"})") << "";
    QTest::newRow("no closing quote")
        << 200 << QByteArray(R"({"status":"success","url":"http://img.example/a.png)") << "";
    QTest::newRow("no address") << 200 << QByteArray(R"({"status":"success"})") << "";
    QTest::newRow("bad unicode escape")
        << 200 << QByteArray(R"({"status":"success","url":"http://img.example/\uZZZZ"})") << "";
    QTest::newRow("404") << 404 << plain << "";
    QTest::newRow("500") << 500 << plain << "";
    QTest::newRow("file address") << 200 << QByteArray(R"({"status":"success","url":"file:///etc/passwd"})")
                                  << "";
    QTest::newRow("script address") << 200
                                    << QByteArray(R"({"status":"success","url":"javascript:alert(1);"})")
                                    << "";
    QTest::newRow("program address") << 200 << QByteArray(R"({"status":"success","url":"/usr/bin/xterm"})")
                                     << "";
    QTest::newRow("http without host")
        << 200 << QByteArray(R"({"status":"success","url":"http:///a.png"})") << "";
}

void TestUpload::replyRules()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    QFETCH(QString, address);
    QCOMPARE(uploadReplyAddress(status, reply), address);
}

void TestUpload::progressReports_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("room");
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<Reports>("reports");
    QTest::newRow("exactly two pieces") << 2048 << 65536 << QList<int> { 1024, 1024 }
                                        << Reports { { 0, 2048 }, { 1024, 2048 }, { 2048, 2048 } };
    QTest::newRow("one byte over") << 1025 << 65536 << QList<int> { 1024, 1 }
                                   << Reports { { 0, 1025 }, { 1024, 1025 }, { 1025, 1025 } };
    QTest::newRow("one byte") << 1 << 65536 << QList<int> { 1 } << Reports { { 0, 1 }, { 1, 1 } };
    QTest::newRow("less room than a piece")
        << 1500 << 600 << QList<int> { 600, 600, 300 }
        << Reports { { 0, 1500 }, { 600, 1500 }, { 1200, 1500 }, { 1500, 1500 } };
}

void TestUpload::progressReports()
{
    QFETCH(int, size);
    QFETCH(int, room);
    QFETCH(QList<int>, pieces);
    QFETCH(Reports, reports);
    QByteArray body(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        body[i] = char(i * 7);
    Reports seen;
    UploadPieces source(body, [&seen](qint64 position, qint64 total) { seen.append({ position, total }); });
    QByteArray sent;
    QList<int> given;
    QByteArray buffer(room, Qt::Uninitialized);
    while (const qint64 piece = source.read(buffer.data(), room)) {
        given.append(int(piece));
        sent.append(buffer.constData(), piece);
    }
    // Asked again at the end, it stays at the end and reports nothing more.
    QCOMPARE(source.read(buffer.data(), room), 0);
    QCOMPARE(given, pieces);
    QCOMPARE(seen, reports);
    QCOMPARE(sent, body);
}

void TestUpload::requestAsTheStoreSeesIt_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("hostLine");
    QTest::newRow("host alone") << "img.example"
                                << "http://img.example/image" << QByteArray("Host: img.example:80");
    QTest::newRow("host and port") << "127.0.0.1:8123"
                                   << "http://127.0.0.1:8123/image" << QByteArray("Host: 127.0.0.1:8123");
    QTest::newRow("IPv6 and port") << "[::1]:8123"
                                   << "http://[::1]:8123/image" << QByteArray("Host: [::1]:8123");
    QTest::newRow("a path is not a host") << "img.example/upload"
                                          << "" << QByteArray();
    QTest::newRow("a scheme is not a host") << "http://img.example"
                                            << "" << QByteArray();
    QTest::newRow("a user is not a host") << "me@img.example"
                                          << "" << QByteArray();
}

void TestUpload::requestAsTheStoreSeesIt()
{
    QFETCH(QString, host);
    QFETCH(QString, url);
    QFETCH(QByteArray, hostLine);
    FakeHttpClient http;
    http.respond = [](const FakeHttpClient::Seen&) {
        return HttpReply { {}, 200, R"({"status":"success","url":"http:\/\/img.example\/x.png"})" };
    };
    const QImage picture = Pictures::screen(64, 48);
    Reports reports;
    QString address = QStringLiteral("stale");
    uploadImage(
        http, host, picture,
        [&](qint64 p, qint64 t) {
            reports.append({ p, t });
        },
        address);
    const QList<FakeHttpClient::Seen> requests = http.requests();
    if (url.isEmpty()) {
        QVERIFY(requests.isEmpty());
        QVERIFY(address.isEmpty());
        return;
    }
    QCOMPARE(address, QStringLiteral("http://img.example/x.png"));
    QCOMPARE(requests.size(), 1);
    const HttpRequest& request = requests[0].request;
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.url.toString(), url);
    QVERIFY(request.http10);
    QCOMPARE(request.userAgent, QByteArray("Lumetra Uploader"));
    QCOMPARE(request.headers.size(), 2);
    QCOMPARE(request.headers[0], hostLine);
    QVERIFY(request.headers[1].startsWith("Content-Type: multipart/form-data; boundary="));
    const QByteArray boundary = request.headers[1].mid(request.headers[1].indexOf('=') + 1);
    QCOMPARE(requests[0].body, uploadBody(picture, boundary));
    QCOMPARE(request.bodySize, requests[0].body.size());
    QCOMPARE(reports.last(), std::make_pair(request.bodySize, request.bodySize));
    QCOMPARE(reports.size(), int((request.bodySize + 1023) / 1024) + 1);
}

void TestUpload::stopAbandonsAWaitingUpload()
{
    FakeHttpClient http;
    http.hold();
    std::stop_source stop;
    QString address = QStringLiteral("stale");
    std::thread worker([&] {
        uploadImage(
            http, QStringLiteral("img.example"), Pictures::screen(64, 48), {}, address, stop.get_token());
    });
    QTRY_COMPARE(http.requests().size(), 1);
    stop.request_stop();
    worker.join();
    QVERIFY(address.isEmpty());
}

void TestUpload::stripSitsAboveABottomPanel_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QRect>("strip");
    const QRect screen(0, 0, 1920, 1080);
    QTest::newRow("no panel") << screen << screen << QRect(0, 1050, 1920, 30);
    QTest::newRow("panel at the bottom") << screen << QRect(0, 0, 1920, 1040) << QRect(0, 1010, 1920, 30);
    QTest::newRow("panel at the top") << screen << QRect(0, 40, 1920, 1040) << QRect(0, 1050, 1920, 30);
    QTest::newRow("panel on the left") << screen << QRect(60, 0, 1860, 1080) << QRect(0, 1050, 1920, 30);
    QTest::newRow("panel on the right") << screen << QRect(0, 0, 1860, 1080) << QRect(0, 1050, 1920, 30);
    QTest::newRow("primary right of another monitor")
        << QRect(1280, 0, 1920, 1080) << QRect(1280, 0, 1920, 1048) << QRect(1280, 1018, 1920, 30);
    QTest::newRow("no work area known") << screen << QRect() << QRect(0, 1050, 1920, 30);
}

void TestUpload::stripSitsAboveABottomPanel()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, workArea);
    QFETCH(QRect, strip);
    QCOMPARE(UploadProgressStrip::placement(screen, workArea), strip);
}

QTEST_GUILESS_MAIN(TestUpload)
#include "tst_upload.moc"
