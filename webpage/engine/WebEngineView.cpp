// The web engine's side of the browser window: the view, its profile and the page scripts that measure a
// page and draw it whole. Built as a module of its own, so that the engine and its processes are loaded
// only when the web page source is first chosen.

#include "platform/WebBrowser.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QOpenGLContext>
#include <QPointer>
#include <QQuickWidget>
#include <QQuickWindow>
#include <QScopeGuard>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>

// Qt's own setter of the context that Qt Quick's contexts share; exported, declared in a private header.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

namespace {

// How long the engine may take to answer a script or to draw one band.
constexpr int ScriptTimeoutMs = 15000;
constexpr int BandTimeoutMs = 15000;
// Bands of about this many pixels are drawn whole by the software compositor; taller views come out
// white below a few thousand rows.
constexpr int BandPixels = 2560000;
constexpr int MaxBandHeight = 2000;
constexpr int MinBandHeight = 256;

// Our scripts run in a world of their own: the page's scripts cannot see or replace what they use.
constexpr quint32 World = QWebEngineScript::ApplicationWorld;

// The sizes the capture rule needs. A frame of another origin throws, which ends the loop there.
const QString MeasureScript = QStringLiteral(R"((function () {
    var d = document, b = d.body, e = d.documentElement;
    function size(x) { return x ? [x.scrollWidth, x.scrollHeight] : [0, 0]; }
    var frames = [];
    try {
        for (var i = 0; i < window.frames.length; i++)
            frames.push(size(window.frames[i].document.documentElement));
    } catch (refused) { }
    var probe = d.createElement('div');
    probe.style.cssText = 'position:absolute;top:-200px;left:0;width:100px;height:100px;overflow:scroll';
    (b || e).appendChild(probe);
    var bar = probe.offsetWidth - probe.clientWidth;
    probe.remove();
    return JSON.stringify({ body: b ? size(b) : null, element: size(e), frames: frames, bar: bar });
})())");

// Lays the page out as at the top, with nothing animated. The root element's transform then moves the
// page up band by band: unlike scrolling, it makes the root the containing block of fixed elements, so
// fixed and sticky headers stay at the top of the page instead of repeating on every band, and the page
// sees no scrolling. A one-pixel marker below each band tells which band a drawn frame shows.
const QString PrepareScript = QStringLiteral(R"((function () {
    var e = document.documentElement;
    window.lumetraSaved = { style: e.getAttribute('style'), x: window.scrollX, y: window.scrollY };
    e.style.setProperty('scroll-behavior', 'auto', 'important');
    e.style.setProperty('transition', 'none', 'important');
    var m = document.createElement('div');
    m.style.cssText = 'position:absolute;left:0;width:4px;height:1px;margin:0;padding:0;border:0;'
        + 'z-index:2147483647;pointer-events:none';
    e.appendChild(m);
    window.lumetraMarker = m;
    return true;
})())");

// %1 the band's first page row, %2 the marker's row, %3 and %4 the marker's two colours.
const QString BandScript = QStringLiteral(R"((function () {
    var e = document.documentElement, m = window.lumetraMarker;
    window.scrollTo({ left: 0, top: 0, behavior: 'instant' });
    e.style.setProperty('transform', 'translateY(-%1px)', 'important');
    m.style.top = '%2px';
    m.style.background = '%3';
    m.style.boxShadow = '4px 0 0 %4';
    return true;
})())");

const QString RestoreScript = QStringLiteral(R"((function () {
    var e = document.documentElement, s = window.lumetraSaved;
    if (window.lumetraMarker)
        window.lumetraMarker.remove();
    window.lumetraMarker = null;
    window.lumetraSaved = null;
    if (!s)
        return true;
    if (s.style === null)
        e.removeAttribute('style');
    else
        e.setAttribute('style', s.style);
    window.scrollTo({ left: s.x, top: s.y, behavior: 'instant' });
    return true;
})())");

bool hasRenderNode()
{
    const QStringList nodes
        = QDir(QStringLiteral("/dev/dri")).entryList({ QStringLiteral("renderD*") }, QDir::System);
    return std::any_of(nodes.cbegin(), nodes.cend(), [](const QString& node) {
        return ::access(QFile::encodeName(QStringLiteral("/dev/dri/") + node).constData(), R_OK | W_OK) == 0;
    });
}

std::unique_ptr<QOpenGLContext> shareContext;

// The engine draws through a context shared with Qt Quick's. Qt makes that context at start-up only when
// asked before the application exists, which would load the OpenGL driver into every start of the program
// (tens of megabytes); it is made here instead, when the web page source is first chosen.
void makeShareContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    shareContext = std::make_unique<QOpenGLContext>();
    shareContext->create();
    qt_gl_set_global_share_context(shareContext.get());
    // Post routines run while the display is still open, after the engine's own, which was added later.
    qAddPostRoutine([] {
        qt_gl_set_global_share_context(nullptr);
        shareContext.reset();
    });
}

