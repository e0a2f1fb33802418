#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "app/CommandHandler.h"
#include "capture/CaptureSource.h"
#include "capture/ScreenCapture.h"
#include "platform/InstanceProtocol.h"
#include "targets/Targets.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

// Two monitors side by side, each filled with its own pattern so that a capture shows where it came from.
QImage deskPicture()
{
    QImage desk(3200, 1080, QImage::Format_RGB32);
    for (int y = 0; y < desk.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(desk.scanLine(y));
        for (int x = 0; x < desk.width(); ++x)
            line[x] = x < 1280 ? qRgb(x & 0xFF, y & 0xFF, 40) : qRgb(200, (x * 3) & 0xFF, (y * 5) & 0xFF);
    }
    return desk;
}

const QString CaptureFailed = QStringLiteral("캡쳐가 실패하였습니다.\r\r");
const QString Refused = QStringLiteral("지원하지 않는 캡쳐영역입니다.");
const QString CaptureCommand = QStringLiteral(R"({"command":"capture"})");

} // namespace

// The capture command from the hotkey and from other processes, through the dispatch to a PNG file.
class TestDispatch : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void fullScreenTakesTheMonitorUnderThePointer();
    void nearestMonitor_data();
    void nearestMonitor();
    void pointerIsPaintedOnlyWhenChosen();
    void activeWindowAndWindowControl();
    void refusedCombinations_data();
    void refusedCombinations();
    void failuresAreReported_data();
    void failuresAreReported();
    void startDuringAFailureMessageIsIgnored();
    void missingEncoderSaysSoWhenChosen();
    void soundBeforeAndAfter();
    void commandTable_data();
    void commandTable();
    void captureCommandWhileDeliveringStartsNothing();
    void secondCopyMessages();
    void closeHidesAndQuitAsks();

