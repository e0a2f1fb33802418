#include "SettingsFile.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");

} // namespace

// Changes every kind of setting through the real window and menu as a person would, quits, starts again
// and sees every choice come back from the store.
class TestE2ESettings : public QObject
{
    Q_OBJECT
public:
    explicit TestE2ESettings(XDesk& desk) : m_desk(desk) { }

private slots:
    void init();
    void cleanup();
    void choicesSurviveARestart();

private:
    bool startProgram();
    bool quitThroughTheMenu();
    // Sends keys or clicks with xdotool and waits until the screen has changed and come to rest.
    // With `changes` false it only waits for the screen to rest (a pointer moved over empty space).
    bool act(const QStringList& arguments, bool changes = true);
    QImage grab() const { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }
    // Moves the pointer there first, then clicks: a click that travels with the move can land before it.
    bool click(QPoint point, int button = 1);
    bool pointerAway();
    // Right-clicks the window's source label and walks the menu with the keys.
    bool menu(const QStringList& keys);
    // The same look every time: the source list focused, its list closed, the pointer away.
    bool settleFocus();
    QString store() const { return m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"); }
    QVariant stored(const QString& name) const
    {
        return QSettings(store(), QSettings::IniFormat).value(name);
    }
    QPoint at(int x, int y) const { return m_client.topLeft() + QPoint(x, y); }

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_program;
    QRect m_client;
    QImage m_last;
};

void TestE2ESettings::init()
{
    m_home = std::make_unique<TestHome>();
}

void TestE2ESettings::cleanup()
{
    if (m_program)
        m_home->stop(*m_program, Program, m_desk.environment(), 5000);
    m_program.reset();
    m_home.reset();
}

bool TestE2ESettings::startProgram()
{
    m_program = std::make_unique<QProcess>();
    QProcessEnvironment environment = m_home->environment(m_desk.environment());
    // Korean, the source language: switching from English would merge the two "Open Folder" rows into one
    // text, which a fresh start in the new language does not show.
    environment.insert(QStringLiteral("LANG"), QStringLiteral("ko_KR.UTF-8"));
    for (const QString& name :
        { QStringLiteral("LC_ALL"), QStringLiteral("LC_MESSAGES"), QStringLiteral("LANGUAGE") })
        environment.remove(name);
    m_program->setProcessEnvironment(environment);
    m_program->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    m_program->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    m_program->start(Program, {});
    QString window;
    if (!m_desk.run(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                QStringLiteral("--class"), QStringLiteral("^TFrmLumetra$") },
            &window, 30000))
        return false;
    // xwininfo gives the client area's true place; xdotool's geometry is off by the title bar under openbox.
    QString info;
    if (!m_desk.run(QStringLiteral("xwininfo"), { QStringLiteral("-id"), window.split('\n').first() }, &info))
        return false;
    auto field = [&info](const char* name) {
        const qsizetype at = info.indexOf(QLatin1String(name));
        return at < 0 ? 0 : info.mid(at + qstrlen(name)).section(QLatin1Char('\n'), 0, 0).trimmed().toInt();
    };
    m_client = QRect(
        field("Absolute upper-left X:"), field("Absolute upper-left Y:"), field("Width:"), field("Height:"));
    // Shown and drawn: the screen comes to rest with the window on it.
    m_last = QImage();
    return pointerAway();
}

bool TestE2ESettings::act(const QStringList& arguments, bool changes)
{
    const QImage before = m_last.isNull() ? grab() : m_last;
    QStringList command = arguments;
    // Menus and lists take each key once the previous one has been handled.
    if (command.first() == QLatin1String("key") && command.value(1) != QLatin1String("--delay"))
        command.insert(1, QStringLiteral("--delay")), command.insert(2, QStringLiteral("80"));
    if (!m_desk.run(QStringLiteral("xdotool"), command))
        return false;
    QDeadlineTimer deadline(5000);
    QImage previous = grab();
    while (!deadline.hasExpired()) {
        QTest::qWait(120);
        const QImage now = grab();
        if (now == previous && (now != before || !changes)) {
            m_last = now;
            return true;
        }
        previous = now;
    }
    m_last = previous;
    qWarning() << "the screen did not change after" << command;
    return false;
}

bool TestE2ESettings::click(QPoint point, int button)
{
    // No --sync: it would wait forever when the pointer is already there.
    return act({ QStringLiteral("mousemove"), QString::number(point.x()), QString::number(point.y()) }, false)
        && act({ QStringLiteral("click"), QString::number(button) });
}

bool TestE2ESettings::pointerAway()
{
    return act(
        { QStringLiteral("mousemove"), QString::number(m_client.right() + 300), QStringLiteral("5") }, false);
}

bool TestE2ESettings::menu(const QStringList& keys)
{
    return click(at(120, 14), 3) && act(QStringList { QStringLiteral("key") } + keys);
}

bool TestE2ESettings::settleFocus()
{
    return click(at(80, 40)) && act({ QStringLiteral("key"), QStringLiteral("Escape") }) && pointerAway();
}

bool TestE2ESettings::quitThroughTheMenu()
{
    const QStringList down(11, QStringLiteral("Down"));
    if (!menu(down + QStringList { QStringLiteral("Return") }))
        return false;
    // The confirmation's default button is No.
    m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("alt+y") });
    return m_program->waitForFinished(10000) && m_program->exitCode() == 0;
}

