#include "PictureWindow.h"
#include "Pictures.h"
#include "PrintDesk.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QCursor>
#include <QDeadlineTimer>
#include <QDir>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <webp/decode.h>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");
const QString Capture = QStringLiteral(R"({"command":"capture"})");

// Text and a photo-like field, as a real screen has.
QImage screenPicture()
{
    QImage image = Pictures::photo(1920, 1080, 3);
    QPainter painter(&image);
    painter.fillRect(40, 40, 800, 400, Qt::white);
    painter.setPen(Qt::black);
    for (int line = 0; line < 20; ++line)
        painter.drawText(50, 60 + line * 18, QStringLiteral("Line %1 of some text on the screen").arg(line));
    painter.fillRect(1000, 600, 600, 300, QColor(0, 90, 180));
    return image;
}

QImage decodeWebP(const QByteArray& data, bool* lossless)
{
    WebPBitstreamFeatures features {};
    const auto bytes = reinterpret_cast<const uint8_t*>(data.constData());
    if (WebPGetFeatures(bytes, std::size_t(data.size()), &features) != VP8_STATUS_OK)
        return {};
    *lossless = features.format == 2;
    int width = 0, height = 0;
    uint8_t* pixels = WebPDecodeBGRA(bytes, std::size_t(data.size()), &width, &height);
    if (!pixels)
        return {};
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        std::memcpy(
            image.scanLine(y), pixels + std::size_t(y) * std::size_t(width) * 4, std::size_t(width) * 4);
    WebPFree(pixels);
    return image;
}

QByteArray readFile(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// A capture through each still target, chosen in the main window or remembered in the settings, with
// the built program on a private X desk, a private print system and xclip as the other program.
class TestE2ETargets : public QObject
{
    Q_OBJECT
public:
    explicit TestE2ETargets(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void jpgChosenInTheMainWindow();
    void fileTargets_data();
    void fileTargets();
    void clipboardOutlivesTheHiddenWindow();
    void printerPrintsThePicture();

private:
    void settings(const QMap<QString, QVariant>& values);
    void startLumetra(bool shown);
    QString capture();
    QString lumetraWindow();
    void hideLumetra();

    XDesk& m_desk;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<PrintDesk> m_print;
    std::unique_ptr<QProcess> m_lumetra;
    std::unique_ptr<PictureWindow> m_screen;
    QImage m_picture;
};

void TestE2ETargets::initTestCase()
{
    QString error;
    for (auto [tool, package] : { std::pair { "xdotool", "xdotool" }, std::pair { "xclip", "xclip" },
             std::pair { "pdftoppm", "poppler-utils" } })
        QVERIFY2(haveTool(QLatin1String(tool), QLatin1String(package), &error), qPrintable(error));
    m_print = PrintDesk::start(&error);
    QVERIFY2(m_print, qPrintable(error));
    QVERIFY2(m_print->addPdfPrinter(QStringLiteral("LumetraPDF"), &error), qPrintable(error));
    m_picture = screenPicture();
    m_screen = std::make_unique<PictureWindow>(m_picture, QPoint(0, 0));
    m_screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_screen.get()));
    QTest::qWait(300);
}

void TestE2ETargets::init()
{
    m_home = std::make_unique<TestHome>();
    QCursor::setPos(1900, 1070);
}

void TestE2ETargets::cleanup()
{
    if (m_lumetra)
        m_home->stop(*m_lumetra, Program, m_desk.environment(), 5000);
    m_lumetra.reset();
    m_home.reset();
}

void TestE2ETargets::settings(const QMap<QString, QVariant>& values)
{
    QSettings store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat);
    // The pointer stays out of the pictures, so that files hold exactly the screen's pixels.
    store.setValue(QStringLiteral("mouse"), 0);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        store.setValue(it.key(), it.value());
}

