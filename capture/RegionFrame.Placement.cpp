// The region frame's placement: the stored one, and moving and resizing with the mouse and the keyboard.

#include "RegionFrame.h"

#include "RegionSizeDialog.h"
#include "platform/ScreenSource.h"
#include "support/SettingsStore.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

namespace {

constexpr int DefaultWidth = 480;
constexpr int DefaultHeight = 360;

Qt::Edges EdgesOf(RegionFrame::Hit hit)
{
    using Hit = RegionFrame::Hit;
    Qt::Edges edges;
    if (hit == Hit::Left || hit == Hit::TopLeft || hit == Hit::BottomLeft)
        edges |= Qt::LeftEdge;
    if (hit == Hit::Right || hit == Hit::TopRight || hit == Hit::BottomRight)
        edges |= Qt::RightEdge;
    if (hit == Hit::Top || hit == Hit::TopLeft || hit == Hit::TopRight)
        edges |= Qt::TopEdge;
    if (hit == Hit::Bottom || hit == Hit::BottomLeft || hit == Hit::BottomRight)
        edges |= Qt::BottomEdge;
    return edges;
}

Qt::CursorShape CursorOf(RegionFrame::Hit hit)
{
    using Hit = RegionFrame::Hit;
    switch (hit) {
    case Hit::Left:
    case Hit::Right:
        return Qt::SizeHorCursor;
    case Hit::Top:
    case Hit::Bottom:
        return Qt::SizeVerCursor;
    case Hit::TopLeft:
    case Hit::BottomRight:
        return Qt::SizeFDiagCursor;
    case Hit::TopRight:
    case Hit::BottomLeft:
        return Qt::SizeBDiagCursor;
    default:
        return Qt::ArrowCursor;
    }
}

} // namespace

void RegionFrame::LoadPlacement()
{
    const QList<Monitor> monitors = m_screen.monitors();
    QRect primary = monitors.isEmpty() ? m_screen.virtualScreen() : monitors.first().geometry;
    for (const Monitor& monitor : monitors) {
        if (monitor.primary)
            primary = monitor.geometry;
    }
    // Centred on the primary monitor, wherever it sits in the root window.
    const int defaultLeft = primary.x() + (primary.width() - DefaultWidth) / 2;
    const int defaultTop = primary.y() + (primary.height() - DefaultHeight) / 2;

    int left = 0, top = 0, width = 0, height = 0;
    QString captions[3];
    {
        SettingsStore config;
        left = config.readInteger(QStringLiteral("left"), defaultLeft);
        top = config.readInteger(QStringLiteral("top"), defaultTop);
        width = config.readInteger(QStringLiteral("width"), DefaultWidth);
        height = config.readInteger(QStringLiteral("height"), DefaultHeight);
        const int defaults[3][2] = { { 320, 240 }, { 640, 480 }, { 720, 480 } };
        for (int i = 0; i < 3; ++i) {
            const int w = config.readInteger(QStringLiteral("width_%1").arg(i + 1), defaults[i][0]);
            const int h = config.readInteger(QStringLiteral("height_%1").arg(i + 1), defaults[i][1]);
            // The caption names the size that choosing the item gives, which is what the dialog's
            // fields make of the stored one.
            captions[i]
                = QStringLiteral("%1x%2").arg(RegionSizeDialog::Clamp(w)).arg(RegionSizeDialog::Clamp(h));
        }
    }
    PopSize_1->setText(captions[0]);
    PopSize_2->setText(captions[1]);
    PopSize_3->setText(captions[2]);

    // Strictly inside the desktop, as the placement was always judged; in 64 bits, because the stored
    // numbers can be anything.
    const QRect desk = m_screen.virtualScreen();
    const qint64 right = qint64(left) + width, bottom = qint64(top) + height;
    bool valid = desk.left() < left && right < qint64(desk.left()) + desk.width() && desk.top() < top
        && bottom < qint64(desk.top()) + desk.height();
    // Within the desktop's bounds but on no monitor (beside a smaller monitor) the frame would be lost.
    if (valid) {
        const QRect frame(
            left, top, std::max(width, 2) + 2 * Border, std::max(height, 2) + HeaderHeight() + 2 * Border);
        valid = std::any_of(monitors.cbegin(), monitors.cend(),
            [&frame](const Monitor& monitor) { return monitor.geometry.intersects(frame); });
    }
    if (!valid) {
        left = defaultLeft;
        top = defaultTop;
        width = DefaultWidth;
        height = DefaultHeight;
    }
    SetMove(left, top);
    SetSize(width, height, 0);
    if (!valid)
        SavePlacement();
}