private:
    QStringList savedFiles() const
    {
        return QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
    QImage saved(const QString& name) const
    {
        return QImage(m_home->desktop + QLatin1Char('/') + name).convertToFormat(QImage::Format_RGB32);
    }
    QList<ShownMessage>& shown() const { return m_platform->fakeMessages.shown; }
    qint32 command(const QString& text, quint32 param = InstanceProtocol::JsonCommand) const
    {
        return m_platform->fakeChannel.deliver(InstanceRequest { InstanceProtocol::WmCopyData, param, text });
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
};

void TestDispatch::initTestCase()
{
    QApplication::setQuitOnLastWindowClosed(false);
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    // No encoder here: the recordings are tried with the real one on the x11 and e2e floors.
    qputenv("PATH", QFile::encodeName(m_home->root));
}

void TestDispatch::init()
{
    QDir(m_home->config).removeRecursively();
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    m_platform = std::make_unique<FakePlatform>();
    m_platform->fakeScreen.setDesktop(deskPicture());
    m_platform->fakeScreen.setMonitors(
        { Monitor { QRect(1280, 0, 1920, 1080), true, QStringLiteral("DUMMY0") },
            Monitor { QRect(0, 0, 1280, 1024), false, QStringLiteral("DUMMY1") } });
    m_platform->fakeScreen.setCursor(QPoint(100, 100));
    m_program = std::make_unique<TestProgram>(*m_platform);
    // The default save folder, the desktop, is where every capture below is looked for.
    m_program->start();
}

void TestDispatch::cleanup()
{
    m_program.reset();
    m_platform.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestDispatch::fullScreenTakesTheMonitorUnderThePointer()
{
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    m_program->capture();
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QVERIFY(shown().isEmpty());
    QCOMPARE(savedFiles(), QStringList { QStringLiteral("Q-001.png") });
    QCOMPARE(saved(QStringLiteral("Q-001.png")), deskPicture().copy(0, 0, 1280, 1024));

    // The pointer on the primary monitor, right of the first; the numbers follow each other.
    m_platform->fakeScreen.setCursor(QPoint(2000, 500));
    m_program->capture();
    m_program->capture();
    QCOMPARE(savedFiles(),
        (QStringList {
            QStringLiteral("Q-001.png"), QStringLiteral("Q-002.png"), QStringLiteral("Q-003.png") }));
    QCOMPARE(saved(QStringLiteral("Q-002.png")), deskPicture().copy(1280, 0, 1920, 1080));
}

void TestDispatch::nearestMonitor_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QRect>("expected");
    const QRect left(0, 0, 1280, 1024), primary(1280, 0, 1920, 1080);
    QTest::newRow("first column of the primary") << QPoint(1280, 5) << primary;
    QTest::newRow("last column of the left") << QPoint(1279, 5) << left;
    // Outside every monitor (a pointer can be there on some servers): the closest one.
    QTest::newRow("gap below the shorter monitor") << QPoint(100, 1060) << left;
    QTest::newRow("gap near the primary") << QPoint(1270, 1070) << primary;
    QTest::newRow("far above and left") << QPoint(-500, -500) << left;
}

void TestDispatch::nearestMonitor()
{
    QFETCH(QPoint, point);
    QFETCH(QRect, expected);
    const QList<Monitor> monitors { Monitor { QRect(1280, 0, 1920, 1080), true, {} },
        Monitor { QRect(0, 0, 1280, 1024), false, {} } };
    QCOMPARE(ScreenCapture::NearestMonitor(monitors, point), expected);
}

void TestDispatch::pointerIsPaintedOnlyWhenChosen()
{
    QImage arrow(4, 4, QImage::Format_ARGB32_Premultiplied);
    arrow.fill(qRgb(255, 0, 255));
    // Hot spot at the image's bottom-right corner: the image lies up and left of the pointer position.
    m_platform->fakeScreen.setCursor(QPoint(10, 10), arrow, QPoint(3, 3));
    QVERIFY(m_program->checked(QStringLiteral("ChkMouse")));
    m_program->capture();
    const QImage with = saved(QStringLiteral("Q-001.png"));
    QCOMPARE(with.pixel(7, 7), qRgb(255, 0, 255));
    QCOMPARE(with.pixel(10, 10), qRgb(255, 0, 255));
    QCOMPARE(with.pixel(11, 11), deskPicture().pixel(11, 11));
    QCOMPARE(with.pixel(6, 6), deskPicture().pixel(6, 6));

    m_program->click(QStringLiteral("ChkMouse"));
    QVERIFY(!m_program->settings().showPointer());
    m_program->capture();
    QCOMPARE(saved(QStringLiteral("Q-002.png")).pixel(10, 10), deskPicture().pixel(10, 10));
}

void TestDispatch::activeWindowAndWindowControl()
{
    m_program->click(QStringLiteral("ChkMouse"));
    m_platform->fakeScreen.addWindow(0x111, QRect(1300, 50, 200, 100));
    m_platform->fakeScreen.addWindow(0x222, QRect(100, 600, 50, 40));
    m_platform->fakeScreen.setActiveWindow(0x111);
    m_program->chooseSource(csActiveWindow);
    m_program->capture();
    QCOMPARE(saved(QStringLiteral("Q-001.png")), deskPicture().copy(1300, 50, 200, 100));

    m_platform->fakeScreen.setCursor(QPoint(120, 610));
    m_program->chooseSource(csWindowControl);
    m_program->capture();
    QCOMPARE(saved(QStringLiteral("Q-002.png")), deskPicture().copy(100, 600, 50, 40));
}

void TestDispatch::refusedCombinations_data()
{
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("refused");
    QTest::newRow("MP4 with drag") << int(csDrag) << int(stMP4) << true;
    QTest::newRow("MP4 with active window") << int(csActiveWindow) << int(stMP4) << true;
    QTest::newRow("MP4 with window control") << int(csWindowControl) << int(stMP4) << true;
    QTest::newRow("MP4 with web page") << int(csWebPage) << int(stMP4) << true;
    QTest::newRow("MP4 with full screen") << int(csFullScreen) << int(stMP4) << false;
    QTest::newRow("MP4 with region") << int(csRegion) << int(stMP4) << false;
    QTest::newRow("floating with web page") << int(csWebPage) << int(stFloating) << true;
    QTest::newRow("colour pick with floating") << int(csColorPick) << int(stFloating) << false;
    QTest::newRow("colour pick with MP4") << int(csColorPick) << int(stMP4) << false;
}

void TestDispatch::refusedCombinations()
{
    QFETCH(int, source);
    QFETCH(int, target);
    QFETCH(bool, refused);
    // Set without the lists' own handling: no web page window opens, and MP4 stays chosen although its
    // encoder is missing (as when it goes after being chosen).
    m_program->list(QStringLiteral("ChkArea"))->setCurrentIndex(source);
    m_program->list(QStringLiteral("ChkSaveTo"))->setCurrentIndex(target);
    // Through the command channel: a refused combination still counts as carried out.
    QCOMPARE(command(CaptureCommand), 1);
    if (refused) {
        QCOMPARE(shown().size(), 1);
        QCOMPARE(shown().first().icon, MessageIcon::Information);
        QCOMPARE(shown().first().text, Refused);
        QCOMPARE(shown().first().title, m_program->window().windowTitle());
    } else {
        for (const ShownMessage& message : std::as_const(shown()))
            QVERIFY(message.text != Refused);
    }
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QVERIFY(!m_program->program().recording().isRecording());
    QVERIFY(savedFiles().isEmpty());
}

void TestDispatch::failuresAreReported_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing folder") << "folder" << QString(); // the reason names the file
    QTest::newRow("unreadable screen") << "screen" << QStringLiteral("The screen could not be read.");
    // The region source without its frame: an empty picture.
    QTest::newRow("region without frame") << "region" << QString();
}