// Chromium reads its switches once, when the first profile is made.
void prepareEngine()
{
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    makeShareContext();
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    auto add = [&flags](const QByteArray& flag) {
        if (!flags.split(' ').contains(flag))
            flags += ' ' + flag;
    };
    // Chromium's sandbox refuses to run as root; everybody else keeps it.
    if (::geteuid() == 0)
        add("--no-sandbox");
    // Without a render node there is no graphics processor to use: the engine draws in software.
    if (!hasRenderNode())
        add("--disable-gpu");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
}

// Pop-ups and new windows are never opened.
class RefusingPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
};

QSize sizeOf(const QJsonValue& value)
{
    const QJsonArray pair = value.toArray();
    return { pair.at(0).toInt(), pair.at(1).toInt() };
}

class EngineView final : public QWebEngineView, public WebBrowser
{
public:
    EngineView(QWidget* parent, const WebBrowserOptions& options, WebBrowserEvents events);
    ~EngineView() override;

    QWidget* widget() override { return this; }
    void navigate(const QString& url) override { setUrl(QUrl(url)); }
    void goBack() override { back(); }
    void goForward() override { forward(); }
    QString location() const override { return url().toString(); }
    bool pageSizes(WebPageSizes& sizes, QString* error) override;
    bool renderPage(QImage& picture, int width, QString* error) override;
    bool isBusy() const override { return m_busy; }
    void cancel() override;

private:
    // Runs the event loop until `done` holds, the time runs out or the capture is cancelled.
    bool Spin(QEventLoop& loop, int timeoutMs, const std::function<bool()>& done);
    bool RunScript(const QString& code, QVariant* result, QString* error);
    // Waits for a drawn frame that shows the marker in the row below the band.
    bool WaitForBand(
        QQuickWidget* view, int bandHeight, QRgb first, QRgb second, QImage* frame, QString* error);
    bool Fail(QString* error, const QString& reason) const;

    WebBrowserEvents m_events;
    QWebEngineProfile* m_profile = nullptr;
    QEventLoop* m_loop = nullptr;
    bool m_busy = false;
    bool m_cancelled = false;
    quint32 m_sequence = 0;
};

EngineView::EngineView(QWidget* parent, const WebBrowserOptions& options, WebBrowserEvents events)
    : QWebEngineView(parent), m_events(std::move(events))
{
    // A named profile keeps its cookies and site data on disk: a user who signed in to a site stays signed
    // in the next time the window opens.
    m_profile = new QWebEngineProfile(QStringLiteral("Lumetra"));
    if (!options.storageFolder.isEmpty())
        m_profile->setPersistentStoragePath(options.storageFolder);
    if (!options.cacheFolder.isEmpty())
        m_profile->setCachePath(options.cacheFolder);
    if (!options.userAgent.isEmpty())
        m_profile->setHttpUserAgent(options.userAgent);
    auto page = new RefusingPage(m_profile, this);
    // The profile must outlive its page: as the page's child it goes after it.
    m_profile->setParent(page);
    // A page from the net may not read the user's files; a local page typed by the user still shows.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    setPage(page);

    connect(this, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        if (m_events.titleChange)
            m_events.titleChange(title);
    });
    connect(this, &QWebEngineView::loadFinished, this, [this] {
        if (m_events.documentComplete)
            m_events.documentComplete();
    });
    for (auto [action, command] :
        { std::pair { QWebEnginePage::Forward, 1 }, std::pair { QWebEnginePage::Back, 2 } }) {
        QAction* item = page->action(action);
        connect(item, &QAction::changed, this, [this, item, command = command] {
            if (m_events.commandStateChange)
                m_events.commandStateChange(command, item->isEnabled());
        });
    }
}

EngineView::~EngineView()
{
    cancel();
}

void EngineView::cancel()
{
    m_cancelled = true;
    if (m_loop)
        m_loop->quit();
}

bool EngineView::Fail(QString* error, const QString& reason) const
{
    if (error)
        *error = m_cancelled ? QStringLiteral("The web page window was closed during the capture.") : reason;
    return false;
}

bool EngineView::Spin(QEventLoop& loop, int timeoutMs, const std::function<bool()>& done)
{
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    m_loop = &loop;
    while (!done() && !m_cancelled && timer.isActive())
        loop.exec();
    m_loop = nullptr;
    return done() && !m_cancelled;
}

