#include "ScreenCapture.h"

#include <QPainter>

#include <limits>

ScreenCapture::ScreenCapture(ScreenSource& screen) : FDC(screen) { }

bool ScreenCapture::Capture(Canvas canvas, const QRect& rect)
{
    if (rect.isEmpty())
        return true;
    if (!FDC.copyArea(rect, canvas.image))
        return false;
    if (FShowCursor)
        DrawMouse(canvas.image, rect.x(), rect.y());
    return true;
}

bool ScreenCapture::Capture(QImage& bitmap, const QRect& rect)
{
    if (rect.width() <= 0 || rect.height() <= 0) {
        bitmap = QImage();
        return true;
    }
    bitmap = QImage(rect.size(), QImage::Format_RGB32);
    if (bitmap.isNull())
        return false; // not enough memory for a bitmap of that size
    if (Capture(Canvas { bitmap }, rect))
        return true;
    // A fresh bitmap is black, as a failed copy leaves it.
    bitmap.fill(Qt::black);
    return false;
}

bool ScreenCapture::Capture(QImage& bitmap, WindowHandle handle, QRect& rect)
{
    if (handle != 0) {
        if (const auto bounds = FDC.frameBounds(handle))
            rect = *bounds;
    } else {
        rect = NearestMonitor(FDC.monitors(), FDC.cursorPos());
    }
    return Capture(bitmap, rect);
}

void ScreenCapture::DrawMouse(QImage& canvas, int left, int top)
{
    const auto cursor = FDC.cursorImage();
    if (!cursor)
        return;
    const QPoint at = cursor->position - QPoint(left, top) - cursor->hotSpot;
    QPainter painter(&canvas);
    painter.drawImage(at, cursor->image);
}

QRect ScreenCapture::NearestMonitor(const QList<Monitor>& monitors, QPoint point)
{
    QRect best;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const Monitor& monitor : monitors) {
        const QRect& r = monitor.geometry;
        const qint64 dx
            = point.x() < r.x() ? r.x() - point.x() : std::max(0, point.x() - (r.x() + r.width() - 1));
        const qint64 dy
            = point.y() < r.y() ? r.y() - point.y() : std::max(0, point.y() - (r.y() + r.height() - 1));
        const qint64 distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = r;
        }
    }
    return best;
}
