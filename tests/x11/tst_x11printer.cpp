#include "Pictures.h"
#include "PrintDesk.h"
#include "TestHome.h"
#include "TestMain.h"
#include "platform/Platform.h"
#include "platform/cups/QtPrinter.h"
#include "save/Save.h"
#include "support/Exception.h"

#include <QTemporaryDir>

namespace {

// The bounding box of everything that is not white on the page.
QRect inked(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        auto line = reinterpret_cast<const QRgb*>(page.constScanLine(y));
        for (int x = 0; x < page.width(); ++x) {
            if (qRed(line[x]) < 200 || qGreen(line[x]) < 200 || qBlue(line[x]) < 200)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

// Printing for real: QPrinter on a private CUPS with the cups-pdf printer, the PDF read back as a picture.
class TestX11Printer : public QObject
{
    Q_OBJECT
public:
    explicit TestX11Printer(XDesk&) { }

private slots:
    void initTestCase();
    void noDefaultPrinter();
    void printsAtWholeFactorsInTheCorner();

private:
    TestHome m_home;
    std::unique_ptr<PrintDesk> m_print;
    std::unique_ptr<Platform> m_platform;
};

void TestX11Printer::initTestCase()
{
    QString error;
    QVERIFY2(
        haveTool(QStringLiteral("pdftoppm"), QStringLiteral("poppler-utils"), &error), qPrintable(error));
    m_home.apply();
    m_print = PrintDesk::start(&error);
    QVERIFY2(m_print, qPrintable(error));
    m_print->apply();
    m_platform = createPlatform();
}

void TestX11Printer::noDefaultPrinter()
{
    QtPrinter printer;
    QString error;
    QVERIFY(!printer.begin(QStringLiteral("test"), &error));
    QCOMPARE(error, QStringLiteral("No default printer is set up."));
    try {
        PrintBitmap(*m_platform, Pictures::quarters(10, 10), 96);
        QFAIL("printing without a printer succeeded");
    } catch (const Exception& failure) {
        QCOMPARE(failure.message(), QStringLiteral("No default printer is set up."));
    }
    QVERIFY(m_print->pdfFiles().isEmpty());
}

void TestX11Printer::printsAtWholeFactorsInTheCorner()
{
    QString error;
    QVERIFY2(m_print->addPdfPrinter(QStringLiteral("LumetraPDF"), &error), qPrintable(error));
    {
        QtPrinter printer;
        QVERIFY2(printer.begin(QStringLiteral("resolution"), &error), qPrintable(error));
        // The cups-pdf driver's default resolution.
        QCOMPARE(printer.resolution(), QSize(300, 300));
        QVERIFY(printer.end(&error));
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_print->pdfFiles().size(), 1, 60000);
    const QString blank = m_print->pdfFiles().first();

    // 100 × 50 screen pixels at 96 per inch on 300 dpi: three dots a pixel, 300 × 150 dots.
    PrintBitmap(*m_platform, Pictures::quarters(100, 50), 96);
    QTRY_COMPARE_WITH_TIMEOUT(m_print->pdfFiles().size(), 2, 60000);
    QStringList files = m_print->pdfFiles();
    files.removeAll(blank);
    const QString pdf = files.value(0);
    QTemporaryDir folder;
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
        { QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"), QStringLiteral("-singlefile"),
            pdf, folder.filePath(QStringLiteral("page")) });
    QVERIFY(render.waitForFinished(60000));
    const QImage page
        = QImage(folder.filePath(QStringLiteral("page.png"))).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!page.isNull());
    const QRect box = inked(page);
    // The driver's printable area is the whole sheet, so the corner is the page's.
    QVERIFY2(std::abs(box.left()) <= 1 && std::abs(box.top()) <= 1,
        qPrintable(QStringLiteral("%1,%2").arg(box.left()).arg(box.top())));
    QVERIFY2(std::abs(box.width() - 300) <= 2 && std::abs(box.height() - 150) <= 2,
        qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
    auto near = [&page](int x, int y, QRgb want) {
        const QRgb got = page.pixel(x, y);
        return std::abs(qRed(got) - qRed(want)) < 40 && std::abs(qGreen(got) - qGreen(want)) < 40
            && std::abs(qBlue(got) - qBlue(want)) < 40;
    };
    QVERIFY(near(box.left() + 75, box.top() + 37, qRgb(255, 0, 0)));
    QVERIFY(near(box.left() + 225, box.top() + 37, qRgb(0, 160, 0)));
    QVERIFY(near(box.left() + 75, box.top() + 112, qRgb(0, 0, 255)));
    QVERIFY(near(box.left() + 225, box.top() + 112, qRgb(0, 0, 0)));
}

LUMETRA_X11_TEST_MAIN(TestX11Printer, XDesk::Server::Xvfb, false)
#include "tst_x11printer.moc"