void TestDispatch::failuresAreReported()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    const QString missing = m_home->root + QStringLiteral("/missing");
    m_program->click(QStringLiteral("ChkSound3"));
    if (failure == QLatin1String("folder"))
        m_program->settings().setSaveFolder(missing);
    else if (failure == QLatin1String("screen"))
        m_platform->fakeScreen.setBroken(true);
    else
        m_program->list(QStringLiteral("ChkArea"))->setCurrentIndex(csRegion);
    m_program->capture();
    QCOMPARE(shown().size(), 1);
    const ShownMessage& message = shown().first();
    QCOMPARE(message.icon, MessageIcon::Error);
    QVERIFY2(message.text.startsWith(CaptureFailed), qPrintable(message.text));
    if (!reason.isEmpty())
        QCOMPARE(message.text, CaptureFailed + reason);
    if (failure == QLatin1String("folder")) {
        QVERIFY2(message.text.contains(missing + QStringLiteral("/Q-001.png")), qPrintable(message.text));
        QVERIFY(!QDir(missing).exists());
    }
    // No after-capture sound for a capture that failed.
    QCOMPARE(m_platform->fakeSound.plays, 0);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QVERIFY(savedFiles().isEmpty());
}

void TestDispatch::startDuringAFailureMessageIsIgnored()
{
    m_program->settings().setSaveFolder(m_home->root + QStringLiteral("/missing"));
    int nested = 0;
    m_platform->fakeMessages.whileShown = [&](const ShownMessage&) {
        // The hotkey pressed again while the box is open.
        ++nested;
        QCOMPARE(m_program->state(), CaptureDispatcher::State::Capturing);
        m_program->capture();
    };
    m_program->capture();
    QCOMPARE(nested, 1);
    QCOMPARE(shown().size(), 1);
    QCOMPARE(m_platform->fakeScreen.copyCount(), 1);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
}

void TestDispatch::missingEncoderSaysSoWhenChosen()
{
    // Chosen in the list, MP4 names the missing encoder and the list goes back to PNG, which is stored.
    m_program->click(QStringLiteral("ChkSound2"));
    m_program->chooseTarget(stMP4);
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown().first().text, QStringLiteral("\"ffmpeg\" 파일이 없습니다."));
    QCOMPARE(shown().first().icon, MessageIcon::Information);
    QCOMPARE(m_platform->fakeShell.opened.size(), 1);
    QCOMPARE(m_platform->fakeShell.opened.last().query(), QStringLiteral("app=lumetra&msg=ffmpegnotfound"));
    QCOMPARE(m_program->target(), int(stPNG));
    QCOMPARE(m_program->settings().target(), int(stPNG));

    // Still set in the list, the capture command does nothing visible: no sound, no screen read, no file.
    shown().clear();
    m_program->list(QStringLiteral("ChkSaveTo"))->setCurrentIndex(stMP4);
    m_program->capture();
    QVERIFY(shown().isEmpty());
    QCOMPARE(m_platform->fakeSound.plays, 0);
    QCOMPARE(m_platform->fakeScreen.copyCount(), 0);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QVERIFY(!m_program->program().recording().isRecording());
    QVERIFY(savedFiles().isEmpty());
}

void TestDispatch::soundBeforeAndAfter()
{
    const std::pair<const char*, int> cases[]
        = { { "ChkSound1", 0 }, { "ChkSound2", 1 }, { "ChkSound3", 1 } };
    for (const auto& [item, plays] : cases) {
        m_program->click(QLatin1String(item));
        m_platform->fakeSound.plays = 0;
        m_program->capture();
        QVERIFY2(m_platform->fakeSound.plays == plays, item);
    }
    QVERIFY(m_platform->fakeSound.lastWave.startsWith("RIFF"));
    QCOMPARE(savedFiles().size(), 3);
}

void TestDispatch::commandTable_data()
{
    QTest::addColumn<quint32>("param");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("opened");
    QTest::newRow("capture") << 1u << CaptureCommand << 1 << 1 << 0;
    QTest::newRow("about") << 1u << R"({"command":"about"})" << 1 << 0 << 1;
    QTest::newRow("extra members are fine") << 1u << R"( {"x":[1,2],"command":"capture"} )" << 1 << 1 << 0;
    QTest::newRow("wrong parameter") << 2u << CaptureCommand << 0 << 0 << 0;
    QTest::newRow("empty text") << 1u << "" << 0 << 0 << 0;
    QTest::newRow("not JSON") << 1u << "capture" << 0 << 0 << 0;
    QTest::newRow("array") << 1u << R"([{"command":"capture"}])" << 0 << 0 << 0;
    QTest::newRow("string") << 1u << R"("capture")" << 0 << 0 << 0;
    QTest::newRow("capital C") << 1u << R"({"command":"Capture"})" << 0 << 0 << 0;
    QTest::newRow("unknown command") << 1u << R"({"command":"show"})" << 0 << 0 << 0;
    QTest::newRow("missing command") << 1u << R"({"order":"capture"})" << 0 << 0 << 0;
    QTest::newRow("command not text") << 1u << R"({"command":{"capture":1}})" << 0 << 0 << 0;
    QTest::newRow("trailing garbage") << 1u << R"({"command":"capture"}x)" << 0 << 0 << 0;
}

