#include "PictureWindow.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"
#include "platform/InstanceProtocol.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");

// Text and a smooth photo-like field, as a real screen has.
QImage screenPicture()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb((x / 4) & 0xFF, (y / 3) & 0xFF, ((x ^ y) >> 2) & 0xFF));
    QPainter painter(&image);
    painter.fillRect(40, 40, 800, 400, Qt::white);
    painter.setPen(Qt::black);
    for (int line = 0; line < 20; ++line)
        painter.drawText(50, 60 + line * 18, QStringLiteral("Line %1 of some text on the screen").arg(line));
    return image;
}

// Sends bytes as a misbehaving client; the answer, -1 when closed without one.
int rawExchange(const std::string& path, const QByteArray& bytes, bool closeSending)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -3;
    }
    (void)::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    if (closeSending)
        ::shutdown(fd, SHUT_WR);
    timeval timeout { 10, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    unsigned char answer[4];
    const ssize_t n = ::recv(fd, answer, 4, MSG_WAITALL);
    ::close(fd);
    return n == 4 ? int(answer[0] | answer[1] << 8 | answer[2] << 16 | answer[3] << 24) : -1;
}

QByteArray header(quint32 message, quint32 param)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian(message, bytes.data());
    qToLittleEndian(param, bytes.data() + 4);
    return bytes;
}

} // namespace

class TestE2EInstance : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EInstance(XDesk& desk) : m_desk(desk) { }

private slots:
    void init();
    void cleanup();
    void secondCopyBringsTheFirstForward();
    void secondCopyWithStartDoesNothing();
    void uninstEndsTheRunningCopy();
    void uninstWithoutARunningCopyReturnsAtOnce();
    void lockWithoutSocketExitsQuietly();
    void launcherLoadsNoQt();
    void commandTable();
    void badClientsGetZeroAndDoNotBlock();
    void capturesTheScreenIntoNumberedFiles();

private:
    std::unique_ptr<QProcess> start(const QStringList& arguments);
    bool waitRunning(int timeoutMs = 30000);
    int runCopy(const QStringList& arguments, QString* output = nullptr, qint64* elapsedMs = nullptr);
    bool windowVisible();
    std::string socketPath() const { return m_home->runtime.toStdString() + "/TFrmLumetra"; }

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_first;
};

void TestE2EInstance::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2EInstance::cleanup()
{
    if (m_first && m_first->state() != QProcess::NotRunning) {
        runCopy({ QStringLiteral("/uninst") });
        if (!m_first->waitForFinished(5000))
            m_first->kill();
        m_first->waitForFinished();
    }
    m_first.reset();
    m_home.reset();
}

std::unique_ptr<QProcess> TestE2EInstance::start(const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_home->environment(m_desk.environment()));
    process->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    process->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    process->start(Program, arguments);
    return process;
}

bool TestE2EInstance::waitRunning(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (InstanceClient::isRunning(socketPath()))
            return true;
        QTest::qWait(20);
    }
    return false;
}

int TestE2EInstance::runCopy(const QStringList& arguments, QString* output, qint64* elapsedMs)
{
    QProcess process;
    process.setProcessEnvironment(m_home->environment(m_desk.environment()));
    QElapsedTimer timer;
    timer.start();
    process.start(Program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (elapsedMs)
        *elapsedMs = timer.elapsed();
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return process.exitCode();
}

bool TestE2EInstance::windowVisible()
{
    QString output;
    m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
            QStringLiteral("^TFrmLumetra$") },
        &output);
    return !output.trimmed().isEmpty();
}

void TestE2EInstance::secondCopyBringsTheFirstForward()
{
    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    QVERIFY(!windowVisible());
    qint64 elapsed = 0;
    QCOMPARE(runCopy({}, nullptr, &elapsed), 0);
    QTRY_VERIFY(windowVisible());
    QCOMPARE(m_first->state(), QProcess::Running);
}

void TestE2EInstance::secondCopyWithStartDoesNothing()
{
    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    QCOMPARE(runCopy({ QStringLiteral("/start") }), 0);
    QTest::qWait(500);
    QVERIFY(!windowVisible());
    QCOMPARE(m_first->state(), QProcess::Running);
}

void TestE2EInstance::uninstEndsTheRunningCopy()
{
    m_first = start({});
    QVERIFY(waitRunning());
    QTRY_VERIFY(windowVisible());
    qint64 elapsed = 0;
    QCOMPARE(runCopy({ QStringLiteral("/uninst") }, nullptr, &elapsed), 0);
    QVERIFY2(elapsed < 1500, qPrintable(QString::number(elapsed)));
    QVERIFY(m_first->waitForFinished(3000));
    QCOMPARE(m_first->exitCode(), 0);
    QVERIFY(!InstanceClient::isRunning(socketPath()));
}

void TestE2EInstance::uninstWithoutARunningCopyReturnsAtOnce()
{
    qint64 elapsed = 0;
    QCOMPARE(runCopy({ QStringLiteral("/uninst") }, nullptr, &elapsed), 0);
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    // And it started no copy of its own.
    QVERIFY(!InstanceClient::isRunning(socketPath()));
}