void TestE2ETargets::startLumetra(bool shown)
{
    m_lumetra = std::make_unique<QProcess>();
    m_lumetra->setProcessEnvironment(m_print->environment(m_home->environment(m_desk.environment())));
    m_lumetra->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_lumetra->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"));
    m_lumetra->start(Program, shown ? QStringList() : QStringList { QStringLiteral("/start") });
    QDeadlineTimer deadline(30000);
    const std::string socket = m_home->runtime.toStdString() + "/TFrmLumetra";
    while (!InstanceClient::isRunning(socket) && !deadline.hasExpired())
        QTest::qWait(20);
    QVERIFY(InstanceClient::isRunning(socket));
    if (shown)
        QTRY_VERIFY_WITH_TIMEOUT(!lumetraWindow().isEmpty(), 10000);
}

// Runs the capture command; the answer comes once the target has its picture.
QString TestE2ETargets::capture()
{
    QProcess command;
    command.setProcessEnvironment(m_home->environment(m_desk.environment()));
    command.start(Program, { QStringLiteral("--command"), Capture });
    if (!command.waitForFinished(60000))
        return {};
    return QString::fromLocal8Bit(command.readAllStandardOutput()).trimmed();
}

QString TestE2ETargets::lumetraWindow()
{
    QString output;
    m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
            QStringLiteral("^TFrmLumetra$") },
        &output);
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}

// Closing the main window only hides it to the notification area.
void TestE2ETargets::hideLumetra()
{
    const QString window = lumetraWindow();
    QVERIFY(!window.isEmpty());
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), window, QStringLiteral("key"),
            QStringLiteral("alt+F4") }));
    QTRY_VERIFY_WITH_TIMEOUT(lumetraWindow().isEmpty(), 10000);
    QCOMPARE(m_lumetra->state(), QProcess::Running);
}

void TestE2ETargets::jpgChosenInTheMainWindow()
{
    settings({});
    // The screen picture lies above every managed window; it makes way while the main window is used.
    m_screen->hide();
    startLumetra(true);
    const QString window = lumetraWindow();
    // The target list sits at (8, 81) of the window in design pixels; open it and take the entry below PNG.
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("30"),
            QStringLiteral("92"), QStringLiteral("click"), QStringLiteral("1") }));
    QTest::qWait(300);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return") }));
    // Remembered at once.
    QTRY_COMPARE_WITH_TIMEOUT(
        QSettings(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat)
            .value(QStringLiteral("saveto"))
            .toInt(),
        1, 10000);
    hideLumetra();
    m_screen->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_screen.get()));
    QTest::qWait(300);
    QCursor::setPos(1900, 1070);
    QCOMPARE(capture(), QStringLiteral("1"));
    const QImage saved(m_home->desktop + QStringLiteral("/Q-001.jpg"));
    QCOMPARE(saved.size(), m_picture.size());
    const double psnr = Pictures::psnr(saved, m_picture);
    QVERIFY2(psnr > 30, qPrintable(QString::number(psnr)));
}

void TestE2ETargets::fileTargets_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("quality"); // index of the quality list
    QTest::addColumn<QString>("file");
    QTest::newRow("GIF") << 2 << 1 << QStringLiteral("Q-001.gif");
    QTest::newRow("BMP") << 3 << 1 << QStringLiteral("Q-001.bmp");
    QTest::newRow("WebP at 100, lossless") << 4 << 0 << QStringLiteral("Q-001.webp");
    QTest::newRow("WebP at 90") << 4 << 1 << QStringLiteral("Q-001.webp");
}

