#include "PictureWindow.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QPainter>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");

QImage pattern(QSize size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 3 + seed) & 0xFF, (y * 7) & 0xFF, ((x ^ y) + seed * 5) & 0xFF));
    return image;
}

} // namespace

// The region frame and the window outline in the running program.
class TestE2EFrames : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EFrames(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void regionCaptureIsTheFramesHole();
    void windowControlCaptureLeavesTheOutlineOut();

private:
    void writeSettings(const QByteArray& values);
    void start(const QStringList& arguments);
    QString capture();
    // The geometry of the first visible window that matches, as xdotool reports it.
    QRect windowGeometry(const QStringList& search);

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_program;
};

void TestE2EFrames::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xdotool"), QStringLiteral("xdotool"), &error), qPrintable(error));
}

void TestE2EFrames::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2EFrames::cleanup()
{
    if (m_program)
        m_home->stop(*m_program, Program, m_desk.environment(), 5000);
    m_program.reset();
    m_home.reset();
}

void TestE2EFrames::writeSettings(const QByteArray& values)
{
    QDir().mkpath(m_home->config + QStringLiteral("/Brenholt"));
    QFile store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("[General]\n" + values);
}

void TestE2EFrames::start(const QStringList& arguments)
{
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(m_home->environment(m_desk.environment()));
    m_program->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_program->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_program->start(Program, arguments);
    const std::string socket = m_home->runtime.toStdString() + "/TFrmLumetra";
    QTRY_VERIFY_WITH_TIMEOUT(InstanceClient::isRunning(socket), 30000);
}

QString TestE2EFrames::capture()
{
    QProcess client;
    client.setProcessEnvironment(m_home->environment(m_desk.environment()));
    client.start(Program, { QStringLiteral("--command"), QStringLiteral(R"({"command":"capture"})") });
    if (!client.waitForFinished(30000))
        return QStringLiteral("timeout");
    return QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed();
}

QRect TestE2EFrames::windowGeometry(const QStringList& search)
{
    QString ids;
    m_desk.run(QStringLiteral("xdotool"),
        QStringList { QStringLiteral("search"), QStringLiteral("--onlyvisible") } + search, &ids);
    const QString id = ids.trimmed().section(QLatin1Char('\n'), 0, 0);
    if (id.isEmpty())
        return {};
    return m_desk.geometry(id);
}

void TestE2EFrames::regionCaptureIsTheFramesHole()
{
    // A managed window beneath, so that the always-on-top frame lies above it.
    const QImage picture = pattern(QSize(1920, 1080), 1);
    PictureWindow desk(picture, QPoint(0, 0), Qt::Window | Qt::FramelessWindowHint);
    desk.show();
    QVERIFY(QTest::qWaitForWindowExposed(&desk));
    QCursor::setPos(1900, 1070);

    writeSettings("area=1\nmouse=0\nleft=500\ntop=300\nwidth=400\nheight=300\n");
    start({ QStringLiteral("/start") });
    QRect frame;
    QTRY_VERIFY(
        (frame = windowGeometry({ QStringLiteral("--name"), QStringLiteral("^영역지정") })).isValid());
    QCOMPARE(frame.topLeft(), QPoint(500, 300));
    const int header = frame.height() - 300 - 12;
    QVERIFY(header > 0);
    QTest::qWait(300);

    QCOMPARE(capture(), QStringLiteral("1"));
    const QImage saved(m_home->desktop + QStringLiteral("/Q-001.png"));
    QVERIFY(!saved.isNull());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), picture.copy(506, 300 + header + 6, 400, 300));
}

void TestE2EFrames::windowControlCaptureLeavesTheOutlineOut()
{
    const QImage backdrop = pattern(QSize(1920, 1080), 2);
    PictureWindow desk(backdrop, QPoint(0, 0), Qt::Window | Qt::FramelessWindowHint);
    desk.show();
    QVERIFY(QTest::qWaitForWindowExposed(&desk));
    const QImage picture = pattern(QSize(400, 300), 3);
    PictureWindow target(
        picture, QPoint(300, 200), Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    target.show();
    QVERIFY(QTest::qWaitForWindowExposed(&target));

    writeSettings("mouse=0\n");
    start({});
    // The source list, as a person would choose from it: the fifth entry.
    QRect main;
    QTRY_VERIFY(
        (main = windowGeometry({ QStringLiteral("--class"), QStringLiteral("^TFrmLumetra$") })).isValid());
    const QPoint list = main.topLeft() + QPoint(80, 40);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(list.x()), QString::number(list.y()),
            QStringLiteral("click"), QStringLiteral("1") }));
    QTest::qWait(500);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
            QStringLiteral("Down"), QStringLiteral("Return") }));

    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QStringLiteral("500"), QStringLiteral("350") }));
    // The outline shows on the screen one pixel round the window.
    QScreen* screen = QGuiApplication::primaryScreen();
    auto ringShows = [screen] {
        const QImage top
            = screen->grabWindow(0, 299, 199, 402, 1).toImage().convertToFormat(QImage::Format_RGB32);
        int black = 0, white = 0;
        for (int x = 0; x < top.width(); ++x) {
            black += top.pixel(x, 0) == qRgb(0, 0, 0);
            white += top.pixel(x, 0) == qRgb(255, 255, 255);
        }
        return black > 150 && white > 80;
    };
    QTRY_VERIFY_WITH_TIMEOUT(ringShows(), 10000);

    QCOMPARE(capture(), QStringLiteral("1"));
    const QImage saved(m_home->desktop + QStringLiteral("/Q-001.png"));
    QVERIFY(!saved.isNull());
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), picture);
    QVERIFY(ringShows());
}

LUMETRA_X11_TEST_MAIN(TestE2EFrames, XDesk::Server::Xvfb, true)
#include "tst_e2e_frames.moc"
