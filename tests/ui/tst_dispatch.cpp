#include "TestHome.h"
#include "TestMain.h"
#include "app/Main.h"
#include "platform/InstanceProtocol.h"
#include "platform/fake/FakePlatform.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStackedWidget>

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

} // namespace

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
    void numberedFilesFollowEachOther();
    void pointerIsPaintedOnlyWhenChosen();
    void activeWindowAndWindowControl();
    void refusedCombinations_data();
    void refusedCombinations();
    void busyDispatchIgnoresStart();
    void startDuringAFailureMessageIsIgnored();
    void saveIntoMissingFolderReportsTheFile();
    void unreadableScreenIsReported();
    void absentTargetsSaySoFirst();
    void soundBeforeAndAfter();
    void copyDataTable_data();
    void copyDataTable();
    void captureCommandWhileBusyStartsNothing();
    void userMessages();
    void closeHidesAndQuitAsks();

private:
    QStringList savedFiles() const;

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TFrmLumetra> m_form;
};

void TestDispatch::initTestCase()
{
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
    m_form = std::make_unique<TFrmLumetra>(*m_platform, QStringList());
    m_form->FormCreate();
    m_form->SavePath = m_home->desktop;
}

void TestDispatch::cleanup()
{
    m_form.reset();
    m_platform.reset();
}

QStringList TestDispatch::savedFiles() const
{
    return QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

void TestDispatch::fullScreenTakesTheMonitorUnderThePointer()
{
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    m_form->ChkMouse->setChecked(false);
    m_form->Start();
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
    QCOMPARE(savedFiles(), QStringList { QStringLiteral("Q-001.png") });
    const QImage saved(m_home->desktop + QStringLiteral("/Q-001.png"));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), deskPicture().copy(0, 0, 1280, 1024));

    // The pointer on the primary monitor, right of the first.
    m_platform->fakeScreen.setCursor(QPoint(2000, 500));
    m_form->Start();
    const QImage second(m_home->desktop + QStringLiteral("/Q-002.png"));
    QCOMPARE(second.convertToFormat(QImage::Format_RGB32), deskPicture().copy(1280, 0, 1920, 1080));
}

void TestDispatch::nearestMonitor_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QRect>("expected");
    const QRect left(0, 0, 1280, 1024), primary(1280, 0, 1920, 1080);
    QTest::newRow("inside the left monitor") << QPoint(10, 10) << left;
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
    QCOMPARE(TCapture::NearestMonitor(monitors, point), expected);
}

void TestDispatch::numberedFilesFollowEachOther()
{
    m_form->Start();
    m_form->Start();
    m_form->Start();
    QCOMPARE(savedFiles(),
        (QStringList {
            QStringLiteral("Q-001.png"), QStringLiteral("Q-002.png"), QStringLiteral("Q-003.png") }));
}

void TestDispatch::pointerIsPaintedOnlyWhenChosen()
{
    QImage arrow(4, 4, QImage::Format_ARGB32_Premultiplied);
    arrow.fill(qRgb(255, 0, 255));
    // Hot spot at the image's bottom-right corner: the image lies up and left of the pointer position.
    m_platform->fakeScreen.setCursor(QPoint(10, 10), arrow, QPoint(3, 3));
    m_form->ChkMouse->setChecked(true);
    m_form->Start();
    const QImage with
        = QImage(m_home->desktop + QStringLiteral("/Q-001.png")).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(with.pixel(7, 7), qRgb(255, 0, 255));
    QCOMPARE(with.pixel(10, 10), qRgb(255, 0, 255));
    QCOMPARE(with.pixel(11, 11), deskPicture().pixel(11, 11));
    QCOMPARE(with.pixel(6, 6), deskPicture().pixel(6, 6));

    m_form->ChkMouse->setChecked(false);
    m_form->Start();
    const QImage without
        = QImage(m_home->desktop + QStringLiteral("/Q-002.png")).convertToFormat(QImage::Format_RGB32);
    QCOMPARE(without.pixel(10, 10), deskPicture().pixel(10, 10));
}

