#pragma once

#include "platform/ScreenSource.h"
#include "platform/WebBrowser.h"

#include <QImage>
#include <QRect>

// A drawing surface that a capture is copied onto as it is: never resized.
struct Canvas
{
    QImage& image;
};

// Takes pixels from the screen for the capture sources and the recorder. One instance lives as long as
// the main window. Rectangles are root-window pixels with exclusive right and bottom (QRect's width and
// height; never its inclusive right()).
class ScreenCapture
{
public:
    explicit ScreenCapture(ScreenSource& screen);
    virtual ~ScreenCapture() = default;

    bool ShowCursor() const { return FShowCursor; }
    void setShowCursor(bool show) { FShowCursor = show; }
    ScreenSource& DC() const { return FDC; }

    // Copies `rect` of the screen onto the canvas at (0, 0), then the pointer when ShowCursor is set.
    // False when the screen could not be read; the canvas is then as it was.
    bool Capture(Canvas canvas, const QRect& rect);
    // Sizes the bitmap to `rect` (empty for an empty rectangle) and captures onto it.
    bool Capture(QImage& bitmap, const QRect& rect);
    // Captures the window's visible frame, or with no window the monitor nearest the pointer; `rect`
    // receives what was taken. When the window's frame cannot be read, `rect` is used as given.
    bool Capture(QImage& bitmap, WindowHandle handle, QRect& rect);
    // Draws the whole page shown by the browser into the bitmap, at the size WholePageSize gives less the
    // room for a scroll bar on the right. False with `error`, and an empty bitmap, when the page is beyond
    // what a picture can hold or the engine fails.
    bool Capture(QImage& bitmap, WebBrowser& browser, QString* error);
    // Paints the pointer onto the canvas, whose origin is the screen position (left, top).
    void DrawMouse(QImage& canvas, int left, int top);

    // The monitor that holds the point, else the one closest to it.
    static QRect NearestMonitor(const QList<Monitor>& monitors, QPoint point);

    // The size at which a page is drawn: the body's scroll width with room for an edge, a scroll bar and 6
    // pixels, the body's scroll height, both raised to the largest element or frame; 1024 x 768 below 100.
    static QSize WholePageSize(const WebPageSizes& sizes, int edge, int scrollBar);
    // The width of the 3-D edge the size leaves room for.
    static constexpr int EdgeWidth = 2;
    // A picture holds at most this many pixels (4 GiB at four bytes each)...
    static constexpr qint64 MaxPagePixels = qint64(1) << 30;
    // ...and is at most this wide: the engine draws no wider view.
    static constexpr int MaxPageWidth = 16384;

private:
    bool FShowCursor = true;
    ScreenSource& FDC;
};
