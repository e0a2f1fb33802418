#include "PictureWindow.h"
#include "TestMain.h"
#include "capture/ScreenCapture.h"
#include "capture/WindowOutline.h"
#include "platform/x11/X11Screen.h"

#include <QCursor>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QWidget>

#include <xcb/xcb.h>

namespace {

QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 11) & 0xFF, ((x + y) * 3) & 0xFF));
    return image;
}

} // namespace

class TestX11Screen : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Screen(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void copiesKnownPixels();
    void areaOffTheScreenIsBlack();
    void singlePixel();
    void pointerWithItsHotSpot_data();
    void pointerWithItsHotSpot();
    void oneMonitor();
    void framedWindowBounds();
    void borderedChildWindow();
    void activeWindowAndWindowAtPoint();

private:
    XDesk& m_desk;
    X11Screen m_screen;
};

void TestX11Screen::initTestCase()
{
    QVERIFY(m_screen.open(m_desk.display().toLatin1().constData()));
    QVERIFY2(m_screen.usesSharedMemory(), "the server should accept the shared-memory segment");
}

void TestX11Screen::copiesKnownPixels()
{
    const QImage picture = pattern(QSize(301, 203));
    PictureWindow window(picture, QPoint(117, 95));
    QVERIFY(showAndWait(window));
    QCursor::setPos(1900, 1070);
    QImage canvas(picture.size(), QImage::Format_RGB32);
    QVERIFY(m_screen.copyArea(QRect(QPoint(117, 95), picture.size()), canvas));
    QCOMPARE(canvas, picture);
    // The read really went through shared memory: a refused read would have switched it off.
    QVERIFY(m_screen.usesSharedMemory());

    // The same pixels through the socket, as from a server without shared memory.
    X11Screen plain;
    QVERIFY(plain.open(m_desk.display().toLatin1().constData(), false));
    QVERIFY(!plain.usesSharedMemory());
    canvas.fill(Qt::white);
    QVERIFY(plain.copyArea(QRect(QPoint(117, 95), picture.size()), canvas));
    QCOMPARE(canvas, picture);

    // Through the capture engine, into a bitmap it sizes itself.
    ScreenCapture capture(m_screen);
    capture.setShowCursor(false);
    QImage bitmap;
    QVERIFY(capture.Capture(bitmap, QRect(120, 100, 50, 40)));
    QCOMPARE(bitmap, picture.copy(3, 5, 50, 40));
}

