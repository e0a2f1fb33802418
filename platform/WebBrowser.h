#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <functional>

class QWidget;

// The scroll sizes of a shown document, in page pixels, as its engine reports them.
struct WebPageSizes
{
    QSize body; // document.body; empty when the document has none
    QSize documentElement;
    // The document elements of the frames, in document order, up to the first one that refuses access.
    QList<QSize> frames;
    // The width a scroll bar takes in this page.
    int scrollBar = 0;
};

// What the browser tells its window. Commands: 1 forward, 2 back (whether the history allows them).
struct WebBrowserEvents
{
    std::function<void(int command, bool enabled)> commandStateChange;
    std::function<void()> documentComplete;
    std::function<void(const QString& title)> titleChange;
};

struct WebBrowserOptions
{
    QString userAgent;
    // Where the browser keeps cookies and site data between runs, and its cache.
    QString storageFolder;
    QString cacheFolder;
};

// An embedded web browser, made by the web engine's module (liblumetra-webengine.so) on first use. The
// browser is its own widget and goes with the parent it was made with. Pop-ups and new windows are always
// refused.
class WebBrowser
{
public:
    virtual ~WebBrowser() = default;

    virtual QWidget* widget() = 0;
    // Errors in loading are shown in the page, never reported.
    virtual void navigate(const QString& url) = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual QString location() const = 0;

    // Reads the document's sizes, running the event loop until the engine answers. False with `error` when
    // it does not answer in time or the capture is cancelled.
    virtual bool pageSizes(WebPageSizes& sizes, QString* error) = 0;
    // Draws the page laid out `width` pixels wide into `picture`, whose size the caller chose: its width
    // may be less than `width` (the columns on the right are left out); its height is the number of rows
    // taken from the top of the page. The view leaves its window's layout meanwhile and gets back its size,
    // its scroll position and the page's own style on every path. Runs the event loop; false with `error`
    // when the engine fails, does not draw in time or the capture is cancelled.
    virtual bool renderPage(QImage& picture, int width, QString* error) = 0;
    // True while pageSizes or renderPage runs.
    virtual bool isBusy() const = 0;
    // Ends a running pageSizes or renderPage at once; they then fail.
    virtual void cancel() = 0;
};

// The module's entry: makes a browser whose widget is a child of `parent`. Never null.
using CreateWebBrowserEntry
    = WebBrowser* (*)(QWidget* parent, const WebBrowserOptions& options, WebBrowserEvents events);
inline constexpr const char* CreateWebBrowserName = "lumetraCreateWebBrowser";
