#include "Pictures.h"
#include "TestHome.h"
#include "TestMain.h"
#include "TestProgram.h"
#include "capture/CaptureSource.h"
#include "save/Save.h"
#include "support/SettingsStore.h"
#include "targets/Targets.h"

#include <QDir>
#include <QUrlQuery>

namespace {

const QString CaptureFailed = QStringLiteral("캡쳐가 실패하였습니다.\r\r");
const QString ClipboardBlocked = QStringLiteral("클립보드 사용을 방지하는 프로그램이 실행중입니다.");
const QString NoWebpLibrary = QStringLiteral("/no-libwebp.so.7");

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int storedTarget()
{
    return SettingsStore().readInteger(QStringLiteral("saveto"), -1);
}

} // namespace

// The still targets as the user picks them: the target list's checks and the dispatch to each writer, the
// clipboard and the printer, on the fake platform.
class TestTargets : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void optionsBesideTheTarget_data();
    void optionsBesideTheTarget();
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
    QImage captured() const { return m_desk.copy(0, 0, 1920, 1080); }
    QStringList savedFiles() const { return QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden); }
    QList<ShownMessage>& shown() const { return m_platform->fakeMessages.shown; }
    bool optionShown(const char* name) const
    {
        return m_program->list(QLatin1String(name))->isVisibleTo(&m_program->window());
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<TestProgram> m_program;
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
    m_program = std::make_unique<TestProgram>(*m_platform);
    m_program->start();
    m_program->click(QStringLiteral("ChkMouse"));
}

void TestTargets::cleanup()
{
    m_program.reset();
    m_platform.reset();
    qunsetenv("LUMETRA_WEBP_LIBRARY");
}

void TestTargets::optionsBesideTheTarget_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("beside");
    QTest::newRow("PNG") << int(stPNG) << QString();
    QTest::newRow("JPG") << int(stJPG) << QStringLiteral("ChkJPEG_qual");
    QTest::newRow("GIF") << int(stGIF) << QString();
    QTest::newRow("WebP with its library") << int(stWebP) << QStringLiteral("ChkWebP_qual");
    QTest::newRow("clipboard") << int(stClipboard) << QString();
    QTest::newRow("printer") << int(stPrinter) << QString();
}

void TestTargets::optionsBesideTheTarget()
{
    QFETCH(int, target);
    QFETCH(QString, beside);
    // From a target with options, so that hiding them again is seen too.
    m_program->chooseTarget(stJPG);
    m_program->chooseTarget(target);
    for (const char* name : { "ChkJPEG_qual", "ChkWebP_qual", "ChkOCR_lang" })
        QVERIFY2(optionShown(name) == (beside == QLatin1String(name)), name);
    QCOMPARE(m_program->target(), target);
    QCOMPARE(storedTarget(), target);
    QVERIFY(shown().isEmpty());
}

void TestTargets::webpWithoutLibraryFallsBackToPng()
{
    qputenv("LUMETRA_WEBP_LIBRARY", (m_home->root + NoWebpLibrary).toLocal8Bit());
    m_program->chooseTarget(stJPG);
    m_program->chooseTarget(stWebP);
    QCOMPARE(shown().size(), 1);
    const ShownMessage& message = shown().first();
    QCOMPARE(message.icon, MessageIcon::Information);
    QCOMPARE(message.text, QStringLiteral("\"libwebp.so.7\" 파일이 없습니다."));
    QCOMPARE(message.title, m_program->window().windowTitle());
    QCOMPARE(m_platform->fakeShell.opened.size(), 1);
    const QUrl help = m_platform->fakeShell.opened.first();
    QCOMPARE(help.scheme(), QStringLiteral("https"));
    QCOMPARE(QUrlQuery(help).queryItemValue(QStringLiteral("app")), QStringLiteral("lumetra"));
    QCOMPARE(QUrlQuery(help).queryItemValue(QStringLiteral("msg")), QStringLiteral("webpnotfound"));
    QCOMPARE(m_program->target(), int(stPNG));
    QVERIFY(!optionShown("ChkWebP_qual"));
    QVERIFY(!optionShown("ChkJPEG_qual"));
    QCOMPARE(storedTarget(), int(stPNG));
    // The next capture is a PNG.
    m_program->capture();
    QCOMPARE(savedFiles(), QStringList { QStringLiteral("Q-001.png") });
}