void TestDispatch::activeWindowAndWindowControl()
{
    m_form->ChkMouse->setChecked(false);
    m_platform->fakeScreen.addWindow(0x111, QRect(1300, 50, 200, 100));
    m_platform->fakeScreen.addWindow(0x222, QRect(100, 600, 50, 40));
    m_platform->fakeScreen.setActiveWindow(0x111);
    m_form->ChkArea->setCurrentIndex(csActiveWindow);
    m_form->Start();
    QImage saved(m_home->desktop + QStringLiteral("/Q-001.png"));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), deskPicture().copy(1300, 50, 200, 100));

    m_platform->fakeScreen.setCursor(QPoint(120, 610));
    m_form->ChkArea->setCurrentIndex(csWindowControl);
    m_form->Start();
    saved = QImage(m_home->desktop + QStringLiteral("/Q-002.png"));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), deskPicture().copy(100, 600, 50, 40));
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
    m_form->ChkArea->setCurrentIndex(source);
    m_form->ChkSaveTo->setCurrentIndex(target);
    m_form->Start();
    if (refused) {
        QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
        const ShownMessage& message = m_platform->fakeMessages.shown.first();
        QCOMPARE(message.icon, MessageIcon::Information);
        QCOMPARE(message.text, Refused);
        QCOMPARE(message.title, m_form->windowTitle());
    } else {
        for (const ShownMessage& message : std::as_const(m_platform->fakeMessages.shown))
            QVERIFY(message.text != Refused);
    }
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    QVERIFY(savedFiles().isEmpty());
}

void TestDispatch::busyDispatchIgnoresStart()
{
    for (auto status : { TFrmLumetra::stRunning, TFrmLumetra::stBusy }) {
        m_form->FStatus = status;
        m_form->Start();
        QCOMPARE(m_form->FStatus, status);
    }
    QVERIFY(savedFiles().isEmpty());
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
    QCOMPARE(m_platform->fakeScreen.copyCount(), 0);
}

void TestDispatch::startDuringAFailureMessageIsIgnored()
{
    m_form->SavePath = m_home->root + QStringLiteral("/missing");
    int nested = 0;
    m_platform->fakeMessages.whileShown = [&](const ShownMessage&) {
        // The hotkey pressed again while the box is open.
        ++nested;
        QCOMPARE(m_form->FStatus, TFrmLumetra::stRunning);
        m_form->Start();
    };
    m_form->Start();
    QCOMPARE(nested, 1);
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
}

void TestDispatch::saveIntoMissingFolderReportsTheFile()
{
    const QString missing = m_home->root + QStringLiteral("/missing");
    m_form->SavePath = missing;
    m_form->Start();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    const ShownMessage& message = m_platform->fakeMessages.shown.first();
    QCOMPARE(message.icon, MessageIcon::Error);
    QVERIFY2(message.text.startsWith(CaptureFailed), qPrintable(message.text));
    QVERIFY2(message.text.contains(missing + QStringLiteral("/Q-001.png")), qPrintable(message.text));
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    QVERIFY(!QDir(missing).exists());
}

void TestDispatch::unreadableScreenIsReported()
{
    m_platform->fakeScreen.setBroken(true);
    m_form->Start();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text,
        CaptureFailed + QStringLiteral("The screen could not be read."));
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    QVERIFY(savedFiles().isEmpty());
}

