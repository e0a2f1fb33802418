#pragma once

#include "platform/ScreenSource.h"

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
class TCapture
{
public:
    explicit TCapture(ScreenSource& screen);
    virtual ~TCapture() = default;

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
    // Paints the pointer onto the canvas, whose origin is the screen position (left, top).
    void DrawMouse(QImage& canvas, int left, int top);

    // The monitor that holds the point, else the one closest to it.
    static QRect NearestMonitor(const QList<Monitor>& monitors, QPoint point);

private:
    bool FShowCursor = true;
    ScreenSource& FDC;
};
