#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QRegularExpression>
#include <QWidget>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");
const QString Module = QStringLiteral(LUMETRA_BINARY_DIR "/liblumetra-gui.so");

} // namespace

class TestE2EResident : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EResident(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void printKeyCaptures();
    void trayIconBringsTheWindowBack();
    void instEntryStartsTheProgramHidden();
    void quitThroughTheMenuAsks();
    void sigtermEndsWithoutAQuestion();

private:
    QProcessEnvironment environment(const QString& program) const;
    std::unique_ptr<QProcess> start(const QStringList& arguments, const QString& program = Program);
    bool waitRunning(int timeoutMs = 30000);
    // A command the running copy answers only from its event loop, so everything before it is done.
    bool roundTrip();
    QString xdotool(const QStringList& arguments);
    QString lumetraWindow(bool visibleOnly = true) { return firstLine(xdotool(searchClass(visibleOnly))); }
    QString messageBox();
    QString activeWindow() { return xdotool({ QStringLiteral("getactivewindow") }).trimmed(); }
    void startTrayHost();
    bool trayIconDocked();
    bool clickTrayIcon();
    static QStringList searchClass(bool visibleOnly);
    static QString firstLine(const QString& text) { return text.section(QLatin1Char('\n'), 0, 0).trimmed(); }
    QString log() const
    {
        QFile file(m_home->root + QStringLiteral("/lumetra.log"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    std::string socketPath() const { return m_home->runtime.toStdString() + "/TFrmLumetra"; }

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_first;
    std::unique_ptr<QProcess> m_tray;
};

void TestE2EResident::initTestCase()
{
    QString error;
    for (const auto& [tool, package] : { std::pair { "xdotool", "xdotool" }, std::pair { "trayer", "trayer" },
             std::pair { "gio", "libglib2.0-bin" }, std::pair { "xwininfo", "x11-utils" } })
        QVERIFY2(haveTool(QLatin1String(tool), QLatin1String(package), &error), qPrintable(error));
}

void TestE2EResident::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2EResident::cleanup()
{
    if (InstanceClient::isRunning(socketPath())) {
        InstanceClient::sendUser(socketPath(), 2);
        QTRY_VERIFY(!InstanceClient::isRunning(socketPath()));
    }
    for (auto* process : { &m_first, &m_tray }) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->terminate();
            if (!(*process)->waitForFinished(5000))
                (*process)->kill();
            (*process)->waitForFinished();
        }
        process->reset();
    }
    m_home.reset();
}

QProcessEnvironment TestE2EResident::environment(const QString& program) const
{
    QProcessEnvironment environment = m_home->environment(m_desk.environment());
    // The sanitizers' symbolizer cannot read a module path with a double quote in it and would hang at
    // exit; the copy in such a place runs without the leak check (the build folder's program keeps it).
    if (program.contains(QLatin1Char('"')) && environment.contains(QStringLiteral("ASAN_OPTIONS")))
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
            environment.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
    return environment;
}

std::unique_ptr<QProcess> TestE2EResident::start(const QStringList& arguments, const QString& program)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment(program));
    process->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    process->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    process->start(program, arguments);
    return process;
}

bool TestE2EResident::waitRunning(int timeoutMs)
{
    return QTest::qWaitFor([this] { return InstanceClient::isRunning(socketPath()); }, timeoutMs);
}

bool TestE2EResident::roundTrip()
{
    const auto answer = InstanceClient::sendCopyData(socketPath(), 1, InstanceClient::utf8ToUtf16("{}"));
    return answer && *answer == 0;
}

QString TestE2EResident::xdotool(const QStringList& arguments)
{
    QString output;
    m_desk.run(QStringLiteral("xdotool"), arguments, &output);
    return output;
}

QStringList TestE2EResident::searchClass(bool visibleOnly)
{
    QStringList arguments { QStringLiteral("search") };
    if (visibleOnly)
        arguments << QStringLiteral("--onlyvisible");
    return arguments << QStringLiteral("--class") << QStringLiteral("^TFrmLumetra$");
}