void TestDispatch::absentTargetsSaySoFirst()
{
    // What this version does not have says so before anything happens: no sound, no screen read, no file.
    m_form->ChkSound2->setChecked(true);
    auto saysSo = [&](const QString& text) {
        QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
        QCOMPARE(m_platform->fakeMessages.shown.first().text, text);
        QCOMPARE(m_platform->fakeMessages.shown.first().icon, MessageIcon::Information);
        QCOMPARE(m_platform->fakeSound.plays, 0);
        QCOMPARE(m_platform->fakeScreen.copyCount(), 0);
        QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
        QVERIFY(savedFiles().isEmpty());
        m_platform->fakeMessages.shown.clear();
    };
    // MP4 without its encoder: the command does nothing visible; choosing it names the missing encoder.
    m_form->ChkSaveTo->setCurrentIndex(stMP4);
    m_form->Start();
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    QVERIFY(!m_form->IsRecording());
    m_form->ChkSaveToChange();
    saysSo(QStringLiteral("\"ffmpeg\" 파일이 없습니다."));
    QCOMPARE(m_form->ChkSaveTo->currentIndex(), int(stPNG));
    QCOMPARE(m_platform->fakeShell.opened.last().query(), QStringLiteral("app=lumetra&msg=ffmpegnotfound"));
    // Text recognition without a language.
    const QString noLanguage = QStringLiteral("OCR 을 지원하지 않는 윈도우 환경입니다.");
    m_form->ChkSaveTo->setCurrentIndex(stTXT);
    m_form->Start();
    saysSo(noLanguage);
    // Chosen in the list, the target goes back to PNG, which is what is stored.
    m_form->ChkSaveToChange();
    saysSo(noLanguage);
    QCOMPARE(m_form->ChkSaveTo->currentIndex(), int(stPNG));

    // With the region source and no frame, the bitmap is empty and nothing is written.
    m_form->ChkArea->setCurrentIndex(csRegion);
    m_form->Start();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QVERIFY(m_platform->fakeMessages.shown.first().text.startsWith(CaptureFailed));
    QVERIFY(savedFiles().isEmpty());
}

void TestDispatch::soundBeforeAndAfter()
{
    struct Case
    {
        QAction* item;
        int plays;
    };
    for (const Case& c :
        { Case { m_form->ChkSound1, 0 }, Case { m_form->ChkSound2, 1 }, Case { m_form->ChkSound3, 1 } }) {
        for (QAction* item : { m_form->ChkSound1, m_form->ChkSound2, m_form->ChkSound3 })
            item->setChecked(item == c.item);
        m_platform->fakeSound.plays = 0;
        m_form->Start();
        QCOMPARE(m_platform->fakeSound.plays, c.plays);
    }
    QVERIFY(m_platform->fakeSound.lastWave.startsWith("RIFF"));
    // After a failed save the after-capture sound stays silent.
    m_form->SavePath = m_home->root + QStringLiteral("/missing");
    m_platform->fakeSound.plays = 0;
    m_form->Start();
    QCOMPARE(m_platform->fakeSound.plays, 0);
}

void TestDispatch::copyDataTable_data()
{
    QTest::addColumn<quint32>("dwData");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("opened");
    QTest::newRow("capture") << 1u << R"({"command":"capture"})" << 1 << 1 << 0;
    QTest::newRow("about") << 1u << R"({"command":"about"})" << 1 << 0 << 1;
    QTest::newRow("extra members are fine") << 1u << R"( {"x":[1,2],"command":"capture"} )" << 1 << 1 << 0;
    QTest::newRow("wrong dwData") << 2u << R"({"command":"capture"})" << 0 << 0 << 0;
    QTest::newRow("empty text") << 1u << "" << 0 << 0 << 0;
    QTest::newRow("not JSON") << 1u << "capture" << 0 << 0 << 0;
    QTest::newRow("array") << 1u << R"([{"command":"capture"}])" << 0 << 0 << 0;
    QTest::newRow("number") << 1u << "42" << 0 << 0 << 0;
    QTest::newRow("string") << 1u << R"("capture")" << 0 << 0 << 0;
    QTest::newRow("capital C") << 1u << R"({"command":"Capture"})" << 0 << 0 << 0;
    QTest::newRow("unknown command") << 1u << R"({"command":"show"})" << 0 << 0 << 0;
    QTest::newRow("missing command") << 1u << R"({"order":"capture"})" << 0 << 0 << 0;
    QTest::newRow("command not text") << 1u << R"({"command":{"capture":1}})" << 0 << 0 << 0;
    QTest::newRow("command a number") << 1u << R"({"command":1})" << 0 << 0 << 0;
    QTest::newRow("trailing garbage") << 1u << R"({"command":"capture"}x)" << 0 << 0 << 0;
}

