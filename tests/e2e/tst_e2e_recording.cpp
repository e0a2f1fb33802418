#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSettings>

#include <csignal>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");

// The length of a finished video; 0 while the file cannot be read as one.
double duration(const QString& file)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
        { QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
            QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"), file });
    ffprobe.waitForFinished(30000);
    return ffprobe.exitCode() == 0 ? QString::fromLatin1(ffprobe.readAllStandardOutput()).trimmed().toDouble()
                                   : 0;
}

// Processes whose command line names the file.
int processesWriting(const QString& file)
{
    int count = 0;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : entries) {
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid.toInt() > 0 && commandLine.open(QIODevice::ReadOnly)
            && commandLine.readAll().split('\0').contains(file.toUtf8()))
            ++count;
    }
    return count;
}

} // namespace

// The built program recording with the real encoder: the recording survives a refused quit, the session's
// end finishes it, and a killed program leaves a finished file behind instead of an encoder that records
// forever.
class TestE2ERecording : public QObject
{
    Q_OBJECT
public:
    explicit TestE2ERecording(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void quitDuringARecordingIsRefused();
    void killedProgramLeavesAFinishedFile();
    void sessionEndFinishesTheRecording();

private:
    void startLumetra();
    bool capture();
    QString messageBox();
    std::string socket() const { return m_home->runtime.toStdString() + "/TFrmLumetra"; }
    QString video() const { return m_home->desktop + QStringLiteral("/Q-001.mp4"); }

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_lumetra;
};

void TestE2ERecording::initTestCase()
{
    QString error;
    for (const auto& [tool, package] : { std::pair { "xdotool", "xdotool" }, std::pair { "ffmpeg", "ffmpeg" },
             std::pair { "ffprobe", "ffmpeg" } })
        QVERIFY2(haveTool(QLatin1String(tool), QLatin1String(package), &error), qPrintable(error));
}

void TestE2ERecording::init()
{
    m_home = std::make_unique<TestHome>();
    QSettings store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat);
    store.setValue(QStringLiteral("saveto"), 5);
    store.setValue(QStringLiteral("area"), 0);
}

void TestE2ERecording::cleanup()
{
    if (m_lumetra && m_lumetra->state() != QProcess::NotRunning) {
        m_lumetra->kill();
        m_lumetra->waitForFinished();
    }
    m_lumetra.reset();
    // Whatever the test left, no encoder goes on.
    QTRY_COMPARE_WITH_TIMEOUT(processesWriting(video()), 0, 10000);
    m_home.reset();
}

void TestE2ERecording::startLumetra()
{
    m_lumetra = std::make_unique<QProcess>();
    m_lumetra->setProcessEnvironment(m_home->environment(m_desk.environment()));
    m_lumetra->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_lumetra->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_lumetra->start(Program, { QStringLiteral("/start") });
    QTRY_VERIFY_WITH_TIMEOUT(InstanceClient::isRunning(socket()), 30000);
}

bool TestE2ERecording::capture()
{
    const auto answer
        = InstanceClient::sendCopyData(socket(), 1, InstanceClient::utf8ToUtf16(R"({"command":"capture"})"));
    return answer && *answer == 1;
}

QString TestE2ERecording::messageBox()
{
    // The main window is hidden: the program's only visible window is a box.
    QString output;
    m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
            QStringLiteral("^lumetra$") },
        &output);
    return output.section(u'\n', 0, 0).trimmed();
}

void TestE2ERecording::quitDuringARecordingIsRefused()
{
    startLumetra();
    QVERIFY(capture());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(video()), 10000);
    QCOMPARE(processesWriting(video()), 1);
    // "/uninst" waits for the answer, which comes once the box is dismissed.
    QProcess uninstall;
    uninstall.setProcessEnvironment(m_home->environment(m_desk.environment()));
    uninstall.start(Program, { QStringLiteral("/uninst") });
    QTRY_VERIFY_WITH_TIMEOUT(!messageBox().isEmpty(), 10000);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), messageBox(), QStringLiteral("key"),
            QStringLiteral("Return") }));
    QVERIFY(uninstall.waitForFinished(10000));
    QTRY_VERIFY(messageBox().isEmpty());
    QCOMPARE(m_lumetra->state(), QProcess::Running);
    QCOMPARE(processesWriting(video()), 1);
    // The same command stops it; the file is finished once the encoder has gone.
    QTest::qWait(1000);
    QVERIFY(capture());
    QTRY_COMPARE_WITH_TIMEOUT(processesWriting(video()), 0, 10000);
    QVERIFY(duration(video()) > 1.0);
    // Once the recording has ended, the quit that was asked for earlier goes through.
    QVERIFY(InstanceClient::sendUser(socket(), 2).has_value());
    QVERIFY(m_lumetra->waitForFinished(10000));
}

