#include "TestHome.h"
#include "TestMain.h"
#include "platform/InstanceClient.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QHttpServer>
#include <QImageReader>
#include <QSettings>

namespace {

const QString Program = QStringLiteral(LUMETRA_BINARY_DIR "/lumetra");
const QString Capture = QStringLiteral(R"({"command":"capture"})");

QRgb stripeColour(int index)
{
    return qRgb((index * 37) % 256, (index * 91) % 256, (index * 53) % 256);
}

QString css(QRgb colour)
{
    return QStringLiteral("rgb(%1,%2,%3)").arg(qRed(colour)).arg(qGreen(colour)).arg(qBlue(colour));
}

QString html(const QString& title, const QString& body, const QString& style = {})
{
    return QStringLiteral("<!DOCTYPE html><html><head><title>%1</title><style>body{margin:0}%3</style></head>"
                          "<body>%2</body></html>")
        .arg(title, body, style);
}

// Rows of `height` pixels in the given colours, `width` wide.
QString bands(int width, int height, const QList<QRgb>& colours)
{
    QString rows;
    for (QRgb colour : colours)
        rows += QStringLiteral("<div style='width:%1px;height:%2px;background:%3'></div>")
                    .arg(width)
                    .arg(height)
                    .arg(css(colour));
    return rows;
}

// 400 numbered stripes of 100 rows under a fixed header of 50 rows.
QString stripes()
{
    QString body = QStringLiteral("<header style='position:fixed;top:0;left:0;right:0;height:50px;"
                                  "background:#f0f;z-index:5'></header>");
    for (int index = 0; index < 400; ++index)
        body += QStringLiteral(
            "<div style='width:1280px;height:100px;background:%1;font:40px sans-serif'>%2</div>")
                    .arg(css(stripeColour(index)))
                    .arg(index);
    return html(QStringLiteral("Stripes"), body);
}

const QList<QRgb> BandColours = { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 0),
    qRgb(0, 255, 255), qRgb(128, 0, 128) };

} // namespace

// The web page source with the built program: the browser window driven by xdotool, pages from servers
// on 127.0.0.1, whole-page pictures checked row by row.
class TestE2EWebPage : public QObject
{
    Q_OBJECT
public:
    explicit TestE2EWebPage(XDesk& desk) : m_desk(desk) { }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pagesComeOutWhole_data();
    void pagesComeOutWhole();
    void sameOriginFramesCountUntilOneRefuses();
    void popUpsOpenNothing();
    void backAndForwardFollowTheHistory();
    void closingSwitchesToFullScreen();

private:
    void startWithBrowser();
    void stopLumetra();
    QString browserWindow();
    // Alt+D from the page, the address, Enter; waits for the page's title.
    void open(const QString& path, const QString& title, int port = 0);
    QString capture();
    QImage lastPicture();
    QString url(const QString& path, int port = 0) const;

    XDesk& m_desk;
    QHttpServer m_server;
    QHttpServer m_other;
    int m_port = 0;
    int m_otherPort = 0;
    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<QProcess> m_lumetra;
};

void TestE2EWebPage::initTestCase()
{
    QString error;
    QVERIFY2(haveTool(QStringLiteral("xdotool"), QStringLiteral("xdotool"), &error), qPrintable(error));
    QImageReader::setAllocationLimit(1024);
    m_server.route(QStringLiteral("/bands"),
        [] { return html(QStringLiteral("Bands"), bands(1500, 500, BandColours)); });
    m_server.route(QStringLiteral("/wide"), [] {
        // Side by side and never shrunk to the window.
        return html(QStringLiteral("Wide"),
            QStringLiteral("<div style='display:flex'>%1%2</div>")
                .arg(bands(1200, 600, { qRgb(255, 0, 0) }), bands(1300, 600, { qRgb(0, 0, 255) })),
            QStringLiteral("div div{flex:none}"));
    });
    m_server.route(QStringLiteral("/stripes"), [] { return stripes(); });
    m_server.route(QStringLiteral("/tall"),
        [] { return html(QStringLiteral("Tall"), bands(600, 1000, BandColours.mid(0, 5))); });
    m_other.route(QStringLiteral("/tall"),
        [] { return html(QStringLiteral("Tall"), bands(600, 1000, BandColours.mid(0, 5))); });
    m_server.route(QStringLiteral("/frames/<arg>"), [this](const QString& order) {
        const QString same = QStringLiteral("<iframe src='/tall' width=300 height=200></iframe>");
        const QString other
            = QStringLiteral("<iframe src='http://127.0.0.1:%1/tall' width=300 height=200></iframe>")
                  .arg(m_otherPort);
        // Titled only once the frames have loaded too, so that the test captures the whole page.
        return html(QStringLiteral("Loading"),
            (order == QLatin1String("same") ? same + other : other + same)
                + QStringLiteral("<script>onload = function () { document.title = 'Frames %1' }</script>")
                      .arg(order));
    });
    m_server.route(QStringLiteral("/popup"), [] {
        return html(QStringLiteral("Popup"),
            QStringLiteral("<a href='/bands' target='_blank' onclick='for (var i = 0; i < 10; i++) "
                           "window.open(\"/bands\")' style='display:block;width:600px;height:400px;"
                           "background:#00f'>open</a>"));
    });
    for (const QString& page : { QStringLiteral("A"), QStringLiteral("B") })
        m_server.route(QLatin1Char('/') + page.toLower(), [page] { return html(page, page); });
    m_port = m_server.listen(QHostAddress::LocalHost);
    m_otherPort = m_other.listen(QHostAddress::LocalHost);
    QVERIFY(m_port > 0 && m_otherPort > 0);

    m_home = std::make_unique<TestHome>();
    QSettings store(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat);
    store.setValue(QStringLiteral("mouse"), 0);
    store.setValue(QStringLiteral("language"), QStringLiteral("en"));
    store.sync();
    startWithBrowser();
}

