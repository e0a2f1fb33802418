#pragma once

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>

// An X window id; 0 means "no window".
using WindowHandle = quint32;

struct CursorImage
{
    QImage image; // premultiplied ARGB, drawn source-over
    QPoint hotSpot;
    QPoint position; // pointer position in root coordinates
};

struct Monitor
{
    QRect geometry;
    bool primary = false;
    QString name;
};

// Pixels and windows of the screen. Rectangles are root-window pixels; QRect::right() is inclusive, so
// callers work with x() + width().
class ScreenSource
{
public:
    virtual ~ScreenSource() = default;

    // Copies `area` of the screen into `canvas` at (0, 0); the canvas is Format_RGB32 and at least as large
    // as the area. Pixels of the area that lie outside the screen come out black. Returns false and leaves
    // the canvas untouched when the screen cannot be read.
    virtual bool copyArea(const QRect& area, QImage& canvas) = 0;
    // One pixel of the screen; empty when it cannot be read.
    virtual std::optional<QRgb> pixel(QPoint at) = 0;
    virtual QPoint cursorPos() = 0;
    // The pointer as it is drawn now; empty when the server cannot tell.
    virtual std::optional<CursorImage> cursorImage() = 0;
    // Never empty: without monitor information the whole screen is one monitor.
    virtual QList<Monitor> monitors() = 0;
    virtual QRect virtualScreen() = 0;
    virtual WindowHandle activeWindow() = 0;
    // The innermost mapped window under the point, 0 when none.
    virtual WindowHandle windowAt(QPoint at) = 0;
    // The window's visible frame in root coordinates; empty when the window is gone.
    virtual std::optional<QRect> frameBounds(WindowHandle window) = 0;
    // What of the monitor windows may cover: the monitor less what panels reserve along its edges. The
    // whole monitor where nothing is reserved or nobody can tell.
    virtual QRect workArea(const QRect& monitor) { return monitor; }
    // Gives back the memory kept to make the next read fast; the next read sets it up again.
    virtual void releaseMemory() { }
};