void RegionFrame::SavePlacement()
{
    const int Hh = HeaderHeight();
    SettingsStore config;
    config.writeInteger(QStringLiteral("width"), width() - 2 * Border);
    config.writeInteger(QStringLiteral("height"), height() - Hh - 2 * Border);
    config.writeInteger(QStringLiteral("left"), x());
    config.writeInteger(QStringLiteral("top"), y());
}

void RegionFrame::FormMove(QPoint globalPos)
{
    // A recording takes the rectangle the frame had when it started.
    if (!m_recording.isRecording())
        StartSystemDrag(Hit::Caption, globalPos);
}

void RegionFrame::StartSystemDrag(Hit hit, QPoint globalPos)
{
    m_mouseMoving = true;
    QWindow* window = windowHandle();
    const bool taken = window
        && (hit == Hit::Caption ? window->startSystemMove() : window->startSystemResize(EdgesOf(hit)));
    if (taken)
        return;
    m_dragHit = hit;
    m_dragStart = globalPos;
    m_dragGeometry = geometry();
}

void RegionFrame::FollowDrag(QPoint globalPos)
{
    const QPoint delta = globalPos - m_dragStart;
    if (m_dragHit == Hit::Caption) {
        move(m_dragGeometry.topLeft() + delta);
        return;
    }
    const Qt::Edges edges = EdgesOf(m_dragHit);
    const QSize least = minimumSize();
    QRect g = m_dragGeometry;
    // The opposite side stays where it is, also when the size reaches its minimum.
    if (edges & Qt::LeftEdge)
        g.setLeft(std::min(g.left() + delta.x(), g.right() + 1 - least.width()));
    if (edges & Qt::RightEdge)
        g.setRight(std::max(g.right() + delta.x(), g.left() + least.width() - 1));
    if (edges & Qt::TopEdge)
        g.setTop(std::min(g.top() + delta.y(), g.bottom() + 1 - least.height()));
    if (edges & Qt::BottomEdge)
        g.setBottom(std::max(g.bottom() + delta.y(), g.top() + least.height() - 1));
    setGeometry(g);
}

void RegionFrame::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Hit hit = HitTest(event->position().toPoint(), size(), HeaderHeight(), m_recording.isRecording());
    if (hit != Hit::Default)
        StartSystemDrag(hit, event->globalPosition().toPoint());
}

void RegionFrame::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragHit != Hit::Default) {
        FollowDrag(event->globalPosition().toPoint());
        return;
    }
    setCursor(
        CursorOf(HitTest(event->position().toPoint(), size(), HeaderHeight(), m_recording.isRecording())));
}

void RegionFrame::mouseReleaseEvent(QMouseEvent*)
{
    m_dragHit = Hit::Default;
}

void RegionFrame::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (event->key() == Qt::Key_F4 && (modifiers & Qt::AltModifier)) {
        event->accept();
        return;
    }
    QPoint step;
    switch (event->key()) {
    case Qt::Key_Up:
        step = QPoint(0, -1);
        break;
    case Qt::Key_Down:
        step = QPoint(0, 1);
        break;
    case Qt::Key_Left:
        step = QPoint(-1, 0);
        break;
    case Qt::Key_Right:
        step = QPoint(1, 0);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (m_recording.isRecording())
        return;
    if (modifiers & Qt::ShiftModifier) {
        ResizeFrame(width() + step.x(), height() + step.y());
    } else if (modifiers & Qt::ControlModifier) {
        ResizeFrame(width() + 10 * step.x(), height() + 10 * step.y());
    } else {
        m_mouseMoving = false;
        move(pos() + step);
    }
}
