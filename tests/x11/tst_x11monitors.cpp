#include "PictureWindow.h"
#include "TestMain.h"
#include "capture/ScreenCapture.h"
#include "platform/x11/X11Screen.h"

#include <QCursor>
#include <QPainter>
#include <QWidget>

namespace { } // namespace

// Two monitors on the dummy X server: DUMMY1 (1280x1024) left of the primary DUMMY0 (1920x1080), so the
// primary starts at x 1280 and the left monitor at x 0.
class TestX11Monitors : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Monitors(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void monitorsAsTheServerReportsThem();
    void fullScreenIsTheMonitorUnderThePointer_data();
    void fullScreenIsTheMonitorUnderThePointer();

private:
    XDesk& m_desk;
    X11Screen m_screen;
};

void TestX11Monitors::initTestCase()
{
    QVERIFY(m_desk.setMonitors(QSize(1920, 1080), QSize(1280, 1024)));
    QVERIFY(m_screen.open(m_desk.display().toLatin1().constData()));
    QTRY_COMPARE(m_screen.monitors().size(), 2);
}

void TestX11Monitors::monitorsAsTheServerReportsThem()
{
    const QList<Monitor> monitors = m_screen.monitors();
    const auto primary
        = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return m.primary; });
    QVERIFY(primary != monitors.end());
    QCOMPARE(primary->geometry, QRect(1280, 0, 1920, 1080));
    QCOMPARE(primary->name, QStringLiteral("DUMMY0"));
    const auto left
        = std::find_if(monitors.begin(), monitors.end(), [](const Monitor& m) { return !m.primary; });
    QCOMPARE(left->geometry, QRect(0, 0, 1280, 1024));
    QCOMPARE(m_screen.virtualScreen(), QRect(0, 0, 3200, 1080));
}

void TestX11Monitors::fullScreenIsTheMonitorUnderThePointer_data()
{
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("left monitor") << QPoint(100, 100) << QRect(0, 0, 1280, 1024);
    QTest::newRow("primary monitor") << QPoint(2000, 500) << QRect(1280, 0, 1920, 1080);
    QTest::newRow("left edge of the primary") << QPoint(1280, 0) << QRect(1280, 0, 1920, 1080);
    QTest::newRow("bottom-right corner of the left monitor") << QPoint(1279, 1023) << QRect(0, 0, 1280, 1024);
}

void TestX11Monitors::fullScreenIsTheMonitorUnderThePointer()
{
    QFETCH(QPoint, pointer);
    QFETCH(QRect, expected);
    // A picture across the monitor boundary, so that a capture shows exactly where it came from.
    QImage picture(1200, 400, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb((x * 5) & 0xFF, (y * 3) & 0xFF, x < 600 ? 30 : 220));
    PictureWindow window(picture, QPoint(680, 10));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);
    QCursor::setPos(pointer);
    QTRY_COMPARE(m_screen.cursorPos(), pointer);

    ScreenCapture capture(m_screen);
    capture.setShowCursor(false);
    QImage bitmap;
    QRect rect;
    QVERIFY(capture.Capture(bitmap, 0, rect));
    QCOMPARE(rect, expected);
    QCOMPARE(bitmap.size(), expected.size());
    // The picture's pixels where it overlaps the monitor, at the monitor's own coordinates.
    const QRect shown = QRect(QPoint(680, 10), picture.size()).intersected(expected);
    QCOMPARE(
        bitmap.copy(shown.translated(-expected.topLeft())), picture.copy(shown.translated(-QPoint(680, 10))));
}

LUMETRA_X11_TEST_MAIN(TestX11Monitors, XDesk::Server::XorgDummy, false)
#include "tst_x11monitors.moc"