void TestX11Screen::areaOffTheScreenIsBlack()
{
    const QImage picture = pattern(QSize(40, 30));
    PictureWindow window(picture, QPoint(0, 0));
    QVERIFY(showAndWait(window));
    QImage canvas(60, 50, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QVERIFY(m_screen.copyArea(QRect(-20, -20, 60, 50), canvas));
    QCOMPARE(canvas.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(canvas.pixel(19, 40), qRgb(0, 0, 0));
    QCOMPARE(canvas.copy(20, 20, 40, 30), picture);
    // Entirely outside: all black, and still a success.
    canvas.fill(Qt::white);
    QVERIFY(m_screen.copyArea(QRect(5000, 5000, 10, 10), canvas));
    QCOMPARE(canvas.pixel(5, 5), qRgb(0, 0, 0));
}

void TestX11Screen::singlePixel()
{
    const QImage picture = pattern(QSize(20, 20));
    PictureWindow window(picture, QPoint(500, 500));
    QVERIFY(showAndWait(window));
    QCOMPARE(m_screen.pixel(QPoint(507, 513)), std::optional<QRgb>(picture.pixel(7, 13)));
    QCOMPARE(m_screen.pixel(QPoint(-1, 3)), std::optional<QRgb>());
}

void TestX11Screen::pointerWithItsHotSpot_data()
{
    QTest::addColumn<QPoint>("hotSpot");
    QTest::newRow("hot spot at the image's top-left") << QPoint(0, 0);
    QTest::newRow("hot spot at the image's bottom-right") << QPoint(15, 15);
}

void TestX11Screen::pointerWithItsHotSpot()
{
    QFETCH(QPoint, hotSpot);
    QImage background(400, 400, QImage::Format_RGB32);
    background.fill(qRgb(0, 128, 0));
    PictureWindow window(background, QPoint(600, 300));
    QPixmap arrow(16, 16);
    arrow.fill(QColor(255, 0, 0));
    window.setCursor(QCursor(arrow, hotSpot.x(), hotSpot.y()));
    QVERIFY(showAndWait(window));
    QCursor::setPos(800, 500);
    QTRY_COMPARE(m_screen.cursorPos(), QPoint(800, 500));
    QTRY_VERIFY(m_screen.cursorImage() && m_screen.cursorImage()->hotSpot == hotSpot);

    ScreenCapture capture(m_screen);
    QImage bitmap;
    // The hot spot lands on the capture's top-left pixel.
    QVERIFY(capture.Capture(bitmap, QRect(800, 500, 40, 40)));
    QCOMPARE(bitmap.pixel(0, 0), qRgb(255, 0, 0));
    const QPoint beyond = QPoint(16, 16) - hotSpot;
    QCOMPARE(bitmap.pixel(beyond.x(), beyond.y()), qRgb(0, 128, 0));

    capture.setShowCursor(false);
    QVERIFY(capture.Capture(bitmap, QRect(800, 500, 40, 40)));
    QCOMPARE(bitmap.pixel(0, 0), qRgb(0, 128, 0));

    // A pointer outside the rectangle is clipped away.
    capture.setShowCursor(true);
    QVERIFY(capture.Capture(bitmap, QRect(700, 400, 40, 40)));
    QCOMPARE(bitmap.pixel(39, 39), qRgb(0, 128, 0));
}

void TestX11Screen::oneMonitor()
{
    const QList<Monitor> monitors = m_screen.monitors();
    QCOMPARE(monitors.size(), 1);
    QCOMPARE(monitors.first().geometry, QRect(0, 0, 1920, 1080));
    QCOMPARE(m_screen.virtualScreen(), QRect(0, 0, 1920, 1080));
}

void TestX11Screen::framedWindowBounds()
{
    PictureWindow window(pattern(QSize(320, 240)), QPoint(300, 200), Qt::Window);
    window.setWindowTitle(QStringLiteral("framed"));
    QVERIFY(showAndWait(window));
    const auto id = WindowHandle(window.winId());
    // openbox announces its frame on the client window.
    QString extents;
    QTRY_VERIFY(
        m_desk.run(QStringLiteral("xprop"),
            { QStringLiteral("-id"), QString::number(id), QStringLiteral("_NET_FRAME_EXTENTS") }, &extents)
        && extents.contains(QLatin1Char('=')));
    const QStringList numbers
        = extents.section(QLatin1Char('='), 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
    QCOMPARE(numbers.size(), 4);
    const int left = numbers[0].trimmed().toInt(), right = numbers[1].trimmed().toInt();
    const int top = numbers[2].trimmed().toInt(), bottom = numbers[3].trimmed().toInt();
    QVERIFY(top > 0);

    const auto bounds = m_screen.frameBounds(id);
    QVERIFY(bounds);
    const QRect client(window.mapToGlobal(QPoint(0, 0)), window.size());
    QCOMPARE(*bounds, client.adjusted(-left, -top, right, bottom));

    // The same as the window manager's frame window seen from outside: the client's ancestor just below
    // the root.
    QString frame = QString::number(id);
    QString info;
    static const QRegularExpression parentLine(
        QStringLiteral("Parent window id: (0x[0-9a-f]+)( \\(the root window\\))?"));
    for (int depth = 0; depth < 10; ++depth) {
        QVERIFY(m_desk.run(
            QStringLiteral("xwininfo"), { QStringLiteral("-id"), frame, QStringLiteral("-tree") }, &info));
        const auto parent = parentLine.match(info);
        QVERIFY2(parent.hasMatch(), qPrintable(info));
        if (!parent.captured(2).isEmpty())
            break;
        frame = parent.captured(1);
    }
    QCOMPARE(*bounds, m_desk.geometry(frame));

    // A window that is gone has no bounds.
    QVERIFY(!m_screen.frameBounds(0x7FFFFFF0));
}

void TestX11Screen::borderedChildWindow()
{
    // A child window with an X border of its own, as the Athena widgets make their buttons.
    PictureWindow parent(pattern(QSize(300, 200)), QPoint(400, 300));
    QVERIFY(showAndWait(parent));
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> c(
        xcb_connect(m_desk.display().toLatin1().constData(), nullptr), &xcb_disconnect);
    QVERIFY(!xcb_connection_has_error(c.get()));
    constexpr int borderWidth = 3;
    const QRgb face = qRgb(0, 0, 255), border = qRgb(0, 255, 0);
    const xcb_window_t child = xcb_generate_id(c.get());
    const uint32_t values[] = { face & 0xFFFFFF, border & 0xFFFFFF };
    xcb_create_window(c.get(), XCB_COPY_FROM_PARENT, child, xcb_window_t(parent.winId()), 40, 30, 100, 50,
        borderWidth, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
        XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL, values);
    xcb_map_window(c.get(), child);
    xcb_flush(c.get());

    // The window's place in its parent is that of its border's outer corner.
    const QRect outer(parent.mapToGlobal(QPoint(40, 30)), QSize(100 + 2 * borderWidth, 50 + 2 * borderWidth));
    const QPoint onTheBorder = outer.topLeft() + QPoint(1, 1);
    QTRY_COMPARE(m_screen.windowAt(onTheBorder), WindowHandle(child));
    QCOMPARE(m_screen.frameBounds(child), std::optional<QRect>(outer));

    // The capture of the window under the pointer is the border box, pixel for pixel as the screen shows it.
    ScreenCapture capture(m_screen);
    capture.setShowCursor(false);
    QImage bitmap;
    QRect rect;
    QVERIFY(capture.Capture(bitmap, m_screen.windowAt(outer.center()), rect));
    QCOMPARE(rect, outer);
    QImage expected(outer.size(), QImage::Format_RGB32);
    expected.fill(border);
    QPainter(&expected).fillRect(QRect(borderWidth, borderWidth, 100, 50), face);
    QCOMPARE(bitmap, expected);
    QImage screen(outer.size(), QImage::Format_RGB32);
    QVERIFY(m_screen.copyArea(outer, screen));
    QCOMPARE(bitmap, screen);

    // The outline lies just outside what the capture takes.
    QCursor::setPos(outer.center());
    QPointer<WindowOutline> line = new WindowOutline(m_screen, nullptr);
    line->show();
    QTRY_COMPARE(line->geometry(), outer.adjusted(-1, -1, 1, 1));
    line->close(); // it frees itself
    xcb_destroy_window(c.get(), child);
    xcb_flush(c.get());
}

void TestX11Screen::activeWindowAndWindowAtPoint()
{
    PictureWindow window(pattern(QSize(200, 150)), QPoint(900, 600), Qt::Window);
    QVERIFY(showAndWait(window));
    window.activateWindow();
    QTRY_COMPARE(m_screen.activeWindow(), WindowHandle(window.winId()));
    const QPoint inside = window.mapToGlobal(QPoint(50, 50));
    QCOMPARE(m_screen.windowAt(inside), WindowHandle(window.winId()));
    // Over the bare desktop only the root is found.
    const WindowHandle desktop = m_screen.windowAt(QPoint(5, 1075));
    QVERIFY(desktop != 0 && desktop != WindowHandle(window.winId()));
}

LUMETRA_X11_TEST_MAIN(TestX11Screen, XDesk::Server::Xvfb, true)
#include "tst_x11screen.moc"
