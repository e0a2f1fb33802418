#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "capture/RegionFrame.h"
#include "capture/RegionSizeDialog.h"
#include "platform/fake/FakePlatform.h"
#include "support/SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

struct Placement
{
    int left;
    int top;
    int width;
    int height;
};
Q_DECLARE_METATYPE(Placement)

namespace {

// The left monitor is 1280 x 1024, the primary 1920 x 1080 right of it; below the left one lies a gap.
const QRect Desk(0, 0, 3200, 1080);

QImage deskPicture()
{
    QImage desk(Desk.size(), QImage::Format_RGB32);
    for (int y = 0; y < desk.height(); ++y)
        for (int x = 0; x < desk.width(); ++x)
            desk.setPixel(x, y, qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
    return desk;
}

Placement readPlacement()
{
    SettingsStore config;
    return { config.readInteger(QStringLiteral("left"), -1), config.readInteger(QStringLiteral("top"), -1),
        config.readInteger(QStringLiteral("width"), -1), config.readInteger(QStringLiteral("height"), -1) };
}

void storePlacement(const Placement& p)
{
    SettingsStore config;
    config.writeInteger(QStringLiteral("left"), p.left);
    config.writeInteger(QStringLiteral("top"), p.top);
    config.writeInteger(QStringLiteral("width"), p.width);
    config.writeInteger(QStringLiteral("height"), p.height);
}

} // namespace

bool operator==(const Placement& a, const Placement& b)
{
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

namespace QTest {
template <> char* toString(const Placement& p)
{
    return qstrdup(QStringLiteral("%1,%2 %3x%4").arg(p.left).arg(p.top).arg(p.width).arg(p.height).toUtf8());
}
} // namespace QTest

class TestArea : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void geometryOfTheSmallestPreset();
    void headerPanelsByWidth_data();
    void headerPanelsByWidth();
    void pulseSequence();
    void keyboardMovesAndResizes();
    void storedPlacement_data();
    void storedPlacement();
    void presetsFromTheStore_data();
    void presetsFromTheStore();
    void presetMenuUsesTheFieldsAndApplyRenames();
    void sizeFields_data();
    void sizeFields();
    void closeButtonHideAndSourceChange();
    void hitTest_data();
    void hitTest();
    void borderAndHeaderDragWithTheMouse();
    void regionCaptureTakesTheHole();

private:
    RegionFrame* openFrame();
    RegionSizeDialog* sizes() const { return m_program->window().findChild<RegionSizeDialog*>(); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
};

void TestArea::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
}

void TestArea::init()
{
    QDir(m_home->config).removeRecursively();
    m_platform = std::make_unique<FakePlatform>();
    m_platform->fakeScreen.setDesktop(deskPicture());
    m_platform->fakeScreen.setMonitors(
        { Monitor { QRect(1280, 0, 1920, 1080), true, {} }, Monitor { QRect(0, 0, 1280, 1024), false, {} } });
}

void TestArea::cleanup()
{
    m_program.reset();
    m_platform.reset();
}

RegionFrame* TestArea::openFrame()
{
    m_program = std::make_unique<TestProgram>(*m_platform);
    m_program->start();
    m_program->chooseSource(csRegion);
    return m_program->program().sourceWindows().regionFrame();
}

void TestArea::geometryOfTheSmallestPreset()
{
    RegionFrame* frame = openFrame();
    QVERIFY(frame && frame->isVisible());
    const int Hh = frame->HeaderHeight();
    QCOMPARE(Hh, 25);
    frame->SetSize(64, 64, 0);
    QCOMPARE(frame->size(), QSize(76, Hh + 76));
    QCOMPARE(frame->GetRect(), QRect(frame->x() + 6, frame->y() + Hh + 6, 64, 64));
    // The hole is cut out of the window; the ring around it is not.
    const QRegion shape = frame->mask();
    QVERIFY(!shape.contains(QPoint(6, Hh + 6)));
    QVERIFY(!shape.contains(QPoint(69, Hh + 69)));
    QVERIFY(shape.contains(QPoint(5, Hh + 6)));
    QVERIFY(shape.contains(QPoint(70, Hh + 69)));
    QVERIFY(shape.contains(QPoint(30, Hh + 70)));
    QCOMPARE(frame->LblSize->text(), QStringLiteral("64x64"));
    QCOMPARE(sizes()->EditWidth->value(), 64);
}

void TestArea::headerPanelsByWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("rec");
    QTest::addColumn<bool>("close");
    QTest::addColumn<bool>("size");
    QTest::newRow("293") << 293 << true << true << true;
    QTest::newRow("292") << 292 << false << true << true;
    QTest::newRow("113") << 113 << false << true << true;
    QTest::newRow("112") << 112 << false << false << true;
    QTest::newRow("65") << 65 << false << false << true;
    QTest::newRow("64") << 64 << false << false << false;
}

