#include "Pictures.h"
#include "TestHome.h"
#include "TestMain.h"
#include "app/Main.h"
#include "platform/fake/FakePlatform.h"
#include "save/Save.h"
#include "support/Q.Config.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QUrlQuery>

namespace {

const QString CaptureFailed = QStringLiteral("캡쳐가 실패하였습니다.\r\r");
const QString ClipboardBlocked = QStringLiteral("클립보드 사용을 방지하는 프로그램이 실행중입니다.");

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The still targets as the main window uses them: the target list's checks and the dispatch to each
// writer, the clipboard and the printer, on the fake platform.
class TestTargets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void targetListLayout_data();
    void targetListLayout();
    void webpWithoutLibraryFallsBackToPng();
    void storedWebpWithoutLibraryWarnsAtStart();
    void fileTargetsWriteTheirFormat_data();
    void fileTargetsWriteTheirFormat();
    void qualityFollowsTheList();
    void clipboardTarget();
    void blockedClipboardIsReportedOnce();
    void printerScales_data();
    void printerScales();
    void printerFailures();

private:
    void choose(int target);
    int storedTarget() const { return TConfig().ReadInteger(QStringLiteral("saveto"), -1); }
    QImage captured() const { return m_desk.copy(0, 0, 1920, 1080); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TFrmLumetra> m_form;
    QImage m_desk;
};

void TestTargets::initTestCase()
{
    m_home = std::make_unique<TestHome>();
    m_home->apply();
    m_desk = Pictures::screen(1920, 1080);
}

void TestTargets::init()
{
    qunsetenv("LUMETRA_WEBP_LIBRARY");
    QDir(m_home->config).removeRecursively();
    QDir(m_home->desktop).removeRecursively();
    QDir().mkpath(m_home->desktop);
    m_platform = std::make_unique<FakePlatform>();
    m_platform->fakeScreen.setDesktop(m_desk);
    m_form = std::make_unique<TFrmLumetra>(*m_platform, QStringList());
    m_form->FormCreate();
    m_form->SavePath = m_home->desktop;
    m_form->ChkMouse->setChecked(false);
}

void TestTargets::cleanup()
{
    m_form.reset();
    m_platform.reset();
    qunsetenv("LUMETRA_WEBP_LIBRARY");
}

void TestTargets::choose(int target)
{
    m_form->ChkSaveTo->setCurrentIndex(target);
    m_form->ChkSaveToChange();
}

void TestTargets::targetListLayout_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("beside");
    QTest::newRow("PNG") << int(stPNG) << 145 << QString();
    QTest::newRow("JPG") << int(stJPG) << 82 << QStringLiteral("ChkJPEG_qual");
    QTest::newRow("GIF") << int(stGIF) << 145 << QString();
    QTest::newRow("BMP") << int(stBMP) << 145 << QString();
    QTest::newRow("WebP with its library") << int(stWebP) << 82 << QStringLiteral("ChkWebP_qual");
    QTest::newRow("clipboard") << int(stClipboard) << 145 << QString();
    QTest::newRow("printer") << int(stPrinter) << 145 << QString();
}

void TestTargets::targetListLayout()
{
    QFETCH(int, target);
    QFETCH(int, width);
    QFETCH(QString, beside);
    // From a narrowed list, so that restoring the width is seen too.
    choose(stJPG);
    choose(target);
    QCOMPARE(m_form->ChkSaveTo->width(), m_form->Scaled(width));
    for (QComboBox* list : { m_form->ChkJPEG_qual, m_form->ChkWebP_qual, m_form->ChkOCR_lang })
        QCOMPARE(list->isVisibleTo(m_form.get()), list->objectName() == beside);
    QCOMPARE(storedTarget(), target);
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
}