void TestDispatch::copyDataTable()
{
    QFETCH(quint32, dwData);
    QFETCH(QString, text);
    QFETCH(int, answer);
    QFETCH(int, files);
    QFETCH(int, opened);
    const qint32 result
        = m_platform->fakeChannel.deliver(InstanceRequest { InstanceProtocol::WmCopyData, dwData, text });
    QCOMPARE(result, answer);
    QCOMPARE(savedFiles().size(), files);
    QCOMPARE(m_platform->fakeShell.opened.size(), opened);
    if (opened)
        QCOMPARE(m_platform->fakeShell.opened.first().query(), QStringLiteral("v=1.0.0.1"));
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
}

void TestDispatch::captureCommandWhileBusyStartsNothing()
{
    m_form->FStatus = TFrmLumetra::stRunning;
    const qint32 result = m_platform->fakeChannel.deliver(
        InstanceRequest { InstanceProtocol::WmCopyData, 1, QStringLiteral(R"({"command":"capture"})") });
    QCOMPARE(result, 1);
    QVERIFY(savedFiles().isEmpty());
    // A refused combination still answers 1: the command was carried out.
    m_form->FStatus = TFrmLumetra::stIdle;
    m_form->ChkArea->setCurrentIndex(csDrag);
    m_form->ChkSaveTo->setCurrentIndex(stMP4);
    QCOMPARE(m_form->WMCopyData(1, QStringLiteral(R"({"command":"capture"})")), 1);
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
}

void TestDispatch::userMessages()
{
    QSignalSpy closed(m_form.get(), &TFrmLumetra::closed);
    m_form->hide();
    m_platform->fakeChannel.deliver(InstanceRequest { InstanceProtocol::WmUser, 1, {} });
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_platform->fakeWindows.foregrounds, 1);
    m_platform->fakeChannel.deliver(InstanceRequest { InstanceProtocol::WmUser, 3, {} });
    QVERIFY(m_form->isVisible());
    QCOMPARE(closed.size(), 0);
    m_platform->fakeChannel.deliver(InstanceRequest { InstanceProtocol::WmUser, 2, {} });
    QVERIFY(m_form->FCanClose);
    QCOMPARE(closed.size(), 1);

    // Before the window is set up, a second copy's messages are ignored.
    FakePlatform early;
    TFrmLumetra fresh(early, QStringList());
    fresh.hide();
    QCOMPARE(fresh.WMUser(1), 0);
    QVERIFY(!fresh.isVisible());
}

void TestDispatch::closeHidesAndQuitAsks()
{
    QSignalSpy closed(m_form.get(), &TFrmLumetra::closed);
    m_form->show();
    m_form->close();
    QVERIFY(!m_form->isVisible());
    QCOMPARE(closed.size(), 0);
    QVERIFY(!m_form->FCanClose);

    m_form->show();
    m_platform->fakeMessages.answers = { MessageResult::No };
    m_form->N10Click();
    QCOMPARE(m_platform->fakeMessages.shown.last().buttons, MessageButtons::YesNo);
    QCOMPARE(m_platform->fakeMessages.shown.last().icon, MessageIcon::Question);
    QCOMPARE(m_platform->fakeMessages.shown.last().text, QStringLiteral("정말 종료하시겠습니까?"));
    QCOMPARE(closed.size(), 0);
    QVERIFY(!m_form->FCanClose);
    m_platform->fakeMessages.answers = { MessageResult::Yes };
    m_form->N10Click();
    QCOMPARE(closed.size(), 1);

    // Log-off ends the program without a question.
    m_form->show();
    const int boxes = int(m_platform->fakeMessages.shown.size());
    QCOMPARE(m_form->WMQueryEndSession(), 1);
    QCOMPARE(closed.size(), 2);
    QCOMPARE(m_platform->fakeMessages.shown.size(), boxes);
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestDispatch)
#include "tst_dispatch.moc"