void TestTargets::storedWebpWithoutLibraryWarnsAtStart()
{
    m_program.reset();
    qputenv("LUMETRA_WEBP_LIBRARY", (m_home->root + NoWebpLibrary).toLocal8Bit());
    SettingsStore().writeInteger(QStringLiteral("saveto"), stWebP);
    FakePlatform platform;
    TestProgram program(platform);
    program.start();
    QCOMPARE(platform.fakeMessages.shown.size(), 1);
    QCOMPARE(platform.fakeShell.opened.size(), 1);
    QCOMPARE(program.target(), int(stPNG));
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
    m_program->chooseTarget(target);
    m_program->capture();
    QVERIFY(shown().isEmpty());
    QCOMPARE(savedFiles(), QStringList { file });
    const QByteArray data = readFile(m_home->desktop + QLatin1Char('/') + file);
    QVERIFY(data.startsWith(magic));
    if (target == stBMP)
        QCOMPARE(QImage::fromData(data).convertToFormat(QImage::Format_RGB32), captured());
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
}

void TestTargets::qualityFollowsTheList()
{
    // The same capture written directly at a known quality is the reference.
    const QString reference90 = m_home->root + QStringLiteral("/q90.jpg");
    const QString reference60 = m_home->root + QStringLiteral("/q60.jpg");
    SaveBitmapJPG(captured(), reference90, 90);
    SaveBitmapJPG(captured(), reference60, 60);
    m_program->chooseTarget(stJPG);
    // Nothing selected (a stored index outside the list) writes at 90.
    m_program->list(QStringLiteral("ChkJPEG_qual"))->setCurrentIndex(-1);
    m_program->capture();
    QCOMPARE(readFile(m_home->desktop + QStringLiteral("/Q-001.jpg")), readFile(reference90));
    m_program->pick(QStringLiteral("ChkJPEG_qual"), 4);
    m_program->capture();
    QCOMPARE(readFile(m_home->desktop + QStringLiteral("/Q-002.jpg")), readFile(reference60));
    QCOMPARE(SettingsStore().readInteger(QStringLiteral("jpeg_quality"), -1), 4);
}

void TestTargets::clipboardTarget()
{
    m_platform->fakeClipboard.text = QStringLiteral("older");
    m_program->chooseTarget(stClipboard);
    m_program->capture();
    QCOMPARE(m_platform->fakeClipboard.image, captured());
    QVERIFY(shown().isEmpty());
    QVERIFY(savedFiles().isEmpty());

    // An empty capture (a window of no size) fails and leaves the clipboard alone.
    m_platform->fakeScreen.addWindow(0x123, QRect(10, 10, 0, 0));
    m_platform->fakeScreen.setActiveWindow(0x123);
    m_program->chooseSource(csActiveWindow);
    m_program->capture();
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown().first().text,
        CaptureFailed + QStringLiteral("The image is empty; the clipboard was left as it was."));
    QCOMPARE(m_platform->fakeClipboard.image, captured());
}

void TestTargets::blockedClipboardIsReportedOnce()
{
    m_platform->fakeClipboard.text = QStringLiteral("older");
    m_platform->fakeClipboard.blocked = true;
    m_program->click(QStringLiteral("ChkSound3"));
    m_program->chooseTarget(stClipboard);
    m_program->capture();
    // The clipboard's own message, not a failed capture; the capture itself ends normally.
    QCOMPARE(shown().size(), 1);
    QCOMPARE(shown().first().text, ClipboardBlocked);
    QCOMPARE(shown().first().icon, MessageIcon::Information);
    QCOMPARE(m_platform->fakeClipboard.text, QStringLiteral("older"));
    QCOMPARE(m_platform->fakeSound.plays, 1);
    QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);

    // Text goes the same way.
    CopyTextToClipboard(*m_platform, QStringLiteral("#FF0000"));
    QCOMPARE(shown().size(), 2);
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
    m_program->chooseTarget(stPrinter);
    m_program->capture();
    QVERIFY(shown().isEmpty());
    QCOMPARE(m_platform->fakePrinter.drawings.size(), 2);
    QCOMPARE(m_platform->fakePrinter.drawings.last().target, QRect(0, 0, 1920 * sx, 1080 * sy));
    QCOMPARE(m_platform->fakePrinter.begun, 2);
    QCOMPARE(m_platform->fakePrinter.ended, 2);
}

void TestTargets::printerFailures()
{
    m_program->chooseTarget(stPrinter);
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
        shown().clear();
        m_program->capture();
        QVERIFY2(shown().size() == 1, c.name);
        QCOMPARE(shown().first().text, CaptureFailed + QLatin1String(c.reason));
        // A started document is ended whatever went wrong.
        QVERIFY2(printer.ended == c.ended && !printer.open, c.name);
        QCOMPARE(m_program->state(), CaptureDispatcher::State::Idle);
    }
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestTargets)
#include "tst_targets.moc"