void TestE2EWebPage::cleanupTestCase()
{
    stopLumetra();
    m_home.reset();
}

QString TestE2EWebPage::url(const QString& path, int port) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port ? port : m_port).arg(path);
}

void TestE2EWebPage::startWithBrowser()
{
    m_lumetra = std::make_unique<QProcess>();
    m_lumetra->setProcessEnvironment(m_home->environment(m_desk.environment()));
    m_lumetra->setStandardOutputFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    m_lumetra->setStandardErrorFile(m_home->root + QStringLiteral("/lumetra.log"), QIODevice::Append);
    m_lumetra->start(Program, {});
    QString main;
    QDeadlineTimer deadline(30000);
    while (main.isEmpty() && !deadline.hasExpired()) {
        QTest::qWait(50);
        m_desk.run(QStringLiteral("xdotool"),
            { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
                QStringLiteral("^TFrmLumetra$") },
            &main);
    }
    main = main.section(QLatin1Char('\n'), 0, 0).trimmed();
    QVERIFY(!main.isEmpty());
    // The source list at (9, 29) in design pixels: open it and take the sixth entry.
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QStringLiteral("--window"), main, QStringLiteral("40"),
            QStringLiteral("40"), QStringLiteral("click"), QStringLiteral("1") }));
    QTest::qWait(300);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Down"),
            QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return") }));
    // The engine's first start takes seconds; waited for in real time, each look being an xdotool run.
    QDeadlineTimer shown(60000);
    while (browserWindow().isEmpty() && !shown.hasExpired())
        QTest::qWait(200);
    QVERIFY(!browserWindow().isEmpty());
}

void TestE2EWebPage::stopLumetra()
{
    if (m_lumetra)
        m_home->stop(*m_lumetra, Program, m_desk.environment());
}

QString TestE2EWebPage::browserWindow()
{
    QString output;
    m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
            QStringLiteral("^lumetra$") },
        &output);
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}

void TestE2EWebPage::open(const QString& path, const QString& title, int port)
{
    const QString window = browserWindow();
    QVERIFY(!window.isEmpty());
    // The focus starts in the page, so that only Alt+D can bring it to the address field.
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), window, QStringLiteral("mousemove"),
            QStringLiteral("--window"), window, QStringLiteral("680"), QStringLiteral("560"),
            QStringLiteral("click"), QStringLiteral("1") }));
    QTest::qWait(200);
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("key"), QStringLiteral("alt+d"), QStringLiteral("type"), QStringLiteral("--delay"),
            QStringLiteral("5"), QStringLiteral(" ") + url(path, port) + QStringLiteral(" ") }));
    QVERIFY(m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("Return") }));
    QString name;
    QTRY_VERIFY_WITH_TIMEOUT(
        m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window }, &name)
            && name.section(QStringLiteral(" — "), 0, 0).trimmed() == title,
        30000);
}

QString TestE2EWebPage::capture()
{
    // The save folder stays; only the pictures of the last capture go.
    QDir desktop(m_home->desktop);
    for (const QString& file : desktop.entryList(QDir::Files))
        desktop.remove(file);
    QProcess command;
    command.setProcessEnvironment(m_home->environment(m_desk.environment()));
    command.start(Program, { QStringLiteral("--command"), Capture });
    // The pages' servers live in this process: its event loop keeps running while the capture is taken.
    QDeadlineTimer deadline(120000);
    while (command.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(50);
    // A failure box holds the answer back: no answer in time is a failure.
    if (command.state() != QProcess::NotRunning)
        return {};
    return QString::fromLocal8Bit(command.readAllStandardOutput()).trimmed();
}

QImage TestE2EWebPage::lastPicture()
{
    const QStringList files = QDir(m_home->desktop).entryList({ QStringLiteral("*.png") }, QDir::Files);
    if (files.size() != 1)
        return {};
    return QImage(m_home->desktop + QLatin1Char('/') + files.first()).convertToFormat(QImage::Format_RGB32);
}

void TestE2EWebPage::pagesComeOutWhole_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    // The body's width with the 6 pixels of the size rule; the room for edge and scroll bar cut away.
    QTest::newRow("bands 1500 x 3000")
        << QStringLiteral("/bands") << QStringLiteral("Bands") << QSize(1506, 3000);
    QTest::newRow("wider than the window")
        << QStringLiteral("/wide") << QStringLiteral("Wide") << QSize(2506, 600);
    QTest::newRow("1280 x 40000 stripes")
        << QStringLiteral("/stripes") << QStringLiteral("Stripes") << QSize(1286, 40000);
}

