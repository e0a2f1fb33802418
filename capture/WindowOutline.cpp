#include "WindowOutline.h"

#include "platform/ScreenSource.h"

#include <QCloseEvent>
#include <QPainter>
#include <QTimer>

namespace {

// One dash phase for the whole program, so that the dashes go on crawling from window to window.
quint8 Phase = 0;

} // namespace

WindowOutline::WindowOutline(ScreenSource& screen, QWidget* main)
    : QWidget(main,
        Qt::Window | Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
            | Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus)
    , m_screen(screen)
    , m_main(main)
{
    setObjectName(QStringLiteral("FrmLine"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::CrossCursor);
    setAutoFillBackground(true);
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    Timer1 = new QTimer(this);
    Timer1->setInterval(10);
    connect(Timer1, &QTimer::timeout, this, &WindowOutline::Timer1Timer);
    Phase = 0;
    FormResize();
}

WindowOutline::~WindowOutline() = default;

QRgb WindowOutline::DashColor()
{
    Phase = quint8(Phase << 1);
    if (Phase == 0)
        Phase = 1;
    return Phase >= 32 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
}

quint8 WindowOutline::DashPhase()
{
    return Phase;
}

void WindowOutline::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Timer1->start();
    // In place from the first moment, not one tick later.
    Timer1Timer();
}

void WindowOutline::closeEvent(QCloseEvent* event)
{
    Timer1->stop();
    event->accept();
}

void WindowOutline::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_main && m_main->isVisible())
        m_main->activateWindow();
}

void WindowOutline::Timer1Timer()
{
    const QPoint pointer = m_screen.cursorPos();
    // The window under a resting pointer is looked up every tenth tick only: it can still move or close,
    // but asking the server a dozen questions a hundred times a second for nothing is too much.
    if (pointer != m_lastPointer || ++m_restingTicks >= 10) {
        m_lastPointer = pointer;
        m_restingTicks = 0;
        Follow(pointer);
    }
    if (Delay < 10) {
        ++Delay;
        return;
    }
    Delay = 0;
    DrawDashes();
}

void WindowOutline::Follow(QPoint pointer)
{
    WindowHandle target = m_screen.windowAt(pointer);
    // On the ring itself the outline would chase itself; it shows the main window instead.
    if (target != 0 && target == WindowHandle(internalWinId()))
        target = m_main ? WindowHandle(m_main->internalWinId()) : 0;
    // Without a window, or when it has just gone, the outline stays where it was.
    if (target == 0)
        return;
    if (const auto bounds = m_screen.frameBounds(target)) {
        const QRect placed = bounds->adjusted(-1, -1, 1, 1);
        if (placed != geometry())
            setGeometry(placed);
    }
}

void WindowOutline::DrawDashes()
{
    const int W = width(), H = height(), x1 = W - 1, y1 = H - 1;
    if (m_top.width() != W || m_left.height() != H) {
        m_top = QImage(W, 1, QImage::Format_RGB32);
        m_bottom = QImage(W, 1, QImage::Format_RGB32);
        m_right = QImage(1, H, QImage::Format_RGB32);
        m_left = QImage(1, H, QImage::Format_RGB32);
        for (QImage* edge : { &m_top, &m_bottom, &m_right, &m_left })
            edge->fill(palette().color(QPalette::Window));
    }
    auto top = reinterpret_cast<QRgb*>(m_top.scanLine(0));
    auto bottom = reinterpret_cast<QRgb*>(m_bottom.scanLine(0));
    // Clockwise, each line up to but not including its end; the top-left corner comes first and last.
    for (int x = 0; x < x1; ++x)
        top[x] = DashColor();
    for (int y = 0; y < y1; ++y)
        reinterpret_cast<QRgb*>(m_right.scanLine(y))[0] = DashColor();
    for (int x = x1; x > 0; --x)
        bottom[x] = DashColor();
    for (int y = y1; y >= 0; --y)
        reinterpret_cast<QRgb*>(m_left.scanLine(y))[0] = DashColor();
    m_drawnSize = size();
    update(Ring());
    // Other always-on-top windows may have come up meanwhile.
    raise();
}

QRegion WindowOutline::Ring() const
{
    const int W = width(), H = height();
    QRegion ring(0, 0, W, 1);
    ring += QRect(0, H - 1, W, 1);
    ring += QRect(0, 0, 1, H);
    ring += QRect(W - 1, 0, 1, H);
    return ring;
}

void WindowOutline::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void WindowOutline::FormResize()
{
    const int W = width(), H = height();
    QRegion ring(0, 0, W, H);
    if (W > 2 && H > 2)
        ring -= QRegion(1, 1, W - 2, H - 2);
    setMask(ring);
}

void WindowOutline::paintEvent(QPaintEvent*)
{
    // Until the next redraw, a ring of a new size shows the plain background.
    if (size() != m_drawnSize)
        return;
    QPainter painter(this);
    const int x1 = width() - 1, y1 = height() - 1;
    painter.drawImage(0, 0, m_top);
    painter.drawImage(x1, 0, m_right);
    painter.drawImage(0, y1, m_bottom);
    painter.drawImage(0, 0, m_left);
}
