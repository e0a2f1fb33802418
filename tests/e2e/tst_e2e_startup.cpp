// The start-up on a desktop that already holds Print Screen, as Debian's openbox, GNOME and Xfce do: the
// program says so and offers its hotkey dialog, and meanwhile it takes commands like any running copy.

#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QDir>
#include <QImage>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");

} // namespace

class TestE2EStartup : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EStartup(XDesk& desk) : m_desk(desk) { }

private slots:
    void commandsReachTheProgramDuringTheHotkeyMessage();

private:
    QString xdotool(const QStringList& arguments)
    {
        QString output;
        m_desk.run(QStringLiteral("xdotool"), arguments, &output);
        return output.trimmed();
    }
    // The program's visible windows of the given X class ("TFrmLumetra" the main window, "lumetra" the
    // others).
    QStringList windows(const QString& className)
    {
        return xdotool({ QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                           QLatin1Char('^') + className + QLatin1Char('$') })
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QString windowName(const QString& window) { return xdotool({ QStringLiteral("getwindowname"), window }); }

    XDesk& m_desk;
};

void TestE2EStartup::commandsReachTheProgramDuringTheHotkeyMessage()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xdotool"), QStringLiteral("xdotool"), &error), qPrintable(error));
    TestHome home;
    const std::string socket = home.runtime.toStdString() + "/TFrmLumetra";
    QProcess first;
    first.setProcessEnvironment(home.environment(m_desk.environment()));
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start(Program, { QStringLiteral("/start") });

    // The desktop's own binding of Print makes the start-up say that the key is taken.
    QString box;
    QTRY_VERIFY_WITH_TIMEOUT(!(box = windows(QStringLiteral("lumetra")).value(0)).isEmpty(), 30000);
    QTest::qWait(1000);

    // One second later the program answers and captures, while the message is still on the screen.
    const auto answer
        = InstanceClient::sendCopyData(socket, 1, InstanceClient::utf8ToUtf16(R"({"command":"capture"})"));
    QVERIFY2(answer.has_value(), "no running copy answers during the start-up message");
    QCOMPARE(*answer, 1);
    const QImage saved(home.desktop + QStringLiteral("/Q-001.png"));
    QCOMPARE(saved.size(), QSize(1920, 1080));
    QCOMPARE(windows(QStringLiteral("lumetra")).value(0), box);

    // A second start hands over to the first copy, which shows its window, and goes.
    QVERIFY(windows(QStringLiteral("TFrmLumetra")).isEmpty());
    QProcess second;
    second.setProcessEnvironment(home.environment(m_desk.environment()));
    second.start(Program, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY(!windows(QStringLiteral("TFrmLumetra")).isEmpty());

    // The start-up goes on once the message is answered: the hotkey dialog comes next.
    xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), box });
    xdotool({ QStringLiteral("key"), QStringLiteral("--window"), box, QStringLiteral("Return") });
    QTRY_VERIFY_WITH_TIMEOUT(windows(QStringLiteral("lumetra")).contains(box) == false, 10000);
    QString dialog;
    QTRY_VERIFY_WITH_TIMEOUT(!(dialog = windows(QStringLiteral("lumetra")).value(0)).isEmpty(), 10000);
    QVERIFY2(!windowName(dialog).isEmpty(), qPrintable(dialog));

    // The quit of a second copy ends the program even with the dialog still open.
    InstanceClient::sendUser(socket, 2);
    QVERIFY(first.waitForFinished(20000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
}

int main(int argc, char** argv)
{
    QString error;
    // openbox as Debian ships it, with Print bound to its own screenshot command.
    auto desk = XDesk::start(XDesk::Server::Xvfb, true, &error, { 1920, 1080 }, true);
    if (!desk) {
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(error));
        return 1;
    }
    qputenv("DISPLAY", desk->display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestE2EStartup test(*desk);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_startup.moc"
