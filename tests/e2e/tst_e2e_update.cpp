#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"
#include "platform/x11/X11Screen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSettings>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");
const QByteArray Offer
    = R"({"update":"https:\/\/dl.example\/lumetra-setup","notify":"https://news.example/page",)"
      R"("info":{"style":"hold","text":"Ask me again in a week"}})";

// An HTTPS server on 127.0.0.1 that answers every request alike and keeps the "User-" header lines of each,
// in the order they came.
class UpdateServer : public QSslServer
{
public:
    UpdateServer(const QString& folder, const QString& name, QByteArray body) : m_body(std::move(body))
    {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(
            QSslCertificate::fromPath(folder + QLatin1Char('/') + name + ".pem").value(0));
        QFile key(folder + QLatin1Char('/') + name + ".key");
        key.open(QIODevice::ReadOnly);
        tls.setPrivateKey(QSslKey(&key, QSsl::Rsa));
        setSslConfiguration(tls);
        connect(this, &QSslServer::startedEncryptionHandshake, this, [this] { ++handshakes; });
        connect(this, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (auto socket = qobject_cast<QSslSocket*>(nextPendingConnection()))
                connect(socket, &QSslSocket::readyRead, socket, [this, socket] { read(socket); });
        });
        listen(QHostAddress::LocalHost);
    }

    QString address() const { return QStringLiteral("https://127.0.0.1:%1").arg(serverPort()); }

    int handshakes = 0;
    QList<QList<QByteArray>> requests;

private:
    void read(QSslSocket* socket)
    {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        QList<QByteArray> lines;
        for (const QByteArray& line : buffer.left(buffer.indexOf("\r\n\r\n")).split('\n'))
            if (line.startsWith("User-"))
                lines.append(line.trimmed());
        requests.append(lines);
        m_buffers.remove(socket);
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
            + QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n" + m_body);
        socket->disconnectFromHost();
    }

    QByteArray m_body;
    QHash<QSslSocket*, QByteArray> m_buffers;
};

// A service that is down: every connection is dropped the moment it arrives.
class DownServer : public QTcpServer
{
public:
    DownServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                ++connections;
                socket->abort();
                socket->deleteLater();
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString address() const { return QStringLiteral("https://127.0.0.1:%1").arg(serverPort()); }
    int connections = 0;
};

} // namespace

// The update check of the built program against HTTPS servers on 127.0.0.1 whose certificates come from a
// private authority made for the test; a desktop opener records what the program asks to open.
class TestE2EUpdate : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EUpdate(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void offerAskedThenStatusBar_data();
    void offerAskedThenStatusBar();
    void serviceDownSixTimesShowsNothing();
    void quitDuringTheWaitsIsImmediate();
    void certificateForAnotherNameIsRefused();

private:
    void start(const QString& endpoint, const QString& interval);
    // The main window, and the program's other visible windows.
    QString mainWindow() const;
    QStringList boxes() const;
    QString xdotool(const QStringList& arguments) const;
    QStringList opened() const;
    QImage picture(const QRect& area, const QString& name);
    std::string socketPath() const { return m_home->runtime.toStdString() + "/TFrmLumetra"; }

    XDesk& m_desk;
    X11Screen m_screen;
    QTemporaryDir m_certificates;
    QTemporaryDir m_bin;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_program;
};