void TestE2ERecording::killedProgramLeavesAFinishedFile()
{
    startLumetra();
    QVERIFY(capture());
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(video()), 10000);
    QTest::qWait(2500);
    m_lumetra->kill();
    const double killedAt = clock.elapsed() / 1000.0;
    m_lumetra->waitForFinished();
    QTRY_COMPARE_WITH_TIMEOUT(processesWriting(video()), 0, 10000);
    const double length = duration(video());
    // The recording started after the command's answer, and stopped when the program died.
    QVERIFY2(length > killedAt - 1.0 && length <= killedAt + 0.1,
        qPrintable(QStringLiteral("%1 s of video (%3 bytes), killed after %2 s")
                       .arg(length)
                       .arg(killedAt)
                       .arg(QFileInfo(video()).size())));
}

void TestE2ERecording::sessionEndFinishesTheRecording()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("pulseaudio"), QStringLiteral("pulseaudio"), &error), qPrintable(error));
    // With sound from a private server, as on a desktop: the encoder has two streams to finish.
    QProcess sound;
    sound.setProcessEnvironment(m_home->environment(m_desk.environment()));
    sound.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sound.start(QStringLiteral("pulseaudio"),
        { QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
            QStringLiteral("--disallow-exit"), QStringLiteral("-L"),
            QStringLiteral("module-native-protocol-unix"), QStringLiteral("-L"),
            QStringLiteral("module-null-sink sink_name=nul") });
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_home->runtime + QStringLiteral("/pulse/native")), 10000);
    QSettings(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat)
        .setValue(QStringLiteral("audio"), true);

    startLumetra();
    QVERIFY(capture());
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(video()), 10000);
    QTest::qWait(int(std::max<qint64>(0, 3000 - clock.elapsed())));
    QCOMPARE(processesWriting(video()), 1);
    ::kill(pid_t(m_lumetra->processId()), SIGTERM);
    const double signalledAt = clock.elapsed() / 1000.0;
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    // A box stays until it is answered; a window seen once may be one the ending program is taking down.
    QString box, seen;
    while (m_lumetra->state() != QProcess::NotRunning && sinceSignal.elapsed() < 4000) {
        const QString now = messageBox();
        if (!now.isEmpty() && now == seen)
            box = now;
        seen = now;
        m_lumetra->waitForFinished(100);
    }
    const qint64 ended = sinceSignal.elapsed();
    QVERIFY2(box.isEmpty(), "a message box was shown at the session's end");
    QVERIFY2(m_lumetra->state() == QProcess::NotRunning,
        qPrintable(QStringLiteral("still running %1 ms after the signal").arg(ended)));
    // Ended by itself, not by the signal's default action.
    QCOMPARE(m_lumetra->exitStatus(), QProcess::NormalExit);
    QCOMPARE(processesWriting(video()), 0);
    const double length = duration(video());
    qInfo("%.2f s of video, signalled after %.2f s, ended %lld ms later", length, signalledAt, ended);
    QVERIFY2(std::abs(length - signalledAt) < 1.0,
        qPrintable(QStringLiteral("%1 s of video (%3 bytes), signalled after %2 s, ended %4 ms later")
                       .arg(length)
                       .arg(signalledAt)
                       .arg(QFileInfo(video()).size())
                       .arg(ended)));
    sound.kill();
    sound.waitForFinished();
}

LUMETRA_X11_TEST_MAIN(TestE2ERecording, XDesk::Server::Xvfb, true)
#include "tst_e2e_recording.moc"
