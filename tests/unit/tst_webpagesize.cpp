#include "TestMain.h"
#include "capture/ScreenCapture.h"
#include "platform/fake/FakePlatform.h"

#include <QImage>

namespace {

// A browser that reports given sizes and paints each page row in a colour of its own.
class SizedBrowser : public WebBrowser
{
public:
    explicit SizedBrowser(WebPageSizes sizes) : m_sizes(std::move(sizes)) { }
    QWidget* widget() override { return nullptr; }
    void navigate(const QString&) override { }
    void goBack() override { }
    void goForward() override { }
    QString location() const override { return {}; }
    bool pageSizes(WebPageSizes& sizes, QString*) override
    {
        sizes = m_sizes;
        return true;
    }
    bool renderPage(QImage& picture, int width, QString*) override
    {
        renderedWidth = width;
        for (int y = 0; y < picture.height(); ++y)
            picture.scanLine(y)[0] = uchar(y);
        return true;
    }
    bool isBusy() const override { return false; }
    void cancel() override { }

    int renderedWidth = 0;

private:
    WebPageSizes m_sizes;
};

WebPageSizes page(QSize body, QSize element = {}, QList<QSize> frames = {})
{
    WebPageSizes sizes;
    sizes.body = body;
    sizes.documentElement = element;
    sizes.frames = std::move(frames);
    return sizes;
}

} // namespace

Q_DECLARE_METATYPE(WebPageSizes)

class TestWebPageSize : public QObject
{
    Q_OBJECT
private slots:
    void wholePageSize_data();
    void wholePageSize();
    void pictureLeavesTheScrollBarRoomOut_data();
    void pictureLeavesTheScrollBarRoomOut();
};

void TestWebPageSize::wholePageSize_data()
{
    QTest::addColumn<WebPageSizes>("sizes");
    QTest::addColumn<QSize>("expected");
    // Edge 2 and scroll bar 15 throughout: the body's width gets 2 + 15 + 6 = 23 more.
    QTest::newRow("body alone") << page({ 1500, 3000 }) << QSize(1523, 3000);
    QTest::newRow("document element taller and wider")
        << page({ 800, 600 }, { 2000, 4000 }) << QSize(2000, 4000);
    QTest::newRow("element within the body's room") << page({ 800, 600 }, { 810, 500 }) << QSize(823, 600);
    QTest::newRow("frames raise both")
        << page({ 800, 600 }, { 800, 600 }, { { 300, 5000 }, { 1200, 100 } }) << QSize(1200, 5000);
    QTest::newRow("blank page: both fallbacks") << page({ 0, 0 }, { 0, 0 }) << QSize(1024, 768);
    QTest::newRow("no body") << page({}, { 50, 50 }) << QSize(1024, 768);
    QTest::newRow("narrow: the width falls back, the height stays") << page({ 60, 500 }) << QSize(1024, 500);
    QTest::newRow("low: the height falls back, the width stays") << page({ 700, 99 }) << QSize(723, 768);
    QTest::newRow("exactly 100 high stays") << page({ 700, 100 }) << QSize(723, 100);
    QTest::newRow("width 100 with the room stays") << page({ 77, 300 }) << QSize(100, 300);
}

void TestWebPageSize::wholePageSize()
{
    QFETCH(WebPageSizes, sizes);
    QFETCH(QSize, expected);
    QCOMPARE(ScreenCapture::WholePageSize(sizes, 2, 15), expected);
}

void TestWebPageSize::pictureLeavesTheScrollBarRoomOut_data()
{
    QTest::addColumn<WebPageSizes>("sizes");
    QTest::addColumn<int>("drawnWidth");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("error");
    WebPageSizes withBar = page({ 1500, 3000 });
    withBar.scrollBar = 15;
    QTest::newRow("body with a scroll bar") << withBar << 1523 << QSize(1506, 3000) << QString();
    WebPageSizes blank = page({ 0, 0 });
    blank.scrollBar = 15;
    QTest::newRow("blank page") << blank << 1024 << QSize(1007, 768) << QString();
    WebPageSizes wide = page({ 20000, 500 });
    QTest::newRow("wider than the engine draws")
        << wide << 0 << QSize(0, 0) << QStringLiteral("The page is 20006 x 500 pixels, too large to capture");
    WebPageSizes huge = page({ 1000, 1100000 });
    QTest::newRow("more pixels than a picture holds")
        << huge << 0 << QSize(0, 0)
        << QStringLiteral("The page is 1006 x 1100000 pixels, too large to capture");
}

void TestWebPageSize::pictureLeavesTheScrollBarRoomOut()
{
    QFETCH(WebPageSizes, sizes);
    QFETCH(int, drawnWidth);
    QFETCH(QSize, picture);
    QFETCH(QString, error);
    FakeScreen screen;
    ScreenCapture capture(screen);
    SizedBrowser browser(sizes);
    QImage bitmap(5, 5, QImage::Format_RGB32);
    QString reason;
    const bool taken = capture.Capture(bitmap, browser, &reason);
    QCOMPARE(taken, error.isEmpty());
    QCOMPARE(bitmap.size(), picture);
    QCOMPARE(browser.renderedWidth, drawnWidth);
    QVERIFY2(reason.startsWith(error), qPrintable(reason));
    if (taken)
        QCOMPARE(bitmap.scanLine(picture.height() - 1)[0], uchar(picture.height() - 1));
}

LUMETRA_OFFSCREEN_TEST_MAIN(TestWebPageSize)
#include "tst_webpagesize.moc"