void TestE2EUpdate::initTestCase()
{
    QString error;
    for (auto [tool, package] : { std::pair { "xdotool", "xdotool" }, std::pair { "xwininfo", "x11-utils" },
             std::pair { "openssl", "openssl" } })
        QVERIFY2(haveTool(QLatin1String(tool), QLatin1String(package), &error), qPrintable(error));
    QVERIFY(m_screen.open(m_desk.display().toLatin1().constData()));

    // A certificate authority, a server certificate for this machine and one for another name.
    const QString folder = m_certificates.path();
    auto openssl = [&folder](const QStringList& arguments) {
        QProcess tool;
        tool.setWorkingDirectory(folder);
        tool.start(QStringLiteral("openssl"), arguments);
        return tool.waitForFinished(30000) && tool.exitCode() == 0;
    };
    QVERIFY(openssl(QStringLiteral("req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 "
                                   "-subj /CN=Lumetra-Test-CA")
                        .split(QLatin1Char(' '))));
    for (auto [name, names] :
        { std::pair { "local", "IP:127.0.0.1,DNS:localhost" }, std::pair { "other", "DNS:other.example" } }) {
        QFile extension(folder + QLatin1Char('/') + name + ".ext");
        QVERIFY(extension.open(QIODevice::WriteOnly));
        extension.write(QByteArray("subjectAltName=") + names + '\n');
        extension.close();
        const QString base = QLatin1String(name);
        QVERIFY(openssl({ "req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out",
            base + ".csr", "-subj", "/CN=" + QString::fromLatin1(names).section(QLatin1Char(':'), -1) }));
        QVERIFY(openssl({ "x509", "-req", "-in", base + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", base + ".pem", "-days", "2", "-extfile", base + ".ext" }));
    }

    QFile opener(m_bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$LUMETRA_TEST_OPENED\"\n");
    opener.close();
    opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestE2EUpdate::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2EUpdate::cleanup()
{
    if (QTest::currentTestFailed()) {
        QFile log(m_home->root + QStringLiteral("/lumetra.log"));
        if (log.open(QIODevice::ReadOnly))
            qWarning("program output:\n%s", log.readAll().constData());
    }
    if (m_program && m_program->state() != QProcess::NotRunning) {
        InstanceClient::sendUser(socketPath(), 2);
        if (!m_program->waitForFinished(10000))
            m_program->kill();
        m_program->waitForFinished();
    }
    m_program.reset();
    m_home.reset();
}

void TestE2EUpdate::start(const QString& endpoint, const QString& interval)
{
    QDir().mkpath(m_home->config + QStringLiteral("/Brenholt"));
    QFile store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("[General]\nlanguage=en\n");
    store.close();
    QProcessEnvironment environment = m_home->environment(m_desk.environment());
    environment.insert(
        QStringLiteral("PATH"), m_bin.path() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("LUMETRA_UPDATE_URL"), endpoint);
    environment.insert(QStringLiteral("LUMETRA_UPDATE_CA_FILE"), m_certificates.filePath("ca.pem"));
    if (!interval.isEmpty())
        environment.insert(QStringLiteral("LUMETRA_UPDATE_INTERVAL_MS"), interval);
    environment.insert(QStringLiteral("LUMETRA_TEST_OPENED"), m_home->root + QStringLiteral("/opened"));
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(environment);
    m_program->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_program->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_program->start(Program, {});
    QTRY_VERIFY_WITH_TIMEOUT(InstanceClient::isRunning(socketPath()), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!mainWindow().isEmpty(), 20000);
}

QString TestE2EUpdate::xdotool(const QStringList& arguments) const
{
    QString output;
    m_desk.run(QStringLiteral("xdotool"), arguments, &output);
    return output.trimmed();
}

QString TestE2EUpdate::mainWindow() const
{
    return xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
        QStringLiteral("^TFrmLumetra$") });
}

QStringList TestE2EUpdate::boxes() const
{
    return xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                       QStringLiteral("^lumetra$") })
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList TestE2EUpdate::opened() const
{
    QFile file(m_home->root + QStringLiteral("/opened"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// What the screen shows there; kept in the folder LUMETRA_SHOTS names, for people looking at the windows.
QImage TestE2EUpdate::picture(const QRect& area, const QString& name)
{
    QImage canvas(area.size(), QImage::Format_RGB32);
    if (!m_screen.copyArea(area, canvas))
        return {};
    const QString folder = qEnvironmentVariable("LUMETRA_SHOTS");
    if (!folder.isEmpty())
        canvas.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    return canvas;
}

void TestE2EUpdate::offerAskedThenStatusBar_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("declined") << false;
    QTest::newRow("accepted") << true;
}

void TestE2EUpdate::offerAskedThenStatusBar()
{
    QFETCH(bool, accept);
    UpdateServer server(m_certificates.path(), QStringLiteral("local"), Offer);
    start(server.address(), {});
    const QString main = mainWindow();
    const QRect before = m_desk.geometry(main);

    // The question comes with the hold box; ticked, whatever the answer, the hold notice follows.
    QTRY_COMPARE_WITH_TIMEOUT(boxes().size(), 1, 20000);
    const QString box = boxes().value(0);
    xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box });
    // The check box's caption, on the last row of the box.
    const QRect question = m_desk.geometry(box);
    xdotool({ QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(question.left() + 60),
        QString::number(question.bottom() - 30), QStringLiteral("click"), QStringLiteral("1") });
    QTest::qWait(300);
    picture(question, QStringLiteral("update-question"));
    // Real key presses: events sent to the window alone were at times taken as the other answer.
    xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box, QStringLiteral("key"),
        accept ? QStringLiteral("Return") : QStringLiteral("Escape") });

    // The four headers in their order, the id the one kept in the maker's store.
    QTRY_COMPARE_WITH_TIMEOUT(server.requests.size(), 2, 20000);
    const QList<QByteArray> asked = server.requests.first();
    QCOMPARE(asked.size(), 4);
    QVERIFY2(QRegularExpression(QStringLiteral("^User-Version: \\d+\\.\\d+\\.\\d+\\.\\d+$"))
                 .match(QString::fromLatin1(asked[0]))
                 .hasMatch(),
        asked[0].constData());
    QCOMPARE(asked[1], QByteArray("User-Language: en"));
    QCOMPARE(asked[2], QByteArray("User-Debug: false"));
    const QSettings maker(m_home->config + QStringLiteral("/Brenholt.conf"), QSettings::IniFormat);
    const QString id = maker.value(QStringLiteral("QUID")).toString();
    QCOMPARE(id.size(), 32);
    QCOMPARE(asked[3], "User-Union: " + id.toLatin1());
    QCOMPARE(server.requests.last(), (QList<QByteArray> { asked[0], "User-Command: hold" }));

    if (accept) {
        // The download opens and the program ends by itself.
        // It may have ended while the requests were awaited.
        QVERIFY(m_program->state() == QProcess::NotRunning || m_program->waitForFinished(20000));
        QCOMPARE(m_program->exitCode(), 0);
        QCOMPARE(opened(), QStringList { QStringLiteral("https://dl.example/lumetra-setup") });
        return;
    }
    // Declined: the red bar below the window, which grows by its height; a click opens the notice.
    QTRY_COMPARE(m_desk.geometry(main).height(), before.height() + 28);
    const QRect grown = m_desk.geometry(main);
    const QImage bar
        = picture(grown, QStringLiteral("update-status-bar")).copy(0, before.height(), grown.width(), 28);
    int red = 0;
    for (int y = 0; y < bar.height(); ++y)
        for (int x = 0; x < bar.width(); ++x)
            red += bar.pixel(x, y) == qRgb(255, 0, 0) ? 1 : 0;
    QVERIFY2(red > 20, qPrintable(QString::number(red)));
    QVERIFY(opened().isEmpty());
    xdotool({ QStringLiteral("mousemove"), QString::number(grown.center().x()),
        QString::number(grown.bottom() - 14), QStringLiteral("click"), QStringLiteral("1") });
    QTRY_COMPARE(opened(), QStringList { QStringLiteral("https://news.example/page") });
}