void TestTargets::webpWithoutLibraryFallsBackToPng()
{
    qputenv("LUMETRA_WEBP_LIBRARY", (m_home->root + QStringLiteral("/no-libwebp.so.7")).toLocal8Bit());
    choose(stJPG);
    choose(stWebP);
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    const ShownMessage& message = m_platform->fakeMessages.shown.first();
    QCOMPARE(message.icon, MessageIcon::Information);
    QCOMPARE(message.text, QStringLiteral("\"libwebp.so.7\" 파일이 없습니다."));
    QCOMPARE(message.title, m_form->windowTitle());
    QCOMPARE(m_platform->fakeShell.opened.size(), 1);
    const QUrl help = m_platform->fakeShell.opened.first();
    QCOMPARE(help.scheme(), QStringLiteral("https"));
    QCOMPARE(help.path(), QStringLiteral("/"));
    QCOMPARE(QUrlQuery(help).queryItemValue(QStringLiteral("app")), QStringLiteral("lumetra"));
    QCOMPARE(QUrlQuery(help).queryItemValue(QStringLiteral("msg")), QStringLiteral("webpnotfound"));
    QCOMPARE(m_form->ChkSaveTo->currentIndex(), int(stPNG));
    QCOMPARE(m_form->ChkSaveTo->width(), m_form->Scaled(145));
    QVERIFY(!m_form->ChkWebP_qual->isVisibleTo(m_form.get()));
    QVERIFY(!m_form->ChkJPEG_qual->isVisibleTo(m_form.get()));
    QCOMPARE(storedTarget(), int(stPNG));
    // The next capture is a PNG.
    m_form->Start();
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files), QStringList { QStringLiteral("Q-001.png") });
}

void TestTargets::storedWebpWithoutLibraryWarnsAtStart()
{
    qputenv("LUMETRA_WEBP_LIBRARY", (m_home->root + QStringLiteral("/no-libwebp.so.7")).toLocal8Bit());
    TConfig().WriteInteger(QStringLiteral("saveto"), stWebP);
    FakePlatform platform;
    TFrmLumetra form(platform, QStringList());
    form.FormCreate();
    QCOMPARE(platform.fakeMessages.shown.size(), 1);
    QCOMPARE(platform.fakeShell.opened.size(), 1);
    QCOMPARE(form.ChkSaveTo->currentIndex(), int(stPNG));
    QCOMPARE(storedTarget(), int(stPNG));
}

void TestTargets::fileTargetsWriteTheirFormat_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("JPG") << int(stJPG) << QStringLiteral("Q-001.jpg") << QByteArray("\xFF\xD8\xFF", 3);
    QTest::newRow("GIF") << int(stGIF) << QStringLiteral("Q-001.gif") << QByteArray("GIF89a");
    QTest::newRow("BMP") << int(stBMP) << QStringLiteral("Q-001.bmp") << QByteArray("BM");
    QTest::newRow("WebP") << int(stWebP) << QStringLiteral("Q-001.webp") << QByteArray("RIFF");
}

void TestTargets::fileTargetsWriteTheirFormat()
{
    QFETCH(int, target);
    QFETCH(QString, file);
    QFETCH(QByteArray, magic);
    choose(target);
    m_form->Start();
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden), QStringList { file });
    const QByteArray data = readFile(m_home->desktop + QLatin1Char('/') + file);
    QVERIFY(data.startsWith(magic));
    if (target == stBMP)
        QCOMPARE(QImage::fromData(data).convertToFormat(QImage::Format_RGB32), captured());
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
}

void TestTargets::qualityFollowsTheList()
{
    // The same capture written directly at a known quality is the reference.
    const QString reference90 = m_home->root + QStringLiteral("/q90.jpg");
    const QString reference60 = m_home->root + QStringLiteral("/q60.jpg");
    SaveBitmapJPG(captured(), reference90, 90);
    SaveBitmapJPG(captured(), reference60, 60);
    choose(stJPG);
    m_form->ChkJPEG_qual->setCurrentIndex(-1);
    m_form->Start();
    QCOMPARE(readFile(m_home->desktop + QStringLiteral("/Q-001.jpg")), readFile(reference90));
    m_form->ChkJPEG_qual->setCurrentIndex(4);
    m_form->Start();
    QCOMPARE(readFile(m_home->desktop + QStringLiteral("/Q-002.jpg")), readFile(reference60));
}

void TestTargets::clipboardTarget()
{
    m_platform->fakeClipboard.text = QStringLiteral("older");
    choose(stClipboard);
    m_form->Start();
    QCOMPARE(m_platform->fakeClipboard.image, captured());
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
    QVERIFY(QDir(m_home->desktop).entryList(QDir::Files).isEmpty());

    // An empty capture (a window of no size) fails and leaves the clipboard alone.
    m_platform->fakeScreen.addWindow(0x123, QRect(10, 10, 0, 0));
    m_platform->fakeScreen.setActiveWindow(0x123);
    m_form->ChkArea->setCurrentIndex(csActiveWindow);
    m_form->Start();
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text,
        CaptureFailed + QStringLiteral("The image is empty; the clipboard was left as it was."));
    QCOMPARE(m_platform->fakeClipboard.image, captured());
}

