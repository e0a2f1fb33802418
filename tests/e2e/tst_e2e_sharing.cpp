#include "PictureWindow.h"
#include "ScriptedServer.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"
#include "platform/x11/X11Screen.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>

#include <xcb/xcb.h>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");
const QString Store = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra-store");
// The two-monitor desk: the primary monitor right of a smaller one.
const QRect Primary(1280, 0, 1920, 1080);

QImage pattern(QSize size, int seed)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 3 + seed) & 0xFF, (y * 7) & 0xFF, ((x ^ y) + seed * 5) & 0xFF));
    return image;
}

// A panel along the bottom of the primary monitor that reserves its edge, as desktop panels do.
class BottomDock : public QWidget
{
public:
    static constexpr int Height = 40;

    BottomDock()
    {
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        setGeometry(Primary.left(), Primary.bottom() + 1 - Height, Primary.width(), Height);
        setAutoFillBackground(true);
        QPalette blue = palette();
        blue.setColor(QPalette::Window, QColor(0, 0, 200));
        setPalette(blue);
        auto x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        xcb_connection_t* connection = x11->connection();
        auto atom = [connection](const char* name) {
            auto reply = xcb_intern_atom_reply(
                connection, xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name), nullptr);
            const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
            free(reply);
            return value;
        };
        const auto window = xcb_window_t(winId());
        const xcb_atom_t dock = atom("_NET_WM_WINDOW_TYPE_DOCK");
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_WINDOW_TYPE"),
            XCB_ATOM_ATOM, 32, 1, &dock);
        // left, right, top, bottom, then the start and end of each edge's span.
        const uint32_t strut[12]
            = { 0, 0, 0, Height, 0, 0, 0, 0, 0, 0, uint32_t(Primary.left()), uint32_t(Primary.right()) };
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_STRUT_PARTIAL"),
            XCB_ATOM_CARDINAL, 32, 12, strut);
        xcb_flush(connection);
    }
};

} // namespace