QString TestE2EResident::messageBox()
{
    // Without a tray host, the program's only visible window apart from the main one is a box or a menu.
    return firstLine(xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"),
        QStringLiteral("--classname"), QStringLiteral("^lumetra$") }));
}

void TestE2EResident::startTrayHost()
{
    m_tray = std::make_unique<QProcess>();
    m_tray->setProcessEnvironment(m_desk.environment());
    m_tray->setStandardOutputFile(QProcess::nullDevice());
    m_tray->setStandardErrorFile(QProcess::nullDevice());
    m_tray->start(QStringLiteral("trayer"),
        { QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"), QStringLiteral("left"),
            QStringLiteral("--widthtype"), QStringLiteral("request"), QStringLiteral("--height"),
            QStringLiteral("24"), QStringLiteral("--SetDockType"), QStringLiteral("true") });
}

bool TestE2EResident::trayIconDocked()
{
    const QString panel = firstLine(
        xdotool({ QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^panel$") }));
    if (panel.isEmpty())
        return false;
    QString tree;
    m_desk.run(QStringLiteral("xwininfo"), { QStringLiteral("-tree"), QStringLiteral("-id"), panel }, &tree);
    // The icon is a window of the program inside the panel.
    return tree.contains(QLatin1String("(\"lumetra\" \"lumetra\")"));
}

bool TestE2EResident::clickTrayIcon()
{
    const QString panel = firstLine(
        xdotool({ QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^panel$") }));
    const QString shell = xdotool({ QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), panel });
    const int x = QRegularExpression(QStringLiteral("X=(\\d+)")).match(shell).captured(1).toInt();
    const int y = QRegularExpression(QStringLiteral("Y=(\\d+)")).match(shell).captured(1).toInt();
    // The only icon in the panel sits at its left end.
    return m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(x + 12), QString::number(y + 12),
            QStringLiteral("click"), QStringLiteral("1") });
}

void TestE2EResident::printKeyCaptures()
{
    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    // The socket answers from the first moment of the start-up; the hotkey is registered once the
    // start-up is done, which a command answered from the event loop proves.
    QVERIFY(roundTrip());
    QVERIFY(m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Print") }));
    const QString file = m_home->desktop + QStringLiteral("/Q-001.png");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(file), 10000);
    const QImage saved(file);
    QCOMPARE(saved.size(), QSize(1920, 1080));
    // Started hidden, and it stays so.
    QVERIFY(lumetraWindow().isEmpty());
}

void TestE2EResident::trayIconBringsTheWindowBack()
{
    // No tray host yet: the program runs all the same, hidden.
    m_first = start({ QStringLiteral("/start") });
    QVERIFY(waitRunning());
    QVERIFY(lumetraWindow().isEmpty());

    // Another program holds the focus.
    QWidget other;
    other.setWindowTitle(QStringLiteral("other program"));
    other.setGeometry(300, 200, 400, 300);
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QTRY_COMPARE(activeWindow(), QString::number(other.winId()));

    // The host starts later, then restarts: each time the icon appears in it, and one click brings the
    // window to the front.
    for (const bool restart : { false, true }) {
        if (restart) {
            // The window manager's close (Alt+F4) hides the window again.
            QVERIFY(
                m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("alt+F4") }));
            QTRY_VERIFY(lumetraWindow().isEmpty());
            QCOMPARE(m_first->state(), QProcess::Running);
            m_tray->terminate();
            QVERIFY(m_tray->waitForFinished(5000));
            other.activateWindow();
            QTRY_COMPARE(activeWindow(), QString::number(other.winId()));
        }
        startTrayHost();
        QTRY_VERIFY_WITH_TIMEOUT(trayIconDocked(), 15000);
        QVERIFY(clickTrayIcon());
        QTRY_VERIFY(!lumetraWindow().isEmpty());
        QTRY_COMPARE(activeWindow(), lumetraWindow());
    }
}

void TestE2EResident::instEntryStartsTheProgramHidden()
{
    // A place whose name needs every kind of quoting a desktop entry has.
    const QString folder
        = m_home->root + QStringLiteral("/Program Files/Lu \"me\" 'tra' $HOME `x` \\ 루메트라");
    QVERIFY(QDir().mkpath(folder));
    const QString copy = folder + QStringLiteral("/lumetra");
    QVERIFY(QFile::copy(Program, copy));
    QVERIFY(QFile::copy(Module, folder + QStringLiteral("/liblumetra-gui.so")));
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    m_first = start({ QStringLiteral("/inst") }, copy);
    QVERIFY(waitRunning());
    QTRY_VERIFY(!lumetraWindow().isEmpty());
    const QString entry = m_home->config + QStringLiteral("/autostart/Lumetra.desktop");
    QVERIFY(QFile::exists(entry));
    InstanceClient::sendUser(socketPath(), 2);
    QVERIFY2(m_first->waitForFinished(20000), qPrintable(log()));

    // As the session would at the next sign-in: the desktop's launcher runs the entry's Exec line.
    QProcess launcher;
    launcher.setProcessEnvironment(environment(copy));
    launcher.setProcessChannelMode(QProcess::MergedChannels);
    launcher.start(QStringLiteral("gio"), { QStringLiteral("launch"), entry });
    QVERIFY(launcher.waitForFinished(10000));
    QVERIFY2(launcher.exitCode() == 0, launcher.readAll().constData());
    QVERIFY(waitRunning());
    QVERIFY(roundTrip());
    // A window that was going to be shown has been by now; the window manager maps it shortly after.
    QTest::qWait(500);
    QVERIFY(lumetraWindow().isEmpty());
    QVERIFY(!lumetraWindow(false).isEmpty());
    // And it is the program from that place that runs.
    bool found = false;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() == copy)
            found = true;
    }
    QVERIFY(found);
}