void TestTargets::blockedClipboardIsReportedOnce()
{
    m_platform->fakeClipboard.text = QStringLiteral("older");
    m_platform->fakeClipboard.blocked = true;
    for (QAction* item : { m_form->ChkSound1, m_form->ChkSound2, m_form->ChkSound3 })
        item->setChecked(item == m_form->ChkSound3);
    choose(stClipboard);
    m_form->Start();
    // The clipboard's own message, not a failed capture; the capture itself ends normally.
    QCOMPARE(m_platform->fakeMessages.shown.size(), 1);
    QCOMPARE(m_platform->fakeMessages.shown.first().text, ClipboardBlocked);
    QCOMPARE(m_platform->fakeMessages.shown.first().icon, MessageIcon::Information);
    QCOMPARE(m_platform->fakeClipboard.text, QStringLiteral("older"));
    QCOMPARE(m_platform->fakeSound.plays, 1);
    QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);

    // Text goes the same way.
    CopyTextToClipboard(*m_platform, QStringLiteral("#FF0000"));
    QCOMPARE(m_platform->fakeMessages.shown.size(), 2);
    QCOMPARE(m_platform->fakeClipboard.text, QStringLiteral("older"));
    m_platform->fakeClipboard.blocked = false;
    CopyTextToClipboard(*m_platform, QStringLiteral("#FF0000"));
    QCOMPARE(m_platform->fakeClipboard.text, QStringLiteral("#FF0000"));
}

void TestTargets::printerScales_data()
{
    QTest::addColumn<QSize>("dpi");
    QTest::addColumn<int>("sx");
    QTest::addColumn<int>("sy");
    QTest::newRow("300 dpi") << QSize(300, 300) << 3 << 3;
    QTest::newRow("600 dpi: 6, not 6.25") << QSize(600, 600) << 6 << 6;
    QTest::newRow("600 x 300 dpi") << QSize(600, 300) << 6 << 3;
    QTest::newRow("96 dpi") << QSize(96, 96) << 1 << 1;
    // Below the screen's resolution the quotient is 0; the picture still prints, at one dot a pixel.
    QTest::newRow("72 dpi") << QSize(72, 72) << 1 << 1;
}

void TestTargets::printerScales()
{
    QFETCH(QSize, dpi);
    QFETCH(int, sx);
    QFETCH(int, sy);
    m_platform->fakePrinter.dotsPerInch = dpi;
    const QImage small = Pictures::photo(100, 50);
    PrintBitmap(*m_platform, small, 96);
    QCOMPARE(m_platform->fakePrinter.drawings.size(), 1);
    QCOMPARE(m_platform->fakePrinter.drawings.first().target, QRect(0, 0, 100 * sx, 50 * sy));
    QCOMPARE(m_platform->fakePrinter.drawings.first().image, small);
    QCOMPARE(m_platform->fakePrinter.ended, 1);

    // Through the dispatch, with the main window's resolution (96 on the offscreen screen).
    choose(stPrinter);
    m_form->Start();
    QVERIFY(m_platform->fakeMessages.shown.isEmpty());
    QCOMPARE(m_platform->fakePrinter.drawings.size(), 2);
    QCOMPARE(m_platform->fakePrinter.drawings.last().target, QRect(0, 0, 1920 * sx, 1080 * sy));
    QCOMPARE(m_platform->fakePrinter.begun, 2);
    QCOMPARE(m_platform->fakePrinter.ended, 2);
}

void TestTargets::printerFailures()
{
    choose(stPrinter);
    FakePrinter& printer = m_platform->fakePrinter;
    struct Case
    {
        const char* name;
        bool hasDefault, drawFails, endFails;
        const char* reason;
        int ended;
    };
    for (const Case& c :
        { Case { "no default printer", false, false, false, "No default printer is set up.", 0 },
            Case { "drawing fails", true, true, false, "The image could not be drawn for the printer.", 1 },
            Case { "job refused", true, false, true, "The print job was refused.", 1 } }) {
        printer = FakePrinter();
        printer.hasDefault = c.hasDefault;
        printer.drawFails = c.drawFails;
        printer.endFails = c.endFails;
        m_platform->fakeMessages.shown.clear();
        m_form->Start();
        QVERIFY2(m_platform->fakeMessages.shown.size() == 1, c.name);
        QCOMPARE(m_platform->fakeMessages.shown.first().text, CaptureFailed + QLatin1String(c.reason));
        // A started document is ended whatever went wrong.
        QVERIFY2(printer.ended == c.ended && !printer.open, c.name);
        QCOMPARE(m_form->FStatus, TFrmLumetra::stIdle);
    }
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestTargets)
#include "tst_targets.moc"
