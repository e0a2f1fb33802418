#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "capture/DragSelector.h"
#include "platform/fake/FakePlatform.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include <functional>

namespace {

// Two monitors of different heights, each with its own pattern, and a gap below the smaller one.
QImage deskPicture()
{
    QImage desk(3200, 1080, QImage::Format_RGB32);
    for (int y = 0; y < desk.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(desk.scanLine(y));
        for (int x = 0; x < desk.width(); ++x)
            line[x] = x < 1280 ? qRgb(x & 0xFF, y & 0xFF, 255) : qRgb(255, (x * 3) & 0xFF, (y * 5) & 0xFF);
    }
    return desk;
}

QImage rgb888(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB888);
}

// The reference picture in the format the overlay shows.
QImage composed(const QImage& screen, const QRect& selection)
{
    return DragSelector::ComposeFull(screen, selection).convertToFormat(QImage::Format_RGB32);
}

DragSelector* openOverlay()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto drag = qobject_cast<DragSelector*>(window); drag && drag->isVisible())
            return drag;
    }
    return nullptr;
}

// Runs `steps` inside the overlay's modal loop once it is on screen. An overlay still open afterwards (a
// failed step) is cancelled, so that a failure cannot hang the test.
void whenShown(std::function<void(DragSelector*)> steps)
{
    QTimer::singleShot(0, [steps = std::move(steps)] {
        [&steps] {
            QTRY_VERIFY(openOverlay());
            steps(openOverlay());
        }();
        if (DragSelector* left = openOverlay())
            QTest::keyClick(left, Qt::Key_Escape);
    });
}

void drag(QWidget* overlay, QPoint from, QPoint to)
{
    QTest::mousePress(overlay, Qt::LeftButton, {}, from);
    QTest::mouseMove(overlay, (from + to) / 2);
    QTest::mouseMove(overlay, to);
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, to);
}

} // namespace

class TestDrag : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void normalizedRect_data();
    void normalizedRect();
    void darkening_data();
    void darkening();
    void pictureMatchesAFullRecomposition();
    void selectionAcrossMonitorsAndOffTheEdge();
    void clickWithoutMovementKeepsTheOverlayOpen();
    void rightButtonIsIgnored();
    void escapeCancels();
    void anotherProgramBecomingActiveCancels();
    void dispatchSavesTheSelectionAndSoundsAfterIt();
    void cancelledDragWritesAndSoundsNothing();
    void unreadableScreenIsReported();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
};

void TestDrag::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestDrag::init()
{
    QDir(m_home->config).removeRecursively();
    m_platform = std::make_unique<FakePlatform>();
    m_platform->fakeScreen.setDesktop(deskPicture());
    m_platform->fakeScreen.setMonitors(
        { Monitor { QRect(1280, 0, 1920, 1080), true, {} }, Monitor { QRect(0, 0, 1280, 1024), false, {} } });
}

void TestDrag::cleanup()
{
    m_platform.reset();
}

void TestDrag::normalizedRect_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("top-left to bottom-right") << QPoint(10, 10) << QPoint(20, 20) << QRect(10, 10, 10, 10);
    QTest::newRow("bottom-right to top-left") << QPoint(20, 20) << QPoint(10, 10) << QRect(10, 10, 10, 10);
    QTest::newRow("top-right to bottom-left") << QPoint(20, 10) << QPoint(10, 20) << QRect(10, 10, 10, 10);
    QTest::newRow("same point") << QPoint(7, 9) << QPoint(7, 9) << QRect(7, 9, 0, 0);
    QTest::newRow("straight down") << QPoint(5, 1) << QPoint(5, 30) << QRect(5, 1, 0, 29);
}

void TestDrag::normalizedRect()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, expected);
    const QRect rect = DragSelector::NormalizedRect(from, to);
    QCOMPARE(rect, expected);
}

void TestDrag::darkening_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("darkened");
    QTest::newRow("white") << 255 << 153;
    QTest::newRow("black") << 0 << 0;
    QTest::newRow("one stays one") << 1 << 1;
    QTest::newRow("half rounds down") << 128 << 77;
    QTest::newRow("hundred") << 100 << 60;
}

void TestDrag::darkening()
{
    QFETCH(int, value);
    QFETCH(int, darkened);
    QCOMPARE(int(DragSelector::Darken(quint8(value))), darkened);
    QImage one(1, 1, QImage::Format_RGB32);
    one.fill(qRgb(value, value, value));
    QCOMPARE(DragSelector::ComposeFull(one, QRect()).pixel(0, 0), qRgb(darkened, darkened, darkened));
}