bool EngineView::RunScript(const QString& code, QVariant* result, QString* error)
{
    // The answer may come after we gave up waiting: it then lands in state that is still alive.
    struct Answer
    {
        bool done = false;
        QVariant value;
        QPointer<QEventLoop> loop;
    };
    auto answer = std::make_shared<Answer>();
    QEventLoop loop;
    answer->loop = &loop;
    page()->runJavaScript(code, World, [answer](const QVariant& value) {
        answer->value = value;
        answer->done = true;
        if (answer->loop)
            answer->loop->quit();
    });
    if (!Spin(loop, ScriptTimeoutMs, [&answer] { return answer->done; }))
        return Fail(error, QStringLiteral("The web page did not answer."));
    if (result)
        *result = answer->value;
    return true;
}

bool EngineView::pageSizes(WebPageSizes& sizes, QString* error)
{
    m_busy = true;
    m_cancelled = false;
    const auto idle = qScopeGuard([this] { m_busy = false; });
    QVariant answer;
    if (!RunScript(MeasureScript, &answer, error))
        return false;
    const QJsonObject reply = QJsonDocument::fromJson(answer.toString().toUtf8()).object();
    if (reply.isEmpty())
        return Fail(error, QStringLiteral("The web page has no document to measure."));
    sizes = WebPageSizes();
    sizes.body
        = reply.value(QLatin1String("body")).isNull() ? QSize() : sizeOf(reply.value(QLatin1String("body")));
    sizes.documentElement = sizeOf(reply.value(QLatin1String("element")));
    for (const QJsonValue& frame : reply.value(QLatin1String("frames")).toArray())
        sizes.frames.append(sizeOf(frame));
    sizes.scrollBar = reply.value(QLatin1String("bar")).toInt();
    return true;
}

bool EngineView::WaitForBand(
    QQuickWidget* view, int bandHeight, QRgb first, QRgb second, QImage* frame, QString* error)
{
    QEventLoop loop;
    bool found = false;
    auto check = [&] {
        if (found)
            return;
        const QImage grabbed = view->grabFramebuffer();
        if (grabbed.height() > bandHeight && grabbed.width() >= 8 && grabbed.pixel(1, bandHeight) == first
            && grabbed.pixel(6, bandHeight) == second) {
            *frame = grabbed;
            found = true;
            loop.quit();
        }
    };
    // Each drawn frame is looked at once the drawing is over.
    const auto drawn
        = connect(view->quickWindow(), &QQuickWindow::afterRendering, &loop, check, Qt::QueuedConnection);
    check();
    const bool ok = Spin(loop, BandTimeoutMs, [&found] { return found; });
    disconnect(drawn);
    return ok || Fail(error, QStringLiteral("The web page was not drawn in time."));
}

bool EngineView::renderPage(QImage& picture, int width, QString* error)
{
    m_busy = true;
    m_cancelled = false;
    const auto idle = qScopeGuard([this] { m_busy = false; });
    auto* view = qobject_cast<QQuickWidget*>(focusProxy());
    if (!view)
        return Fail(error, QStringLiteral("The web page is not shown."));
    const int height = picture.height();
    if (width < picture.width() || height <= 0)
        return Fail(error, QStringLiteral("The web page has no size to draw."));
    const int band
        = std::min(height, std::clamp(BandPixels / std::max(width, 1), MinBandHeight, MaxBandHeight));

    const QRect placed = geometry();
    const auto restore = qScopeGuard([this, placed] {
        setGeometry(placed);
        page()->runJavaScript(RestoreScript, World);
    });
    if (!RunScript(PrepareScript, nullptr, error))
        return false;
    // One row more than the band: the marker's.
    setGeometry(placed.x(), placed.y(), width, band + 1);

    const qsizetype rowBytes = qsizetype(picture.width()) * 4;
    for (int top = 0; top < height; top += band) {
        const int offset = std::min(top, height - band);
        ++m_sequence;
        const QRgb first = qRgb(int(m_sequence & 0xff), int((m_sequence >> 8) & 0xff), 0x5a);
        const QRgb second = qRgb(0xc8, int(~m_sequence & 0xff), int((m_sequence >> 16) & 0xff));
        page()->runJavaScript(
            BandScript.arg(offset).arg(offset + band).arg(QColor(first).name(), QColor(second).name()),
            World);
        QImage frame;
        if (!WaitForBand(view, band, first, second, &frame, error))
            return false;
        frame = frame.convertToFormat(QImage::Format_RGB32);
        const int rows = std::min(band, height - top);
        for (int row = 0; row < rows; ++row)
            std::memcpy(
                picture.scanLine(top + row), frame.constScanLine(top - offset + row), std::size_t(rowBytes));
    }
    return true;
}

} // namespace

extern "C" __attribute__((visibility("default"))) WebBrowser* lumetraCreateWebBrowser(
    QWidget* parent, const WebBrowserOptions& options, WebBrowserEvents events)
{
    prepareEngine();
    return new EngineView(parent, options, std::move(events));
}
