#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "capture/WindowOutline.h"
#include "platform/fake/FakePlatform.h"

#include <QComboBox>
#include <QPointer>
#include <QTimer>

namespace {

bool black(QRgb pixel)
{
    return qRed(pixel) == 0 && qGreen(pixel) == 0 && qBlue(pixel) == 0;
}

bool white(QRgb pixel)
{
    return qRed(pixel) == 255 && qGreen(pixel) == 255 && qBlue(pixel) == 255;
}

// The ring's pixels in the order they are drawn: clockwise from the top-left corner, each edge up to but
// not including its end, and the top-left corner once more at the very end.
QList<QPoint> walk(QSize size)
{
    const int x1 = size.width() - 1, y1 = size.height() - 1;
    QList<QPoint> points;
    for (int x = 0; x < x1; ++x)
        points.append(QPoint(x, 0));
    for (int y = 0; y < y1; ++y)
        points.append(QPoint(x1, y));
    for (int x = x1; x > 0; --x)
        points.append(QPoint(x, y1));
    for (int y = y1; y >= 0; --y)
        points.append(QPoint(0, y));
    return points;
}

// The dash of the n-th pixel drawn since the phase was reset: 5 black, then 3 white.
bool dashIsWhite(int n)
{
    return n % 8 >= 5;
}

} // namespace

class TestLine : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void dashRule();
    void dashesRunOnAcrossCornersAndRedraws();
    void followsThePointerOneOutside_data();
    void followsThePointerOneOutside();
    void ringItselfShowsTheMainWindow();
    void keepsItsPlaceWithoutAWindow();
    void redrawsEveryEleventhTick();
    void sourceListCreatesAndFreesIt();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<QWidget> m_main;
};

void TestLine::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestLine::init()
{
    m_platform = std::make_unique<FakePlatform>();
    m_main = std::make_unique<QWidget>();
    m_main->setGeometry(700, 400, 162, 191);
}

void TestLine::cleanup()
{
    m_main.reset();
    m_platform.reset();
}

void TestLine::dashRule()
{
    WindowOutline line(m_platform->fakeScreen, m_main.get());
    QCOMPARE(WindowOutline::DashPhase(), quint8(0));
    QString pattern;
    for (int i = 0; i < 16; ++i)
        pattern += black(WindowOutline::DashColor()) ? QLatin1Char('B') : QLatin1Char('W');
    QCOMPARE(pattern, QStringLiteral("BBBBBWWWBBBBBWWW"));
    QCOMPARE(WindowOutline::DashPhase(), quint8(128));
}

void TestLine::dashesRunOnAcrossCornersAndRedraws()
{
    WindowOutline line(m_platform->fakeScreen, m_main.get());
    line.setAttribute(Qt::WA_DeleteOnClose, false);
    line.resize(10, 7);
    const QList<QPoint> points = walk(line.size());
    QCOMPARE(points.size(), 2 * 9 + 2 * 6 + 1);
    int drawn = 0;
    for (int redraw = 0; redraw < 3; ++redraw) {
        line.DrawDashes();
        const QImage ring = line.grab().toImage();
        for (int i = 0; i < points.size(); ++i) {
            // The corner visited twice keeps the colour of its second visit.
            if (i == 0)
                continue;
            const QRgb pixel = ring.pixel(points[i]);
            QVERIFY2(dashIsWhite(drawn + i) ? white(pixel) : black(pixel),
                qPrintable(QStringLiteral("redraw %1, pixel %2").arg(redraw).arg(i)));
        }
        QCOMPARE(white(ring.pixel(0, 0)), dashIsWhite(drawn + int(points.size()) - 1));
        drawn += int(points.size());
    }
    // The last pixel of the top edge and the first of the right edge follow each other in the pattern.
    line.DrawDashes();
    const QImage ring = line.grab().toImage();
    const int top = 8 + drawn, right = top + 1;
    QCOMPARE(white(ring.pixel(8, 0)), dashIsWhite(top));
    QCOMPARE(white(ring.pixel(9, 0)), dashIsWhite(right));
}

void TestLine::followsThePointerOneOutside_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("outline");
    QTest::newRow("on the desk") << QRect(100, 100, 200, 150) << QRect(99, 99, 202, 152);
    QTest::newRow("partly off the screen") << QRect(-50, -30, 100, 80) << QRect(-51, -31, 102, 82);
    QTest::newRow("one pixel") << QRect(400, 300, 1, 1) << QRect(399, 299, 3, 3);
}

