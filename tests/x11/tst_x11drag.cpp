#include "PictureWindow.h"
#include "TestHome.h"
#include "TestMain.h"
#include "capture/DragSelector.h"
#include "platform/Platform.h"
#include "platform/ScreenSource.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <functional>

namespace {

QImage pattern(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 3) & 0xFF, x < 600 ? 40 : 210));
    return image;
}

DragSelector* openOverlay()
{
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto drag = qobject_cast<DragSelector*>(window); drag && drag->isVisible())
            return drag;
    }
    return nullptr;
}

} // namespace

// The drag overlay on two monitors of different sizes: DUMMY1 (1280 x 1024) left of the primary DUMMY0
// (1920 x 1080), with openbox managing the windows.
class TestX11Drag : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Drag(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void dragAcrossTheMonitorBoundary();
    void anotherWindowActivatedCancels();

private:
    // Runs `steps` inside the overlay's modal loop once it is on screen and has the focus; cancels an
    // overlay still open afterwards, so that a failure cannot hang the test.
    void whenActive(std::function<void(DragSelector*)> steps);
    bool xdotool(const QStringList& arguments) { return m_desk.run(QStringLiteral("xdotool"), arguments); }

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<Platform> m_platform;
};

void TestX11Drag::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xdotool"), QStringLiteral("xdotool"), &error), qPrintable(error));
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    QVERIFY(m_desk.setMonitors(QSize(1920, 1080), QSize(1280, 1024)));
    m_platform = createPlatform();
    QTRY_COMPARE(m_platform->screen().monitors().size(), 2);
    QCOMPARE(m_platform->screen().virtualScreen(), QRect(0, 0, 3200, 1080));
}

void TestX11Drag::whenActive(std::function<void(DragSelector*)> steps)
{
    QTimer::singleShot(0, this, [this, steps = std::move(steps)] {
        [&] {
            QTRY_VERIFY(openOverlay());
            DragSelector* overlay = openOverlay();
            QVERIFY(QTest::qWaitForWindowExposed(overlay));
            QTRY_COMPARE(m_platform->screen().activeWindow(), WindowHandle(overlay->winId()));
            // The server may say so before the overlay has read its focus event; a step taken in between
            // would look to it like a window manager slow to hand the focus over.
            QTRY_VERIFY(overlay->isActiveWindow());
            QCOMPARE(overlay->geometry(), QRect(0, 0, 3200, 1080));
            steps(overlay);
        }();
        if (DragSelector* left = openOverlay())
            QTest::keyClick(left, Qt::Key_Escape);
    });
}

void TestX11Drag::dragAcrossTheMonitorBoundary()
{
    const QImage picture = pattern(QSize(1200, 900));
    // Managed, so that the overlay can come above it as above any program's window.
    PictureWindow window(picture, QPoint(680, 40), Qt::Window | Qt::FramelessWindowHint);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(200);

    QImage bitmap;
    QRect rect;
    auto overlay = new DragSelector(*m_platform, nullptr);
    overlay->Capture(bitmap, rect);
    whenActive([&](DragSelector*) {
        // What lies beneath changes; the overlay keeps the picture it froze.
        QImage red(picture.size(), QImage::Format_RGB32);
        red.fill(Qt::red);
        window.setPicture(red);
        // Bottom-right to top-left, from the primary monitor onto the left one.
        QVERIFY(xdotool({ QStringLiteral("mousemove"), QStringLiteral("1500"), QStringLiteral("700"),
            QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
            QStringLiteral("1200"), QStringLiteral("500"), QStringLiteral("mousemove"),
            QStringLiteral("1000"), QStringLiteral("300"), QStringLiteral("mouseup"), QStringLiteral("1") }));
        QTRY_VERIFY(!openOverlay());
    });
    QVERIFY(overlay->ShowModal());
    QCOMPARE(rect, QRect(1000, 300, 500, 400));
    QCOMPARE(bitmap.size(), QSize(500, 400));
    QCOMPARE(bitmap.convertToFormat(QImage::Format_RGB32), picture.copy(rect.translated(-680, -40)));
}

void TestX11Drag::anotherWindowActivatedCancels()
{
    // Another program: a window of this test process would be held back by the modal overlay.
    QProcess other;
    other.setProcessEnvironment(m_desk.environment());
    other.start(QStringLiteral("xmessage"),
        { QStringLiteral("-name"), QStringLiteral("anotherprogram"), QStringLiteral("-geometry"),
            QStringLiteral("300x100+200+200"), QStringLiteral("another program") });
    QString found;
    QTRY_VERIFY(m_desk.run(QStringLiteral("xdotool"),
                    { QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--classname"), QStringLiteral("^anotherprogram$") },
                    &found)
        && !found.trimmed().isEmpty());
    const QString otherWindow = found.trimmed().section(QLatin1Char('\n'), 0, 0);

    QImage bitmap;
    QRect rect;
    auto overlay = new DragSelector(*m_platform, nullptr);
    overlay->Capture(bitmap, rect);
    qint64 cancelMs = -1;
    whenActive([&](DragSelector* shown) {
        QVERIFY(xdotool({ QStringLiteral("mousemove"), QStringLiteral("2000"), QStringLiteral("600"),
            QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
            QStringLiteral("2100"), QStringLiteral("650") }));
        // The window manager focuses a window it sees clicked; on a busy machine it may do so after the
        // activation below and drop it, which is no fault of the overlay: then the activation is repeated.
        QTest::qWait(200);
        for (int attempt = 0; attempt < 5 && cancelMs < 0; ++attempt) {
            QVERIFY(xdotool({ QStringLiteral("windowactivate"), otherWindow }));
            QElapsedTimer timer;
            timer.start();
            if (QTest::qWaitFor([&] { return !shown->isVisible(); }, 1000))
                cancelMs = timer.elapsed();
            else
                QVERIFY2(m_platform->screen().activeWindow() != otherWindow.toUInt(),
                    "the other window is active but the overlay stays");
        }
        xdotool({ QStringLiteral("mouseup"), QStringLiteral("1") });
    });
    QVERIFY(overlay->ShowModal());
    other.kill();
    other.waitForFinished();
    QVERIFY(bitmap.isNull());
    // The watchdog looks every 100 ms; allow for a busy machine on top.
    QVERIFY2(cancelMs >= 0 && cancelMs < 400, qPrintable(QString::number(cancelMs)));
}

LUMETRA_X11_TEST_MAIN(TestX11Drag, XDesk::Server::XorgDummy, true)
#include "tst_x11drag.moc"