void TestE2EResident::quitThroughTheMenuAsks()
{
    m_first = start({});
    QVERIFY(waitRunning());
    QTRY_VERIFY(!lumetraWindow().isEmpty());
    const QString window = lumetraWindow();
    auto askToQuit = [&] {
        // Right click on the window opens the menu; its last item is Quit.
        m_desk.run(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("80"),
                QStringLiteral("120"), QStringLiteral("click"), QStringLiteral("3") });
        QTest::qWait(300);
        m_desk.run(QStringLiteral("xdotool"),
            { QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return") });
        return QTest::qWaitFor([&] { return !messageBox().isEmpty(); }, 10000);
    };
    QVERIFY(askToQuit());
    // No is the default button.
    QTRY_COMPARE(activeWindow(), messageBox());
    m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") });
    QTRY_VERIFY(messageBox().isEmpty());
    QVERIFY(roundTrip());
    QCOMPARE(m_first->state(), QProcess::Running);

    QVERIFY(askToQuit());
    QTRY_COMPARE(activeWindow(), messageBox());
    m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("y") });
    QVERIFY(m_first->waitForFinished(10000));
    QCOMPARE(m_first->exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_first->exitCode() == 0, qPrintable(log()));
}

void TestE2EResident::sigtermEndsWithoutAQuestion()
{
    m_first = start({});
    QVERIFY(waitRunning());
    QTRY_VERIFY(!lumetraWindow().isEmpty());
    m_first->terminate();
    QVERIFY(m_first->waitForFinished(10000));
    QCOMPARE(m_first->exitStatus(), QProcess::NormalExit);
    QVERIFY2(m_first->exitCode() == 0, qPrintable(log()));
    QVERIFY(!InstanceClient::isRunning(socketPath()));
}

LUMETRA_X11_TEST_MAIN(TestE2EResident, XDesk::Server::Xvfb, true)
#include "tst_e2e_resident.moc"