void TestE2ESettings::choicesSurviveARestart()
{
    const QString folder = m_home->root + QStringLiteral("/captures here");
    QDir().mkpath(folder);
    // With scheme #2 the next name fills the lowest gap; #1 would follow this file, date-and-time ignores it.
    writeFileAnew(folder + QStringLiteral("/Q-005.png"), "x");

    QVERIFY(startProgram());
    QVERIFY(settleFocus());
    const QImage defaults = grab().copy(m_client);

    const QString down = QStringLiteral("Down"), right = QStringLiteral("Right"),
                  enter = QStringLiteral("Return");
    // Source: active window. Target: JPG, which brings up its quality list: 70.
    QVERIFY(click(at(80, 40)));
    QVERIFY(act({ QStringLiteral("key"), down, down, down, enter }));
    QVERIFY(click(at(60, 92)));
    QVERIFY(act({ QStringLiteral("key"), down, enter }));
    QVERIFY(click(at(130, 92)));
    QVERIFY(act({ QStringLiteral("key"), down, down, enter }));
    QCOMPARE(stored(QStringLiteral("area")).toInt(), 3);
    QCOMPARE(stored(QStringLiteral("saveto")).toInt(), 1);
    QCOMPARE(stored(QStringLiteral("jpeg_quality")).toInt(), 3);

    // File names: the second item, sequential #2.
    QVERIFY(menu({ down, down, down, down, down, right, down, enter }));
    QCOMPARE(stored(QStringLiteral("append")).toInt(), 3);
    // Sound after the capture.
    QVERIFY(menu({ down, down, down, down, down, down, down, right, down, down, enter }));
    QCOMPARE(stored(QStringLiteral("sound")).toInt(), 3);
    // Recording: one hour, with sound, with a log.
    QVERIFY(menu({ down, down, down, down, down, down, right, right, down, down, enter }));
    QVERIFY(menu({ down, down, down, down, down, down, right, down, enter }));
    QVERIFY(menu({ down, down, down, down, down, down, right, down, down, enter }));
    QCOMPARE(stored(QStringLiteral("record_limit")).toInt(), 60);
    QCOMPARE(stored(QStringLiteral("audio")).toInt(), 1);
    QCOMPARE(stored(QStringLiteral("ffmpeg_log")).toInt(), 1);
    // Without the mouse cursor.
    QVERIFY(menu({ down, down, down, down, down, down, down, down, enter }));
    QCOMPARE(stored(QStringLiteral("mouse")).toInt(), 0);
    // The save folder, typed into the folder dialog (the program's only window of the default class).
    QVERIFY(menu({ down, down, enter }));
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
            QStringLiteral("--class"), QStringLiteral("^lumetra$") },
        nullptr, 15000));
    QVERIFY(act({ QStringLiteral("key"), QStringLiteral("ctrl+a") }));
    QVERIFY(act({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), folder }));
    QVERIFY(act({ QStringLiteral("key"), enter }));
    QTRY_COMPARE_WITH_TIMEOUT(stored(QStringLiteral("path")).toString(), folder, 10000);
    // French.
    QVERIFY(menu({ down, down, down, down, right, down, down, down, down, down, enter }));
    QCOMPARE(stored(QStringLiteral("language")).toString(), QStringLiteral("fr"));

    QVERIFY(settleFocus());
    const QImage chosen = grab().copy(m_client);
    QVERIFY(chosen != defaults);
    QList<QImage> menus;
    const QList<QStringList> walks = { { down, down, down, down, right },
        { down, down, down, down, down, right }, { down, down, down, down, down, down, right, right },
        { down, down, down, down, down, down, down, right } };
    for (const QStringList& walk : walks) {
        QVERIFY(menu(walk));
        menus.append(grab());
        QVERIFY(act({ QStringLiteral("key"), QStringLiteral("Escape"), QStringLiteral("Escape"),
            QStringLiteral("Escape") }));
    }
    QVERIFY(quitThroughTheMenu());
    const QByteArray before = readWholeFile(store());

    // Again: the window and every menu look as they were left, and start-up wrote nothing new.
    QVERIFY(startProgram());
    QCOMPARE(readWholeFile(store()), before);
    QVERIFY(settleFocus());
    QVERIFY(grab().copy(m_client) == chosen);
    for (qsizetype i = 0; i < walks.size(); ++i) {
        QVERIFY(menu(walks.at(i)));
        QVERIFY2(grab() == menus.at(i), qPrintable(QStringLiteral("menu %1").arg(i)));
        QVERIFY(act({ QStringLiteral("key"), QStringLiteral("Escape"), QStringLiteral("Escape"),
            QStringLiteral("Escape") }));
    }

    // And the restored folder and file-name scheme name the next capture, once the target is PNG again.
    QVERIFY(click(at(40, 92)));
    QVERIFY(act({ QStringLiteral("key"), QStringLiteral("Up"), enter }));
    QProcess command;
    command.setProcessEnvironment(m_home->environment(m_desk.environment()));
    command.start(Program, { QStringLiteral("--command"), QStringLiteral(R"({"command":"capture"})") });
    QVERIFY(command.waitForFinished(20000));
    QCOMPARE(command.readAllStandardOutput().trimmed(), QByteArray("1"));
    QVERIFY2(
        QFile::exists(folder + QStringLiteral("/Q-001.png")), qPrintable(QDir(folder).entryList().join(' ')));
}

LUMETRA_X11_TEST_MAIN(TestE2ESettings, XDesk::Server::Xvfb, true)
#include "tst_e2e_settings.moc"