void TestArea::headerPanelsByWidth()
{
    QFETCH(int, width);
    QFETCH(bool, rec);
    QFETCH(bool, close);
    QFETCH(bool, size);
    RegionFrame* frame = openFrame();
    frame->SetSize(width - 12, 100, 0);
    QCOMPARE(frame->width(), width);
    QCOMPARE(frame->PnlRec->isVisible(), rec);
    QCOMPARE(frame->PnlClose->isVisible(), close);
    QCOMPARE(frame->LblSize->isVisible(), size);
}

void TestArea::pulseSequence()
{
    RegionFrame* frame = openFrame();
    frame->TmrColor->stop();
    QList<int> percents;
    for (int tick = 0; tick < 37; ++tick) {
        const int percent = frame->AreaColor_Percent;
        percents.append(percent);
        frame->TmrColorTimer();
        const QColor shown = frame->ShpBack->palette().color(QPalette::Window);
        QCOMPARE(shown, RegionFrame::DarkenColor(QColor(255, 0, 0), percent));
    }
    const QList<int> cycle { 0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 40, 35, 30, 25, 20, 15, 10, 5 };
    QCOMPARE(percents, cycle + cycle + QList<int> { 0 });
    // The darkest point: 255 less 45 % rounded to nearest (114.75 becomes 115).
    QCOMPARE(RegionFrame::DarkenColor(QColor(255, 0, 0), 45), QColor(140, 0, 0));
    QCOMPARE(RegionFrame::DarkenColor(QColor(10, 255, 1), 5), QColor(9, 242, 1));
    // The pulse runs only while the frame is shown.
    QVERIFY(!frame->TmrColor->isActive());
    frame->hide();
    frame->show();
    QVERIFY(frame->TmrColor->isActive());
    frame->hide();
    QVERIFY(!frame->TmrColor->isActive());
}

void TestArea::keyboardMovesAndResizes()
{
    RegionFrame* frame = openFrame();
    frame->SetSize(64, 64, 0);
    QTRY_COMPARE(readPlacement().width, 64);
    const QPoint start = frame->pos();

    QTest::keyClick(frame, Qt::Key_Right);
    QTest::keyClick(frame, Qt::Key_Down);
    QTest::keyClick(frame, Qt::Key_Down);
    QCOMPARE(frame->pos(), start + QPoint(1, 2));
    QTest::qWait(300);
    // Keyboard moves are not saved by themselves.
    QCOMPARE(readPlacement().left, start.x());

    QTest::keyClick(frame, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(frame, Qt::Key_Up, Qt::ControlModifier);
    QCOMPARE(frame->GetRect().size(), QSize(65, 54));
    // Resizes are, and the move with them.
    QTRY_COMPARE(readPlacement(), (Placement { start.x() + 1, start.y() + 2, 65, 54 }));

    // Shrinking stops at a 2 x 2 hole; the label shows what the fields make of it.
    for (int i = 0; i < 10; ++i) {
        QTest::keyClick(frame, Qt::Key_Left, Qt::ControlModifier);
        QTest::keyClick(frame, Qt::Key_Up, Qt::ShiftModifier | Qt::ControlModifier);
    }
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(frame, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(frame->GetRect().size(), QSize(2, 2));
    QCOMPARE(frame->LblSize->text(), QStringLiteral("64x64"));
    QCOMPARE(sizes()->EditWidth->value(), 64);

    // Alt+F4 leaves the frame where it is.
    QTest::keyClick(frame, Qt::Key_F4, Qt::AltModifier);
    QVERIFY(frame->isVisible());
}

void TestArea::storedPlacement_data()
{
    QTest::addColumn<Placement>("stored");
    QTest::addColumn<bool>("kept");
    QTest::newRow("inside") << Placement { 100, 100, 480, 360 } << true;
    QTest::newRow("one pixel from the left edge") << Placement { 1, 100, 480, 360 } << true;
    QTest::newRow("touching the left edge") << Placement { 0, 100, 480, 360 } << false;
    QTest::newRow("touching the top edge") << Placement { 100, 0, 480, 360 } << false;
    QTest::newRow("one pixel from the right edge") << Placement { 2719, 100, 480, 360 } << true;
    QTest::newRow("touching the right edge") << Placement { 2720, 100, 480, 360 } << false;
    QTest::newRow("touching the bottom edge") << Placement { 1500, 720, 480, 360 } << false;
    QTest::newRow("off every monitor") << Placement { 5000, 5000, 480, 360 } << false;
    QTest::newRow("left of the desktop") << Placement { -300, 100, 480, 360 } << false;
    QTest::newRow("in the gap below the smaller monitor") << Placement { 100, 1030, 100, 40 } << false;
    QTest::newRow("numbers that would overflow") << Placement { 2147483000, 100, 2147483000, 360 } << false;
}

void TestArea::storedPlacement()
{
    QFETCH(Placement, stored);
    QFETCH(bool, kept);
    storePlacement(stored);
    RegionFrame* frame = openFrame();
    // The fallback is centred on the primary monitor.
    const Placement expected
        = kept ? stored : Placement { 1280 + (1920 - 480) / 2, (1080 - 360) / 2, 480, 360 };
    QCOMPARE(frame->pos(), QPoint(expected.left, expected.top));
    QCOMPARE(frame->GetRect().size(), QSize(expected.width, expected.height));
    // A fallback is written back at once.
    QCOMPARE(readPlacement(), expected);
}

void TestArea::presetsFromTheStore_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("caption");
    QTest::newRow("zero") << 0 << 0 << QStringLiteral("64x64");
    QTest::newRow("huge") << 100000 << 100000 << QStringLiteral("9999x9999");
    QTest::newRow("ordinary") << 800 << 600 << QStringLiteral("800x600");
}

void TestArea::presetsFromTheStore()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, caption);
    {
        SettingsStore config;
        config.writeInteger(QStringLiteral("width_2"), width);
        config.writeInteger(QStringLiteral("height_2"), height);
    }
    RegionFrame* frame = openFrame();
    QCOMPARE(frame->PopSize_2->text(), caption);
    QCOMPARE(QStringLiteral("%1x%2").arg(sizes()->EditWidth_2->value()).arg(sizes()->EditHeight_2->value()),
        caption);
    QCOMPARE(frame->PopSize_1->text(), QStringLiteral("320x240"));
    frame->PopSize_2->trigger();
    QCOMPARE(QStringLiteral("%1x%2").arg(frame->GetRect().width()).arg(frame->GetRect().height()), caption);
}