void TestLine::followsThePointerOneOutside()
{
    QFETCH(QRect, window);
    QFETCH(QRect, outline);
    m_platform->fakeScreen.addWindow(0x100, window);
    m_platform->fakeScreen.setCursor(window.topLeft() + QPoint(window.width() / 2, window.height() / 2));
    WindowOutline line(m_platform->fakeScreen, m_main.get());
    line.show();
    QCOMPARE(line.geometry(), outline);
    // The ring is all there is of it: the inside belongs to the windows beneath.
    const QRegion shape = line.mask();
    QCOMPARE(shape.boundingRect(), QRect(QPoint(0, 0), outline.size()));
    QVERIFY(!shape.contains(QPoint(1, 1)));
    const int area = [&shape] {
        int sum = 0;
        for (const QRect& r : shape)
            sum += r.width() * r.height();
        return sum;
    }();
    QCOMPARE(area, 2 * outline.width() + 2 * outline.height() - 4);
}

void TestLine::ringItselfShowsTheMainWindow()
{
    m_platform->fakeScreen.addWindow(WindowHandle(m_main->winId()), m_main->geometry());
    m_platform->fakeScreen.addWindow(0x100, QRect(100, 100, 200, 150));
    WindowOutline line(m_platform->fakeScreen, m_main.get());
    line.setAttribute(Qt::WA_DeleteOnClose, false);
    m_platform->fakeScreen.setCursor(QPoint(150, 150));
    line.Timer1Timer();
    // The outline on top, with the pointer resting on its ring.
    m_platform->fakeScreen.addWindow(WindowHandle(line.winId()), line.geometry());
    m_platform->fakeScreen.setCursor(QPoint(99, 150));
    line.Timer1Timer();
    QCOMPARE(line.geometry(), m_main->geometry().adjusted(-1, -1, 1, 1));
}

void TestLine::keepsItsPlaceWithoutAWindow()
{
    m_platform->fakeScreen.addWindow(0x100, QRect(100, 100, 200, 150));
    m_platform->fakeScreen.setCursor(QPoint(150, 150));
    WindowOutline line(m_platform->fakeScreen, m_main.get());
    line.Timer1Timer();
    // The outlined window closes; nothing lies under the pointer any more.
    m_platform->fakeScreen.removeWindow(0x100);
    line.Timer1Timer();
    QCOMPARE(line.geometry(), QRect(99, 99, 202, 152));
    m_platform->fakeScreen.addWindow(0x200, QRect(10, 10, 50, 50));
    m_platform->fakeScreen.setCursor(QPoint(20, 20));
    line.Timer1Timer();
    QCOMPARE(line.geometry(), QRect(9, 9, 52, 52));
    // The window moves under the resting pointer: the outline catches up within a tenth of a second.
    m_platform->fakeScreen.addWindow(0x200, QRect(15, 12, 50, 50));
    for (int tick = 0; tick < 10; ++tick)
        line.Timer1Timer();
    QCOMPARE(line.geometry(), QRect(14, 11, 52, 52));
}

void TestLine::redrawsEveryEleventhTick()
{
    m_platform->fakeScreen.addWindow(0x100, QRect(100, 100, 20, 20));
    m_platform->fakeScreen.setCursor(QPoint(110, 110));
    WindowOutline line(m_platform->fakeScreen, m_main.get());
    for (int round = 0; round < 2; ++round) {
        const quint8 phase = WindowOutline::DashPhase();
        for (int tick = 0; tick < 10; ++tick) {
            line.Timer1Timer();
            QCOMPARE(WindowOutline::DashPhase(), phase);
        }
        line.Timer1Timer();
        QVERIFY(WindowOutline::DashPhase() != phase);
        QCOMPARE(line.Delay, 0);
    }
}

void TestLine::sourceListCreatesAndFreesIt()
{
    TestProgram program(*m_platform);
    program.start();
    // A closed outline lingers until the event loop frees it: the one on the screen is the one that counts.
    const auto shownOutline = [&program]() -> WindowOutline* {
        for (WindowOutline* line : program.window().findChildren<WindowOutline*>()) {
            if (line->isVisible())
                return line;
        }
        return nullptr;
    };
    program.chooseSource(csWindowControl);
    QPointer<WindowOutline> first = shownOutline();
    QVERIFY(first && first->Timer1->isActive());
    WindowOutline::DashColor();

    // The same source chosen again: a new outline, with the dash phase from the start.
    program.chooseSource(csWindowControl);
    QPointer<WindowOutline> second = shownOutline();
    QVERIFY(second && second != first);
    QCOMPARE(WindowOutline::DashPhase(), quint8(0));
    QTRY_VERIFY(first.isNull());

    program.chooseSource(csFullScreen);
    QVERIFY(!shownOutline());
    QTRY_VERIFY(second.isNull());
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestLine)
#include "tst_line.moc"