void TestDrag::pictureMatchesAFullRecomposition()
{
    DragSelector overlay(*m_platform, nullptr);
    overlay.setAttribute(Qt::WA_DeleteOnClose, false);
    QImage bitmap;
    QRect rect;
    overlay.Capture(bitmap, rect);
    QVERIFY(overlay.Freeze());
    const QImage snapshot = rgb888(deskPicture());
    QCOMPARE(overlay.Picture(), composed(snapshot, QRect()));
    overlay.show();

    // Growing, shrinking, crossing the start point and leaving the picture, as a hand does.
    const QPoint start(1200, 500);
    QTest::mousePress(&overlay, Qt::LeftButton, {}, start);
    for (const QPoint to : { QPoint(1210, 505), QPoint(1500, 900), QPoint(1300, 700), QPoint(900, 100),
             QPoint(1199, 501), QPoint(-40, 1200), QPoint(3300, -5), QPoint(1250, 520) }) {
        QTest::mouseMove(&overlay, to);
        QCOMPARE(overlay.Picture(), composed(snapshot, overlay.CaptureRect()));
    }
    // What the window paints is that picture.
    const QImage painted = overlay.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(painted, overlay.Picture());
    QTest::keyClick(&overlay, Qt::Key_Escape);
}

void TestDrag::selectionAcrossMonitorsAndOffTheEdge()
{
    struct Case
    {
        QPoint from;
        QPoint to;
        QRect expected;
    };
    // The far corner's pixel is outside; a pointer beyond the picture stops at its edge.
    for (const Case& c : { Case { QPoint(1500, 700), QPoint(1000, 300), QRect(1000, 300, 500, 400) },
             Case { QPoint(3000, 900), QPoint(3600, 1300), QRect(3000, 900, 200, 180) },
             Case { QPoint(20, 30), QPoint(-100, -100), QRect(0, 0, 20, 30) } }) {
        // The pointer over the selection is never part of it.
        QImage arrow(16, 16, QImage::Format_ARGB32_Premultiplied);
        arrow.fill(qRgb(0, 255, 0));
        m_platform->fakeScreen.setCursor(c.expected.center(), arrow);
        QImage bitmap(5, 5, QImage::Format_RGB32);
        QRect rect;
        auto overlay = new DragSelector(*m_platform, nullptr);
        overlay->Capture(bitmap, rect);
        QVERIFY(bitmap.isNull());
        whenShown([&](DragSelector* shown) {
            drag(shown, c.from, c.to);
            // The desk changes after the overlay opened: the result is the frozen picture.
            QImage changed = deskPicture();
            changed.fill(Qt::red);
            m_platform->fakeScreen.setDesktop(changed);
        });
        QVERIFY(overlay->ShowModal());
        QCOMPARE(rect, c.expected);
        QCOMPARE(bitmap.format(), QImage::Format_RGB888);
        QCOMPARE(bitmap, rgb888(deskPicture().copy(c.expected)));
        m_platform->fakeScreen.setDesktop(deskPicture());
    }
}

void TestDrag::clickWithoutMovementKeepsTheOverlayOpen()
{
    QImage bitmap;
    QRect rect;
    QPointer overlay = new DragSelector(*m_platform, nullptr);
    overlay->Capture(bitmap, rect);
    whenShown([&](DragSelector* shown) {
        QTest::mouseClick(shown, Qt::LeftButton, {}, QPoint(400, 400));
        QTest::mousePress(shown, Qt::LeftButton, {}, QPoint(400, 400));
        QTest::mouseMove(shown, QPoint(400, 600));
        QTest::mouseRelease(shown, Qt::LeftButton, {}, QPoint(400, 600));
        QVERIFY(shown->isVisible());
        QVERIFY(bitmap.isNull());
        // Nothing is selected, so everything is darkened.
        QCOMPARE(shown->Picture(), composed(deskPicture(), QRect()));
        drag(shown, QPoint(100, 100), QPoint(110, 120));
    });
    QVERIFY(overlay->ShowModal());
    QCOMPARE(rect, QRect(100, 100, 10, 20));
    QTRY_VERIFY(overlay.isNull());
}

void TestDrag::rightButtonIsIgnored()
{
    QImage bitmap;
    QRect rect;
    auto overlay = new DragSelector(*m_platform, nullptr);
    overlay->Capture(bitmap, rect);
    whenShown([&](DragSelector* shown) {
        QTest::mousePress(shown, Qt::RightButton, {}, QPoint(10, 10));
        QTest::mouseMove(shown, QPoint(200, 200));
        QTest::mouseRelease(shown, Qt::RightButton, {}, QPoint(200, 200));
        QVERIFY(shown->CaptureRect().isEmpty());
        QVERIFY(shown->isVisible());
        // A right release in the middle of a left drag does not end it.
        QTest::mousePress(shown, Qt::LeftButton, {}, QPoint(50, 60));
        QTest::mouseMove(shown, QPoint(70, 90));
        QTest::mouseRelease(shown, Qt::RightButton, {}, QPoint(70, 90));
        QVERIFY(shown->isVisible());
        QTest::mouseMove(shown, QPoint(80, 100));
        QTest::mouseRelease(shown, Qt::LeftButton, {}, QPoint(80, 100));
    });
    QVERIFY(overlay->ShowModal());
    QCOMPARE(rect, QRect(50, 60, 30, 40));
}

