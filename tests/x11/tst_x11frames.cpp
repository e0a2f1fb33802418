#include "PictureWindow.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "capture/RegionFrame.h"
#include "capture/ScreenCapture.h"
#include "capture/WindowOutline.h"
#include "platform/Platform.h"
#include "platform/ScreenSource.h"

#include <QComboBox>
#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 5) & 0xFF, (y * 9) & 0xFF, ((x ^ y) * 3) & 0xFF));
    return image;
}

const Qt::WindowFlags Bare = Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint;
const Qt::WindowFlags Managed = Qt::Window | Qt::FramelessWindowHint;

} // namespace

// The region frame and the window outline on a real X server with openbox.
class TestX11Frames : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Frames(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void holeLetsClicksAndPixelsThrough();
    void outlineOfAWindowWithoutFrameExtents();
    void outlineOfAFramedWindowAndOfItsOwnRing();
    void outlinedWindowThatCloses();

private:
    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<Platform> m_platform;
};

void TestX11Frames::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xdotool"), QStringLiteral("xdotool"), &error), qPrintable(error));
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    m_platform = createPlatform();
}

void TestX11Frames::cleanupTestCase()
{
    m_platform.reset();
}

void TestX11Frames::holeLetsClicksAndPixelsThrough()
{
    const QImage picture = pattern(QSize(800, 600));
    PictureWindow beneath(picture, QPoint(600, 300), Managed);
    QVERIFY(showAndWait(beneath));

    TestProgram program(*m_platform);
    program.start();
    program.chooseSource(csRegion);
    RegionFrame* frame = program.program().sourceWindows().regionFrame();
    QVERIFY(frame);
    QVERIFY(showAndWait(*frame));
    // Centred on the monitor by default, always on top of the window beneath.
    const QRect hole = frame->GetRect();
    QCOMPARE(hole, QRect(720 + 6, 360 + frame->HeaderHeight() + 6, 480, 360));

    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QString::number(hole.center().x()), QString::number(hole.center().y()),
            QStringLiteral("click"), QStringLiteral("1") }));
    QTRY_COMPARE(beneath.presses.size(), 1);
    QCOMPARE(beneath.presses.first(), hole.center());

    // What the screen shows in the hole is the window beneath; around it, the frame's red ring.
    QCursor::setPos(10, 10);
    ScreenCapture capture(m_platform->screen());
    capture.setShowCursor(false);
    QImage bitmap;
    QVERIFY(capture.Capture(bitmap, hole));
    QCOMPARE(bitmap, picture.copy(hole.translated(-600, -300)));
    const auto ring = m_platform->screen().pixel(hole.topLeft() - QPoint(3, 3));
    QVERIFY(ring && qRed(*ring) > 100 && qGreen(*ring) == 0 && qBlue(*ring) == 0);

    // Not the main window's transient: it stays when the main window hides or minimises.
    QString transient;
    m_desk.run(QStringLiteral("xprop"),
        { QStringLiteral("-id"), QString::number(frame->winId()), QStringLiteral("WM_TRANSIENT_FOR") },
        &transient);
    QVERIFY2(transient.contains(QLatin1String("not found")), qPrintable(transient));
}

void TestX11Frames::outlineOfAWindowWithoutFrameExtents()
{
    // An unmanaged window carries no frame extents: its outline follows its plain geometry.
    const QImage picture = pattern(QSize(200, 100));
    PictureWindow target(picture, QPoint(300, 200), Bare);
    QVERIFY(showAndWait(target));
    QWidget main;
    main.setGeometry(1200, 600, 160, 190);
    QVERIFY(showAndWait(main));

    QCursor::setPos(400, 250);
    QTRY_COMPARE(m_platform->screen().cursorPos(), QPoint(400, 250));
    auto line = new WindowOutline(m_platform->screen(), &main);
    line->show();
    QTRY_COMPARE(line->geometry(), QRect(299, 199, 202, 102));
    // Once the dashes are drawn, the ring shows black and white just outside the window.
    QTRY_VERIFY(line->Delay == 0 && WindowOutline::DashPhase() != 0);
    QTest::qWait(100);
    int black = 0, white = 0;
    for (int x = 299; x < 501; ++x) {
        const auto pixel = m_platform->screen().pixel(QPoint(x, 199));
        QVERIFY(pixel);
        black += *pixel == qRgb(0, 0, 0);
        white += *pixel == qRgb(255, 255, 255);
    }
    QVERIFY2(
        black > 100 && white > 50, qPrintable(QStringLiteral("%1 black, %2 white").arg(black).arg(white)));

    // A window-control capture of the window under the pointer never holds the outline.
    ScreenCapture capture(m_platform->screen());
    capture.setShowCursor(false);
    QImage bitmap;
    QRect rect;
    QVERIFY(capture.Capture(bitmap, m_platform->screen().windowAt(m_platform->screen().cursorPos()), rect));
    QCOMPARE(rect, QRect(300, 200, 200, 100));
    QCOMPARE(bitmap, picture);
    line->close();
}

void TestX11Frames::outlineOfAFramedWindowAndOfItsOwnRing()
{
    PictureWindow target(pattern(QSize(300, 200)), QPoint(500, 400), Qt::Window);
    target.setWindowTitle(QStringLiteral("framed"));
    QVERIFY(showAndWait(target));
    QWidget main;
    main.setWindowTitle(QStringLiteral("main"));
    main.setGeometry(1300, 500, 160, 190);
    QVERIFY(showAndWait(main));
    const QPoint inside = target.mapToGlobal(QPoint(150, 100));
    QCursor::setPos(inside);
    QTRY_COMPARE(m_platform->screen().cursorPos(), inside);

    auto line = new WindowOutline(m_platform->screen(), &main);
    line->show();
    line->Timer1->stop();
    const auto frame = m_platform->screen().frameBounds(WindowHandle(target.winId()));
    QVERIFY(frame && frame->height() > 200);
    QTRY_COMPARE(line->geometry(), frame->adjusted(-1, -1, 1, 1));

    // The pointer on the ring itself: the outline shows the main window instead.
    const QPoint onRing(line->geometry().left(), inside.y());
    QCursor::setPos(onRing);
    QTRY_COMPARE(m_platform->screen().cursorPos(), onRing);
    line->Timer1Timer();
    const auto mainFrame = m_platform->screen().frameBounds(WindowHandle(main.winId()));
    QVERIFY(mainFrame);
    QCOMPARE(line->geometry(), mainFrame->adjusted(-1, -1, 1, 1));
    line->close();
}

void TestX11Frames::outlinedWindowThatCloses()
{
    QWidget main;
    main.setGeometry(1300, 500, 160, 190);
    auto target = std::make_unique<PictureWindow>(pattern(QSize(200, 150)), QPoint(100, 100), Bare);
    QVERIFY(showAndWait(*target));
    QCursor::setPos(150, 150);
    QTRY_COMPARE(m_platform->screen().cursorPos(), QPoint(150, 150));
    auto line = new WindowOutline(m_platform->screen(), &main);
    line->show();
    QTRY_COMPARE(line->geometry(), QRect(99, 99, 202, 152));
    target.reset();
    // Nothing but the desktop is left under the pointer: the outline goes round the whole screen.
    QTRY_COMPARE(line->geometry(), QRect(-1, -1, 1922, 1082));
    line->close();
}

LUMETRA_X11_TEST_MAIN(TestX11Frames, XDesk::Server::Xvfb, true)
#include "tst_x11frames.moc"