void TestE2ETargets::fileTargets()
{
    QFETCH(int, target);
    QFETCH(int, quality);
    QFETCH(QString, file);
    settings({ { QStringLiteral("saveto"), target }, { QStringLiteral("webp_quality"), quality } });
    startLumetra(false);
    QCOMPARE(capture(), QStringLiteral("1"));
    QCOMPARE(QDir(m_home->desktop).entryList(QDir::Files | QDir::Hidden), QStringList { file });
    const QByteArray data = readFile(m_home->desktop + QLatin1Char('/') + file);
    if (target == 4) {
        bool lossless = false;
        const QImage decoded = decodeWebP(data, &lossless);
        QCOMPARE(lossless, quality == 0);
        if (lossless)
            QCOMPARE(decoded, m_picture);
        else
            QVERIFY(Pictures::psnr(decoded, m_picture) > 30);
    } else if (target == 3) {
        QCOMPARE(QImage::fromData(data).convertToFormat(QImage::Format_RGB32), m_picture);
    } else {
        const QImage decoded = QImage::fromData(data, "GIF");
        QCOMPARE(decoded.size(), m_picture.size());
        const double psnr = Pictures::psnr(decoded, m_picture);
        QVERIFY2(psnr > 24, qPrintable(QString::number(psnr)));
    }
}

void TestE2ETargets::clipboardOutlivesTheHiddenWindow()
{
    settings({ { QStringLiteral("saveto"), 7 } });
    startLumetra(true);
    hideLumetra();
    QCursor::setPos(1900, 1070);
    QCOMPARE(capture(), QStringLiteral("1"));
    QVERIFY(QDir(m_home->desktop).entryList(QDir::Files).isEmpty());
    for (int paste = 0; paste < 2; ++paste) {
        QString png;
        QProcess xclip;
        xclip.setProcessEnvironment(m_desk.environment());
        xclip.start(QStringLiteral("xclip"),
            { QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                QStringLiteral("image/png"), QStringLiteral("-o") });
        QVERIFY(xclip.waitForFinished(30000));
        const QImage pasted = QImage::fromData(xclip.readAllStandardOutput(), "PNG");
        QCOMPARE(pasted.convertToFormat(QImage::Format_RGB32), m_picture);
    }
}

void TestE2ETargets::printerPrintsThePicture()
{
    // A small window under the pointer, taken by the window-control source, so that the print fits a page.
    const QImage small = Pictures::quarters(100, 50);
    PictureWindow window(small, QPoint(700, 500));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);
    QCursor::setPos(750, 525);
    settings({ { QStringLiteral("saveto"), 9 }, { QStringLiteral("area"), 4 } });
    startLumetra(false);
    const QStringList before = m_print->pdfFiles();
    QCOMPARE(capture(), QStringLiteral("1"));
    QTRY_VERIFY_WITH_TIMEOUT(m_print->pdfFiles().size() > before.size(), 60000);
    QStringList files = m_print->pdfFiles();
    for (const QString& old : before)
        files.removeAll(old);
    QTemporaryDir folder;
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
            files.value(0), folder.filePath(QStringLiteral("page")) });
    QVERIFY(render.waitForFinished(60000));
    const QImage page
        = QImage(folder.filePath(QStringLiteral("page.png"))).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!page.isNull());
    QRect box;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 200)
                box |= QRect(x, y, 1, 1);
    // 96 pixels per inch on the 300 dpi printer: three dots a pixel, in the printable area's corner.
    QVERIFY2(box.left() <= 1 && box.top() <= 1 && std::abs(box.width() - 300) <= 2
            && std::abs(box.height() - 150) <= 2,
        qPrintable(QStringLiteral("%1,%2 %3 x %4")
                       .arg(box.left())
                       .arg(box.top())
                       .arg(box.width())
                       .arg(box.height())));
    const QRgb red = page.pixel(box.left() + 75, box.top() + 37);
    const QRgb blue = page.pixel(box.left() + 75, box.top() + 112);
    QVERIFY(qRed(red) > 200 && qGreen(red) < 60);
    QVERIFY(qBlue(blue) > 200 && qRed(blue) < 60);
}

LUMETRA_X11_TEST_MAIN(TestE2ETargets, XDesk::Server::Xvfb, true)
#include "tst_e2e_targets.moc"