// Uploads to the image store that ships with the program, and floating windows, in the built program on a
// two-monitor desk with a desktop opener that only records what it is asked to open.
class TestE2ESharing : public QObject
{
    Q_OBJECT
public:
    explicit TestE2ESharing(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void uploadStoresTheScreenAndOpensIt();
    void stripSitsAboveTheDockAndPassesClicks();
    void failingStoreShowsTheFailureBox();
    void floatingWindowOnTheLeftMonitor();

private:
    void start(const QString& uploadHost, const QByteArray& settings);
    QString capture();
    QStringList opened() const;
    QStringList windows(const QString& name = {}) const;
    QString xdotool(const QStringList& arguments) const;
    // What the screen shows there now.
    QImage screen(const QRect& area);

    XDesk& m_desk;
    X11Screen m_screen;
    QTemporaryDir m_storeFolder;
    QTemporaryDir m_bin;
    QString m_storeHost;
    std::unique_ptr<QProcess> m_store;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_program;
};

void TestE2ESharing::initTestCase()
{
    QString error;
    for (auto [tool, package] : { std::pair { "xdotool", "xdotool" }, std::pair { "xwininfo", "x11-utils" },
             std::pair { "xprop", "x11-utils" } })
        QVERIFY2(haveTool(QLatin1String(tool), QLatin1String(package), &error), qPrintable(error));
    QVERIFY(m_desk.setMonitors(Primary.size(), QSize(1280, 1024)));
    QTRY_COMPARE(QGuiApplication::screens().size(), 2);
    QVERIFY(m_screen.open(m_desk.display().toLatin1().constData()));

    // The desktop opener: records each address on a line of its own.
    QFile opener(m_bin.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> \"$LUMETRA_TEST_OPENED\"\n");
    opener.close();
    opener.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    m_store = std::make_unique<QProcess>();
    m_store->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_store->start(Store,
        { QStringLiteral("--folder"), m_storeFolder.path(), QStringLiteral("--listen"),
            QStringLiteral("127.0.0.1:0") });
    QVERIFY(m_store->waitForReadyRead(20000));
    const QString line = QString::fromLatin1(m_store->readLine());
    m_storeHost = QStringLiteral("127.0.0.1:") + line.section(QLatin1Char(' '), -1).trimmed();
}

void TestE2ESharing::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2ESharing::cleanup()
{
    if (m_program)
        m_home->stop(*m_program, Program, m_desk.environment());
    m_program.reset();
    m_home.reset();
}

void TestE2ESharing::cleanupTestCase()
{
    m_store->kill();
    m_store->waitForFinished();
}

void TestE2ESharing::start(const QString& uploadHost, const QByteArray& settings)
{
    QDir().mkpath(m_home->config + QStringLiteral("/Brenholt"));
    QFile store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"));
    QVERIFY(store.open(QIODevice::WriteOnly));
    store.write("[General]\nmouse=0\n" + settings);
    store.close();
    QProcessEnvironment environment = m_home->environment(m_desk.environment());
    environment.insert(
        QStringLiteral("PATH"), m_bin.path() + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("LUMETRA_UPLOAD_HOST"), uploadHost);
    environment.insert(QStringLiteral("LUMETRA_TEST_OPENED"), m_home->root + QStringLiteral("/opened"));
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(environment);
    m_program->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_program->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_program->start(Program, { QStringLiteral("/start") });
    const std::string socket = m_home->runtime.toStdString() + "/TFrmLumetra";
    QTRY_VERIFY_WITH_TIMEOUT(InstanceClient::isRunning(socket), 30000);
}

QString TestE2ESharing::capture()
{
    QProcess client;
    client.setProcessEnvironment(m_home->environment(m_desk.environment()));
    client.start(Program, { QStringLiteral("--command"), QStringLiteral(R"({"command":"capture"})") });
    if (!client.waitForFinished(60000))
        return QStringLiteral("timeout");
    return QString::fromLocal8Bit(client.readAllStandardOutput()).trimmed();
}

QStringList TestE2ESharing::opened() const
{
    QFile file(m_home->root + QStringLiteral("/opened"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString TestE2ESharing::xdotool(const QStringList& arguments) const
{
    QString output;
    m_desk.run(QStringLiteral("xdotool"), arguments, &output);
    return output.trimmed();
}

// The program's visible windows other than the main window, optionally by the start of their name.
QStringList TestE2ESharing::windows(const QString& name) const
{
    QStringList found = xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--class"), QStringLiteral("^lumetra$") })
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!name.isEmpty())
        found.removeIf([&](const QString& window) {
            return !xdotool({ QStringLiteral("getwindowname"), window }).startsWith(name);
        });
    return found;
}

QImage TestE2ESharing::screen(const QRect& area)
{
    QImage canvas(area.size(), QImage::Format_RGB32);
    return m_screen.copyArea(area, canvas) ? canvas : QImage();
}

void TestE2ESharing::uploadStoresTheScreenAndOpensIt()
{
    const QImage picture = pattern(Primary.size(), 3);
    PictureWindow shown(picture, Primary.topLeft());
    QVERIFY(showAndWait(shown));
    QCursor::setPos(Primary.center());
    start(m_storeHost, "saveto=8\n");
    const QStringList before = QDir(m_storeFolder.path()).entryList(QDir::Files);
    QCOMPARE(capture(), QStringLiteral("1"));
    QTRY_COMPARE_WITH_TIMEOUT(opened().size(), 1, 30000);
    QStringList stored = QDir(m_storeFolder.path()).entryList(QDir::Files);
    for (const QString& old : before)
        stored.removeAll(old);
    QCOMPARE(stored.size(), 1);
    QCOMPARE(opened().first(), QStringLiteral("http://%1/%2").arg(m_storeHost, stored.first()));
    const QImage kept(m_storeFolder.filePath(stored.first()));
    QCOMPARE(kept.convertToFormat(QImage::Format_RGB32), picture);
    // Nothing was written beside the program.
    QVERIFY(QDir(m_home->desktop).entryList(QDir::Files).isEmpty());
}

void TestE2ESharing::stripSitsAboveTheDockAndPassesClicks()
{
    BottomDock dock;
    QVERIFY(showAndWait(dock));
    QTRY_COMPARE(m_screen.workArea(Primary).bottom(), Primary.bottom() - BottomDock::Height);
    // The window the clicks should reach, under where the strip will be.
    QImage green(Primary.width(), 100, QImage::Format_RGB32);
    green.fill(QColor(0, 180, 0));
    PictureWindow below(green, QPoint(Primary.left(), Primary.bottom() + 1 - BottomDock::Height - 100));
    QVERIFY(showAndWait(below));

    ScriptedServer store(ScriptedServer::Mode::Hold,
        ScriptedServer::reply(200, R"({"status":"success","url":"http:\/\/img.example\/held.png"})"));
    QCursor::setPos(Primary.center());
    start(store.host(), "saveto=8\n");
    QCOMPARE(capture(), QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(store.waiting(), 30000);

    // 30 pixels high along the bottom of the primary monitor, directly above the dock.
    const QRect expected(Primary.left(), Primary.bottom() + 1 - BottomDock::Height - 30, Primary.width(), 30);
    QString strip;
    QTRY_VERIFY_WITH_TIMEOUT(!(strip = windows().value(0)).isEmpty(), 10000);
    QCOMPARE(m_desk.geometry(strip), expected);
    QTest::qWait(300);
    const QImage shown = screen(expected);
    const QRgb middle = shown.pixel(shown.width() / 2, 25);
    QVERIFY2(qRed(middle) >= 60 && qGreen(middle) < 30 && qBlue(middle) < 30,
        qPrintable(QString::number(middle, 16)));
    QCOMPARE(screen(QRect(expected.left(), expected.top() - 1, 1, 1)).pixel(0, 0), qRgb(0, 180, 0));

    // A click on the strip lands on the window below.
    const QPoint spot(expected.left() + 700, expected.top() + 25);
    xdotool({ QStringLiteral("mousemove"), QString::number(spot.x()), QString::number(spot.y()),
        QStringLiteral("click"), QStringLiteral("1") });
    QTRY_COMPARE(below.presses.value(0), spot);

    store.release();
    QTRY_COMPARE_WITH_TIMEOUT(opened(), QStringList { QStringLiteral("http://img.example/held.png") }, 10000);
    QTRY_VERIFY(windows().isEmpty());
}

void TestE2ESharing::failingStoreShowsTheFailureBox()
{
    ScriptedServer store(ScriptedServer::Mode::Answer, ScriptedServer::reply(500, "no"));
    QCursor::setPos(Primary.center());
    start(store.host(), "saveto=8\n");
    QCOMPARE(capture(), QStringLiteral("1"));
    QString box;
    auto dialog = [this, &box] {
        for (const QString& window : windows()) {
            QString type;
            m_desk.run(QStringLiteral("xprop"),
                { QStringLiteral("-id"), window, QStringLiteral("_NET_WM_WINDOW_TYPE") }, &type);
            if (type.contains(QLatin1String("_NET_WM_WINDOW_TYPE_DIALOG"))) {
                box = window;
                return true;
            }
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(dialog(), 30000);
    xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box });
    xdotool({ QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return") });
    QTRY_VERIFY_WITH_TIMEOUT(windows().isEmpty(), 10000);
    QVERIFY(opened().isEmpty());
    QVERIFY(store.request.startsWith("POST /image HTTP/1.0"));
}

void TestE2ESharing::floatingWindowOnTheLeftMonitor()
{
    const QRect region(100, 200, 300, 200);
    const QImage picture = pattern(region.size(), 9);
    auto under = std::make_unique<PictureWindow>(picture, region.topLeft());
    QVERIFY(showAndWait(*under));
    QCursor::setPos(region.center());
    // The window under the pointer, pinned where it was.
    start(m_storeHost, "saveto=10\narea=4\n");
    QCOMPARE(capture(), QStringLiteral("1"));
    under.reset();
    QString floating;
    QTRY_VERIFY_WITH_TIMEOUT(!(floating = windows(QStringLiteral("루메트라")).value(0)).isEmpty(), 10000);
    QCOMPARE(m_desk.geometry(floating), region);
    QTRY_COMPARE(screen(region), picture);
    QString states;
    m_desk.run(QStringLiteral("xprop"), { QStringLiteral("-id"), floating, QStringLiteral("_NET_WM_STATE") },
        &states);
    QVERIFY2(states.contains(QLatin1String("_NET_WM_STATE_SKIP_TASKBAR"))
            && states.contains(QLatin1String("_NET_WM_STATE_ABOVE")),
        qPrintable(states));

    // Dragged with the left button, anywhere on it.
    xdotool({ QStringLiteral("mousemove"), QStringLiteral("150"), QStringLiteral("250"),
        QStringLiteral("mousedown"), QStringLiteral("1") });
    for (int step = 1; step <= 5; ++step)
        xdotool({ QStringLiteral("mousemove"), QString::number(150 + step * 20),
            QString::number(250 + step * 10) });
    // As a hand does, the button goes up once the window has followed: a release that overtakes the last
    // motion would end the window manager's move one step short.
    const QRect moved = region.translated(100, 50);
    QTRY_COMPARE(m_desk.geometry(floating), moved);
    xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });
    QTRY_COMPARE(m_desk.geometry(floating), moved);

    // Saved as JPG under a name that ends in .png: the type decides.
    xdotool({ QStringLiteral("mousemove"), QString::number(moved.center().x()),
        QString::number(moved.center().y()), QStringLiteral("click"), QStringLiteral("3") });
    QTest::qWait(500);
    xdotool({ QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return") });
    QString dialog;
    QTRY_VERIFY_WITH_TIMEOUT(!(dialog = windows(QStringLiteral("Save")).value(0)).isEmpty(), 10000);
    xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog });
    // From the name to the type list, one entry down (JPG), back to the name.
    xdotool({ QStringLiteral("key"), QStringLiteral("Tab"), QStringLiteral("Down"),
        QStringLiteral("shift+Tab") });
    xdotool({ QStringLiteral("type"), QStringLiteral("shot.png") });
    xdotool({ QStringLiteral("key"), QStringLiteral("Return") });
    const QString saved = m_home->desktop + QStringLiteral("/shot.png");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(saved).size() > 0, 10000);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(3) == QByteArray("\xFF\xD8\xFF"));
    QCOMPARE(QImage(saved).size(), region.size());

    // Two more over it, then "플로팅 삭제" on one and "모든 플로팅 삭제" on another.
    QCursor::setPos(moved.center());
    QCOMPARE(capture(), QStringLiteral("1"));
    QCOMPARE(capture(), QStringLiteral("1"));
    QTRY_COMPARE(windows(QStringLiteral("루메트라")).size(), 3);
    auto menuItem = [this, &moved](int downs) {
        xdotool({ QStringLiteral("mousemove"), QString::number(moved.center().x()),
            QString::number(moved.center().y()), QStringLiteral("click"), QStringLiteral("3") });
        QTest::qWait(500);
        QStringList keys { QStringLiteral("key") };
        for (int i = 0; i < downs; ++i)
            keys << QStringLiteral("Down");
        xdotool(keys << QStringLiteral("Return"));
    };
    menuItem(2);
    QTRY_COMPARE(windows(QStringLiteral("루메트라")).size(), 2);
    menuItem(3);
    QTRY_VERIFY(windows(QStringLiteral("루메트라")).isEmpty());
    QCOMPARE(m_program->state(), QProcess::Running);
}

LUMETRA_X11_TEST_MAIN(TestE2ESharing, XDesk::Server::XorgDummy, true)
#include "tst_e2e_sharing.moc"