void TestE2EUpdate::serviceDownSixTimesShowsNothing()
{
    DownServer down;
    start(down.address(), QStringLiteral("100"));
    const QString main = mainWindow();
    const QRect before = m_desk.geometry(main);
    QTRY_COMPARE_WITH_TIMEOUT(down.connections, 6, 20000);
    // Six and no more; no question, no bar.
    QTest::qWait(1000);
    QCOMPARE(down.connections, 6);
    QVERIFY(boxes().isEmpty());
    QCOMPARE(m_desk.geometry(main), before);
    QVERIFY(opened().isEmpty());
}

void TestE2EUpdate::quitDuringTheWaitsIsImmediate()
{
    DownServer down;
    // The ten seconds between attempts, as a user's program waits them.
    start(down.address(), {});
    QTRY_COMPARE_WITH_TIMEOUT(down.connections, 1, 20000);
    QTest::qWait(500);
    QElapsedTimer quit;
    quit.start();
    InstanceClient::sendUser(socketPath(), 2);
    QVERIFY(m_program->waitForFinished(10000));
    const qint64 took = quit.elapsed();
    qInfo("quit during the waits ended the program in %lld ms", took);
    QCOMPARE(m_program->exitCode(), 0);
    QCOMPARE(down.connections, 1);
    // The sanitizers' checks at exit take their share here; the bench times a release build.
    QVERIFY2(took < 3000, qPrintable(QString::number(took)));
}

void TestE2EUpdate::certificateForAnotherNameIsRefused()
{
    UpdateServer server(m_certificates.path(), QStringLiteral("other"), Offer);
    start(server.address(), QStringLiteral("100"));
    const QString main = mainWindow();
    const QRect before = m_desk.geometry(main);
    QTRY_COMPARE_WITH_TIMEOUT(server.handshakes, 6, 20000);
    QTest::qWait(1000);
    QVERIFY(server.requests.isEmpty());
    QVERIFY(boxes().isEmpty());
    QCOMPARE(m_desk.geometry(main), before);
}

LUMETRA_X11_TEST_MAIN(TestE2EUpdate, XDesk::Server::Xvfb, true)
#include "tst_e2e_update.moc"