void TestDrag::escapeCancels()
{
    QImage bitmap;
    QRect rect;
    auto overlay = new DragSelector(*m_platform, nullptr);
    overlay->Capture(bitmap, rect);
    whenShown([&](DragSelector* shown) {
        QTest::mousePress(shown, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(shown, QPoint(200, 200));
        // Other keys change nothing; Enter in particular does not end the selection.
        QTest::keyClick(shown, Qt::Key_Return);
        QTest::keyClick(shown, Qt::Key_A);
        QVERIFY(shown->isVisible());
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    QVERIFY(overlay->ShowModal());
    QVERIFY(bitmap.isNull());
}

void TestDrag::anotherProgramBecomingActiveCancels()
{
    QImage bitmap;
    QRect rect;
    auto overlay = new DragSelector(*m_platform, nullptr);
    overlay->Capture(bitmap, rect);
    FakeScreen& screen = m_platform->fakeScreen;
    whenShown([&](DragSelector* shown) {
        // Before the overlay has had the focus, another active program is what it came from.
        screen.setActiveWindow(0x5000001);
        shown->TmrActiveTimer();
        QVERIFY(shown->isVisible());
        QVERIFY(m_platform->fakeWindows.foregrounds > 0);
        screen.setActiveWindow(WindowHandle(shown->winId()));
        shown->TmrActiveTimer();
        // The desktop cannot tell for a moment: no reason to cancel.
        screen.setActiveWindow(0);
        shown->TmrActiveTimer();
        QVERIFY(shown->isVisible());
        QTest::mousePress(shown, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(shown, QPoint(200, 200));
        screen.setActiveWindow(0x5000001);
        // The watchdog's own timer notices within its 100 ms.
        QTRY_VERIFY_WITH_TIMEOUT(!shown->isVisible(), 150);
    });
    QVERIFY(overlay->ShowModal());
    QVERIFY(bitmap.isNull());
}

void TestDrag::dispatchSavesTheSelectionAndSoundsAfterIt()
{
    TestProgram program(*m_platform);
    program.start();
    program.settings().setSaveFolder(m_home->desktop);
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    program.chooseSource(csDrag);
    program.click(QStringLiteral("ChkSound2"));
    if (!program.checked(QStringLiteral("ChkMouse")))
        program.click(QStringLiteral("ChkMouse"));
    whenShown([&](DragSelector* shown) {
        // The sound comes once the selection is made, not when the overlay opens.
        QCOMPARE(m_platform->fakeSound.plays, 0);
        QCOMPARE(program.state(), CaptureDispatcher::State::Capturing);
        // The hotkey pressed again meanwhile starts nothing.
        program.capture();
        drag(shown, QPoint(1400, 600), QPoint(1100, 200));
    });
    program.capture();
    QCOMPARE(m_platform->fakeSound.plays, 1);
    QCOMPARE(program.state(), CaptureDispatcher::State::Idle);
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files), QStringList { QStringLiteral("Q-001.png") });
    const QImage saved(m_home->desktop + QStringLiteral("/Q-001.png"));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), deskPicture().copy(1100, 200, 300, 400));
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestDrag::cancelledDragWritesAndSoundsNothing()
{
    TestProgram program(*m_platform);
    program.start();
    program.settings().setSaveFolder(m_home->desktop);
    program.chooseSource(csDrag);
    const QStringList before = QDir(m_home->desktop).entryList(QDir::Files);
    for (const QString& sound : { QStringLiteral("ChkSound2"), QStringLiteral("ChkSound3") }) {
        program.click(sound);
        whenShown([](DragSelector* shown) { QTest::keyClick(shown, Qt::Key_Escape); });
        program.capture();
        QCOMPARE(program.state(), CaptureDispatcher::State::Idle);
    }
    QCOMPARE(m_platform->fakeSound.plays, 0);
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files), before);
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestDrag::unreadableScreenIsReported()
{
    TestProgram program(*m_platform);
    program.start();
    program.chooseSource(csDrag);
    m_platform->fakeScreen.setBroken(true);
    program.capture();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text,
        QStringLiteral("캡쳐가 실패하였습니다.\r\rThe screen could not be read."));
    QCOMPARE(program.state(), CaptureDispatcher::State::Idle);
    QVERIFY(!openOverlay());
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestDrag)
#include "tst_drag.moc"