void TestE2EWebPage::pagesComeOutWhole()
{
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    open(path, title);
    QCOMPARE(capture(), QStringLiteral("1"));
    const QImage picture = lastPicture();
    QCOMPARE(picture.size(), size);
    if (path == QLatin1String("/bands")) {
        for (int band = 0; band < BandColours.size(); ++band)
            for (int row : { band * 500, band * 500 + 250, band * 500 + 499 })
                for (int x : { 0, 750, 1499 })
                    QCOMPARE(picture.pixel(x, row), BandColours.at(band));
    } else if (path == QLatin1String("/wide")) {
        QCOMPARE(picture.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(picture.pixel(1199, 599), qRgb(255, 0, 0));
        QCOMPARE(picture.pixel(1200, 0), qRgb(0, 0, 255));
        QCOMPARE(picture.pixel(2499, 599), qRgb(0, 0, 255));
    } else {
        // The fixed header once, at the top; every stripe in its place, its first and last row included.
        QCOMPARE(picture.pixel(640, 10), qRgb(255, 0, 255));
        for (int index = 0; index < 400; ++index)
            for (int row : { 0, 50, 99 })
                if (index * 100 + row >= 50)
                    QCOMPARE(picture.pixel(640, index * 100 + row), stripeColour(index));
    }
}

void TestE2EWebPage::sameOriginFramesCountUntilOneRefuses()
{
    open(QStringLiteral("/frames/same"), QStringLiteral("Frames same"));
    QCOMPARE(capture(), QStringLiteral("1"));
    // The frame's own document is 5000 rows; the frame of the other port ends the count after it.
    QCOMPARE(lastPicture().height(), 5000);

    open(QStringLiteral("/frames/other"), QStringLiteral("Frames other"));
    QCOMPARE(capture(), QStringLiteral("1"));
    QVERIFY2(lastPicture().height() < 1000, qPrintable(QString::number(lastPicture().height())));
}

void TestE2EWebPage::popUpsOpenNothing()
{
    open(QStringLiteral("/popup"), QStringLiteral("Popup"));
    const QString window = browserWindow();
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("mousemove"), QStringLiteral("--window"), window, QStringLiteral("100"),
            QStringLiteral("100"), QStringLiteral("click"), QStringLiteral("1") }));
    QTest::qWait(2000);
    QString windows;
    m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--class"),
            QStringLiteral("lumetra") },
        &windows);
    QCOMPARE(windows.trimmed().split(QLatin1Char('\n')).size(), 2);
    QString name;
    QVERIFY(m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window }, &name));
    QCOMPARE(name.section(QStringLiteral(" — "), 0, 0).trimmed(), QStringLiteral("Popup"));
}

void TestE2EWebPage::backAndForwardFollowTheHistory()
{
    open(QStringLiteral("/a"), QStringLiteral("A"));
    open(QStringLiteral("/b"), QStringLiteral("B"));
    const QString window = browserWindow();
    auto click = [&](const QString& x) {
        return m_desk.run(QStringLiteral("xdotool"),
            { QStringLiteral("mousemove"), QStringLiteral("--window"), window, x, QStringLiteral("18"),
                QStringLiteral("click"), QStringLiteral("1") });
    };
    auto title = [&] {
        QString name;
        m_desk.run(QStringLiteral("xdotool"), { QStringLiteral("getwindowname"), window }, &name);
        // Qt adds the application's name after a dash.
        return name.section(QStringLiteral(" — "), 0, 0).trimmed();
    };
    QVERIFY(click(QStringLiteral("12")));
    QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("A"), 10000);
    QVERIFY(click(QStringLiteral("37")));
    QTRY_COMPARE_WITH_TIMEOUT(title(), QStringLiteral("B"), 10000);
    // At the newest page forward is disabled: a click there changes nothing.
    QVERIFY(click(QStringLiteral("37")));
    QTest::qWait(1000);
    QCOMPARE(title(), QStringLiteral("B"));
}

void TestE2EWebPage::closingSwitchesToFullScreen()
{
    const QString window = browserWindow();
    QVERIFY(m_desk.run(QStringLiteral("xdotool"),
        { QStringLiteral("windowactivate"), QStringLiteral("--sync"), window, QStringLiteral("key"),
            QStringLiteral("alt+F4") }));
    QTRY_VERIFY_WITH_TIMEOUT(browserWindow().isEmpty(), 10000);
    QCOMPARE(capture(), QStringLiteral("1"));
    QCOMPARE(lastPicture().size(), QSize(1920, 1080));
    QCOMPARE(QSettings(m_home->config + QStringLiteral("/Brenholt/Lumetra.conf"), QSettings::IniFormat)
                 .value(QStringLiteral("area"))
                 .toInt(),
        0);
}

LUMETRA_X11_TEST_MAIN(TestE2EWebPage, XDesk::Server::Xvfb, true)
#include "tst_e2e_webpage.moc"
