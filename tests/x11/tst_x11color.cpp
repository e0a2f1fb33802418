// The colour picker on a real X server: the live probe, the recorded codes, their menu and their drawing.

#include "PictureWindow.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "platform/Platform.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QTimer>
#include <cmath>

class TestX11Color : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Color(XDesk&) { }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void probeRecordsAndCopies();
    void recordedCodeIsDrawnAfterItsSwatch();

private:
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<Platform> m_platform;
};

void TestX11Color::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    m_platform = createPlatform();
}

void TestX11Color::cleanupTestCase()
{
    m_platform.reset();
}

void TestX11Color::probeRecordsAndCopies()
{
    QImage red(200, 100, QImage::Format_RGB32);
    red.fill(qRgb(255, 0, 0));
    red.setPixel(199, 99, qRgb(0x12, 0xAB, 0xEF));
    PictureWindow area(red, QPoint(300, 200));
    QVERIFY(showAndWait(area));

    TestProgram program(*m_platform);
    program.start();
    program.window().show();
    ColorPickerPage& picker = program.window().colorPicker();
    auto code = program.find<QLabel>(QStringLiteral("LblColor"));
    auto codes = program.find<QListWidget>(QStringLiteral("LstColor"));
    QVERIFY(!picker.isProbing());
    program.chooseSource(csColorPick);
    QVERIFY(picker.isProbing());
    QCursor::setPos(350, 250);
    QTRY_COMPARE(code->text(), QStringLiteral("FF0000"));
    QCOMPARE(program.find<QWidget>(QStringLiteral("ShpColor"))->palette().color(QPalette::Window),
        QColor(255, 0, 0));

    // Each capture command records the last tick's colour on top of the list and on the clipboard, also
    // twice without a move.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    program.capture();
    program.capture();
    QCOMPARE(codes->count(), 2);
    QCOMPARE(codes->item(0)->text(), QStringLiteral("FF0000"));
    QCOMPARE(clipboard->text(), QStringLiteral("FF0000"));
    QCOMPARE(program.state(), CaptureDispatcher::State::Idle);
    QCursor::setPos(499, 299);
    QTRY_COMPARE(code->text(), QStringLiteral("12ABEF"));
    program.capture();
    QCOMPARE(codes->item(0)->text(), QStringLiteral("12ABEF"));

    // Copy and delete do nothing without a selection, and act on the selected code with one.
    clipboard->setText(QStringLiteral("unchanged"));
    codes->clearSelection();
    program.click(QStringLiteral("N5"));
    program.click(QStringLiteral("N7"));
    QCOMPARE(codes->count(), 3);
    QCOMPARE(clipboard->text(), QStringLiteral("unchanged"));
    codes->setCurrentRow(1);
    program.click(QStringLiteral("N5"));
    QCOMPARE(clipboard->text(), QStringLiteral("FF0000"));
    codes->setCurrentRow(0);
    program.click(QStringLiteral("N7"));
    QCOMPARE(picker.recordedCodes(), (QStringList { QStringLiteral("FF0000"), QStringLiteral("FF0000") }));

    // Off the probe's source the probe stops.
    program.chooseSource(csFullScreen);
    QVERIFY(!picker.isProbing());
}

void TestX11Color::recordedCodeIsDrawnAfterItsSwatch()
{
    // At 150 %: the text starts at 30, the swatch runs from 3 to 22 (22.5 goes to the even neighbour) and
    // from 2 pixels below the item's top to 2 above its bottom, outlined in black.
    auto scaled = [](int value) { return int(std::nearbyint(value * 1.5)); };
    QImage item(120, 22, QImage::Format_RGB32);
    item.fill(Qt::gray);
    {
        QPainter painter(&item);
        ColorPickerPage::drawCode(painter, item.rect(), QStringLiteral("00FF00"), false, scaled);
    }
    QCOMPARE(item.pixel(1, 1), qRgb(255, 255, 255));
    QCOMPARE(item.pixel(3, 3), qRgb(0, 0, 0));
    QCOMPARE(item.pixel(22, 10), qRgb(0, 0, 0));
    QCOMPARE(item.pixel(10, 19), qRgb(0, 0, 0));
    QCOMPARE(item.pixel(10, 10), qRgb(0, 255, 0));
    QCOMPARE(item.pixel(23, 10), qRgb(255, 255, 255));
    int firstInk = -1;
    for (int x = 23; x < item.width() && firstInk < 0; ++x) {
        for (int y = 0; y < item.height(); ++y) {
            if (item.pixel(x, y) != qRgb(255, 255, 255)) {
                firstInk = x;
                break;
            }
        }
    }
    QVERIFY2(firstInk >= 30 && firstInk <= 32, qPrintable(QString::number(firstInk)));

    // A selected item: white on blue.
    {
        QPainter painter(&item);
        ColorPickerPage::drawCode(painter, item.rect(), QStringLiteral("00FF00"), true, scaled);
    }
    QCOMPARE(item.pixel(1, 1), qRgb(0x33, 0x99, 0xFF));
}

LUMETRA_X11_TEST_MAIN(TestX11Color, XDesk::Server::Xvfb, true)
#include "tst_x11color.moc"