void TestArea::presetMenuUsesTheFieldsAndApplyRenames()
{
    RegionFrame* frame = openFrame();
    RegionSizeDialog* sizes = this->sizes();
    sizes->EditWidth_3->setValue(500);
    frame->PopSize_3->trigger();
    QCOMPARE(frame->GetRect().size(), QSize(500, 480));
    QCOMPARE(frame->PopSize_3->text(), QStringLiteral("720x480"));
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("width_3"), -1), -1);

    sizes->BtnApply_3->click();
    QCOMPARE(frame->PopSize_3->text(), QStringLiteral("500x480"));
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("width_3"), -1), 500);
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("height_1"), -1), 240);

    // The current size: the frame takes it, no preset changes its name.
    sizes->EditWidth->setValue(300);
    sizes->EditHeight->setValue(200);
    sizes->BtnApply->click();
    QCOMPARE(frame->GetRect().size(), QSize(300, 200));
    QCOMPARE(frame->PopSize_1->text(), QStringLiteral("320x240"));
    QTRY_COMPARE(readPlacement().width, 300);

    // The dialog opens from the frame's menu.
    frame->PopConfig->trigger();
    QVERIFY(sizes->isVisible());
}

void TestArea::sizeFields_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("value");
    QTest::newRow("in range") << QStringLiteral("640") << 640;
    QTest::newRow("below the minimum") << QStringLiteral("12") << 64;
    QTest::newRow("empty") << QString() << 64;
    QTest::newRow("the maximum") << QStringLiteral("9999") << 9999;
}

void TestArea::sizeFields()
{
    QFETCH(QString, typed);
    QFETCH(int, value);
    openFrame();
    QSpinBox* field = sizes()->EditHeight_1;
    field->setValue(300);
    field->findChild<QLineEdit*>()->setText(typed);
    // Applying takes the text as leaving the field would.
    sizes()->BtnApply_1->click();
    QCOMPARE(field->value(), value);
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("height_1"), -1), value);

    field->setValue(0);
    QCOMPARE(field->value(), 64);
    field->setValue(100000);
    QCOMPARE(field->value(), 9999);
}