void TestE2EInstance::lockWithoutSocketExitsQuietly()
{
    // A copy that holds the lock but does not answer yet (still starting): the new one just goes.
    int lock = -1;
    QCOMPARE(InstanceClient::acquireLock(m_home->runtime.toStdString() + "/LumetraMutex", lock),
        InstanceClient::LockResult::Acquired);
    QString output;
    qint64 elapsed = 0;
    QCOMPARE(runCopy({}, &output, &elapsed), 0);
    ::close(lock);
    QVERIFY(output.isEmpty());
    QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
    QVERIFY(!windowVisible());
    QVERIFY(!InstanceClient::isRunning(socketPath()));
}

void TestE2EInstance::launcherLoadsNoQt()
{
    // The command client starts in milliseconds because the launcher links no Qt library.
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), { Program });
    QVERIFY(ldd.waitForFinished());
    const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    QVERIFY(libraries.contains(QLatin1String("libc.so")));
    QVERIFY2(!libraries.contains(QLatin1String("Qt6")), qPrintable(libraries));
}

void TestE2EInstance::commandTable()
{
    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    struct Row
    {
        const char* json;
        const char* answer;
    };
    // Each command as a person or script would send it; the capture writes a file.
    for (const Row& row : { Row { R"({"command":"Capture"})", "0" },
             Row { R"([{"command":"capture"}])", "0" }, Row { "42", "0" }, Row { "not json", "0" },
             Row { R"({"command":1})", "0" }, Row { R"({"command":"capture"})", "1" } }) {
        QString output;
        runCopy({ QStringLiteral("--command"), QString::fromUtf8(row.json) }, &output);
        QCOMPARE(output, QString::fromLatin1(row.answer));
    }
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files), QStringList { QStringLiteral("Q-001.png") });
    // Without a running copy the client says so instead of waiting.
    runCopy({ QStringLiteral("/uninst") });
    QVERIFY(m_first->waitForFinished(5000));
    QString output;
    QCOMPARE(
        runCopy({ QStringLiteral("--command"), QStringLiteral(R"({"command":"capture"})") }, &output), 2);
}

void TestE2EInstance::badClientsGetZeroAndDoNotBlock()
{
    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    const std::string path = socketPath();
    const QByteArray capture = QStringLiteral(R"({"command":"capture"})").toUtf8();
    auto utf16 = [](const QString& text) {
        return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    };
    QCOMPARE(
        rawExchange(path,
            header(InstanceProtocol::WmCopyData, 2) + utf16(QString::fromUtf8(capture)) + QByteArray(2, '\0'),
            false),
        0);
    QCOMPARE(
        rawExchange(path, header(InstanceProtocol::WmCopyData, 1) + utf16(QString::fromUtf8(capture)), true),
        0);
    QCOMPARE(rawExchange(path, header(InstanceProtocol::WmCopyData, 1) + QByteArray(200000, 'x'), true), 0);
    QCOMPARE(rawExchange(path, header(0x1234, 1), true), 0);
    QVERIFY(QDir(m_home->desktop).entryList(QDir::Files).isEmpty());

    // A client that connects and says nothing, and one that leaves mid-request, hold nobody up.
    const int silent = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    QCOMPARE(::connect(silent, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const int leaving = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QCOMPARE(::connect(leaving, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    (void)::send(leaving, header(InstanceProtocol::WmCopyData, 1).constData(), 8, MSG_NOSIGNAL);
    ::close(leaving);
    QString output;
    qint64 elapsed = 0;
    runCopy({ QStringLiteral("--command"), QString::fromUtf8(capture) }, &output, &elapsed);
    QCOMPARE(output, QStringLiteral("1"));
    QVERIFY2(elapsed < 3000, qPrintable(QString::number(elapsed)));
    ::close(silent);
    QCOMPARE(m_first->state(), QProcess::Running);
}

void TestE2EInstance::capturesTheScreenIntoNumberedFiles()
{
    // The pointer is left out, so that the file holds exactly the screen's pixels.
    QDir().mkpath(m_home->config + QStringLiteral("/Brenholt"));
    QFile store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("[General]\nmouse=0\n");
    store.close();

    const QImage picture = screenPicture();
    PictureWindow window(picture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    QCursor::setPos(960, 540);

    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    for (const QString& name : { QStringLiteral("Q-001.png"), QStringLiteral("Q-002.png") }) {
        QString output;
        runCopy({ QStringLiteral("--command"), QStringLiteral(R"({"command":"capture"})") }, &output);
        QCOMPARE(output, QStringLiteral("1"));
        // The answer comes after the file is complete.
        const QImage saved(m_home->desktop + QLatin1Char('/') + name);
        QVERIFY2(!saved.isNull(), qPrintable(name));
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), picture);
    }
}

LUMETRA_X11_TEST_MAIN(TestE2EInstance, XDesk::Server::Xvfb, true)
#include "tst_e2e_instance.moc"