void TestDispatch::commandTable()
{
    QFETCH(quint32, param);
    QFETCH(QString, text);
    QFETCH(int, answer);
    QFETCH(int, files);
    QFETCH(int, opened);
    QCOMPARE(command(text, param), answer);
    QCOMPARE(savedFiles().size(), files);
    QCOMPARE(m_platform->fakeShell.opened.size(), opened);
    if (opened)
        QCOMPARE(m_platform->fakeShell.opened.first().query(), QStringLiteral("v=1.0.0.1"));
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
}

void TestDispatch::captureCommandWhileDeliveringStartsNothing()
{
    // An upload the store does not answer yet keeps the dispatch busy.
    m_platform->fakeHttp.respond = [](const FakeHttpClient::Seen&) {
        return HttpReply { {}, 200, R"({"status":"success","url":"http:\/\/img.example\/a.png"})" };
    };
    m_platform->fakeHttp.hold();
    m_program->chooseTarget(stImageStore);
    m_program->capture();
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Delivering);
    const int copies = m_platform->fakeScreen.copyCount();
    // Answered as carried out, but nothing is taken.
    QCOMPARE(command(CaptureCommand), 1);
    QCOMPARE(m_platform->fakeScreen.copyCount(), copies);
    QVERIFY(shown().isEmpty());
    m_platform->fakeHttp.release();
    QTRY_COMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    QCOMPARE(m_platform->fakeShell.opened, QList<QUrl> { QUrl(QStringLiteral("http://img.example/a.png")) });
}

void TestDispatch::secondCopyMessages()
{
    QSignalSpy ended(&m_program->program(), &Lumetra::ended);
    auto windowMessage = [&](quint32 param) {
        return m_platform->fakeChannel.deliver(InstanceRequest { InstanceProtocol::WmUser, param, {} });
    };
    m_program->window().hide();
    windowMessage(InstanceProtocol::ShowCommand);
    QVERIFY(m_program->window().isVisible());
    QCOMPARE(m_platform->fakeWindows.foregrounds, 1);
    windowMessage(3);
    QVERIFY(m_program->window().isVisible());
    QCOMPARE(ended.size(), 0);
    windowMessage(InstanceProtocol::QuitCommand);
    QCOMPARE(ended.size(), 1);

    // Before the program has its notification-area icon, a second copy's messages are ignored.
    CommandHandler early;
    QSignalSpy shows(&early, &CommandHandler::showRequested);
    QSignalSpy quits(&early, &CommandHandler::quitRequested);
    QCOMPARE(
        early.handle(InstanceRequest { InstanceProtocol::WmUser, InstanceProtocol::ShowCommand, {} }), 0);
    QCOMPARE(
        early.handle(InstanceRequest { InstanceProtocol::WmUser, InstanceProtocol::QuitCommand, {} }), 0);
    QCOMPARE(shows.size() + quits.size(), 0);
}

void TestDispatch::closeHidesAndQuitAsks()
{
    QSignalSpy ended(&m_program->program(), &Lumetra::ended);
    m_program->window().show();
    m_program->window().close();
    QVERIFY(!m_program->window().isVisible());
    QCOMPARE(ended.size(), 0);

    m_program->window().show();
    m_platform->fakeMessages.answers = { MessageResult::No };
    m_program->click(QStringLiteral("N10"));
    QCOMPARE(shown().last().buttons, MessageButtons::YesNo);
    QCOMPARE(shown().last().icon, MessageIcon::Question);
    QCOMPARE(shown().last().text, QStringLiteral("정말 종료하시겠습니까?"));
    QCOMPARE(ended.size(), 0);
    QVERIFY(m_program->window().isVisible());
    m_platform->fakeMessages.answers = { MessageResult::Yes };
    m_program->click(QStringLiteral("N10"));
    QCOMPARE(ended.size(), 1);

    // Log-off ends the program without a question.
    m_program->window().show();
    const auto boxes = shown().size();
    m_platform->fakeSession.end();
    QCOMPARE(ended.size(), 2);
    QCOMPARE(shown().size(), boxes);
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"