void TestArea::closeButtonHideAndSourceChange()
{
    RegionFrame* frame = openFrame();
    QTRY_VERIFY(readPlacement().left >= 0);
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("area"), -1), 1);

    // Hiding through the menu: no save, the source stays.
    const Placement before = readPlacement();
    QTest::keyClick(frame, Qt::Key_Left);
    frame->PopClose->trigger();
    QVERIFY(!frame->isVisible());
    QTest::qWait(300);
    QCOMPARE(readPlacement(), before);
    QCOMPARE(m_program->source(), int(csRegion));

    // Choosing another source closes it, which saves; choosing the region again shows the same frame.
    m_program->chooseSource(csRegion);
    QCOMPARE(m_program->program().sourceWindows().regionFrame(), frame);
    QVERIFY(frame->isVisible());
    QTest::keyClick(frame, Qt::Key_Left);
    m_program->chooseSource(csActiveWindow);
    QVERIFY(!frame->isVisible());
    QCOMPARE(readPlacement().left, before.left - 2);

    // The close button: full screen, stored, and the placement saved.
    m_program->chooseSource(csRegion);
    QTest::keyClick(frame, Qt::Key_Left);
    QTest::mouseClick(frame->BtnClose, Qt::LeftButton);
    QVERIFY(!frame->isVisible());
    QCOMPARE(m_program->source(), int(csFullScreen));
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("area"), -1), 0);
    QCOMPARE(readPlacement().left, before.left - 3);
}

void TestArea::hitTest_data()
{
    using Hit = RegionFrame::Hit;
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<int>("hit");
    // A window of 200 x 125 with a 25-pixel header: the hole is (6, 31) to (194, 119).
    QTest::newRow("top-left corner") << QPoint(0, 0) << false << int(Hit::TopLeft);
    QTest::newRow("header middle") << QPoint(100, 10) << false << int(Hit::Top);
    QTest::newRow("top-right corner") << QPoint(199, 10) << false << int(Hit::TopRight);
    QTest::newRow("strip below the header") << QPoint(100, 28) << false << int(Hit::Top);
    QTest::newRow("left side") << QPoint(3, 60) << false << int(Hit::Left);
    QTest::newRow("right side") << QPoint(196, 60) << false << int(Hit::Right);
    QTest::newRow("bottom-left corner") << QPoint(3, 123) << false << int(Hit::BottomLeft);
    QTest::newRow("bottom side") << QPoint(100, 124) << false << int(Hit::Bottom);
    QTest::newRow("bottom-right corner") << QPoint(198, 122) << false << int(Hit::BottomRight);
    QTest::newRow("hole") << QPoint(100, 60) << false << int(Hit::Caption);
    QTest::newRow("outside") << QPoint(-1, 5) << false << int(Hit::Default);
    QTest::newRow("recording: side") << QPoint(3, 60) << true << int(Hit::Default);
    QTest::newRow("recording: corner") << QPoint(199, 124) << true << int(Hit::Default);
}

void TestArea::hitTest()
{
    QFETCH(QPoint, point);
    QFETCH(bool, recording);
    QFETCH(int, hit);
    QCOMPARE(int(RegionFrame::HitTest(point, QSize(200, 125), 25, recording)), hit);
}

void TestArea::borderAndHeaderDragWithTheMouse()
{
    // The offscreen platform has no window manager to take the drag, so the frame follows the mouse itself.
    RegionFrame* frame = openFrame();
    frame->SetSize(300, 200, 0);
    const QRect start = frame->geometry();
    const QPoint edge(frame->width() - 2, 100);
    QTest::mousePress(frame, Qt::LeftButton, {}, edge);
    QTest::mouseMove(frame, edge + QPoint(30, 40));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, edge + QPoint(30, 40));
    QCOMPARE(frame->geometry(), start.adjusted(0, 0, 30, 0));
    QTRY_COMPARE(readPlacement().width, 330);

    const QPoint corner(1, 1);
    QTest::mousePress(frame, Qt::LeftButton, {}, corner);
    QTest::mouseMove(frame, corner + QPoint(-10, -5));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, corner + QPoint(-10, -5));
    QCOMPARE(frame->geometry(), start.adjusted(-10, -5, 30, 0));

    // The header moves the frame, and the move is saved.
    const QRect before = frame->geometry();
    QTest::mousePress(frame->PnlRec, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseMove(frame->PnlRec, QPoint(70, 30));
    QTest::mouseRelease(frame->PnlRec, Qt::LeftButton, {}, QPoint(70, 30));
    QCOMPARE(frame->geometry(), before.translated(50, 20));
    QTRY_COMPARE(readPlacement().left, before.left() + 50);
}

void TestArea::regionCaptureTakesTheHole()
{
    RegionFrame* frame = openFrame();
    frame->SetMove(1400, 300);
    frame->SetSize(320, 240, 0);
    m_program->settings().setSaveFolder(m_home->desktop);
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    if (m_program->checked(QStringLiteral("ChkMouse")))
        m_program->click(QStringLiteral("ChkMouse"));
    m_program->capture();
    const QRect hole(1406, 300 + frame->HeaderHeight() + 6, 320, 240);
    QCOMPARE(frame->GetRect(), hole);
    const QImage saved(m_home->desktop + QStringLiteral("/Q-001.png"));
    QCOMPARE(saved.convertToFormat(QImage::Format_RGB32), deskPicture().copy(hole));
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestArea)
#include "tst_area.moc"
