#include "DragSelector.h"

#include "platform/Platform.h"
#include "platform/ScreenSource.h"
#include "platform/WindowSystem.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <array>

namespace {

const std::array<quint8, 256> DarkTable = [] {
    std::array<quint8, 256> table {};
    for (int c = 0; c < 256; ++c)
        table[c] = DragSelector::Darken(quint8(c));
    return table;
}();

} // namespace

DragSelector::DragSelector(Platform& platform, QWidget* owner) : QDialog(owner), m_platform(platform)
{
    setObjectName(QStringLiteral("FrmDrag"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    // Every pixel is painted from the picture; nothing needs clearing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setModal(true);
    TmrActive = new QTimer(this);
    TmrActive->setInterval(100);
    connect(TmrActive, &QTimer::timeout, this, &DragSelector::TmrActiveTimer);
}

DragSelector::~DragSelector() = default;

void DragSelector::Capture(QImage& bitmap, QRect& rect)
{
    bitmap = QImage();
    FBitmap = &bitmap;
    FRect = &rect;
}

bool DragSelector::TakeSnapshot()
{
    const QRect desk = m_platform.screen().virtualScreen();
    if (desk.isEmpty())
        return false;
    QImage shot(desk.size(), QImage::Format_RGB32);
    if (shot.isNull() || !m_platform.screen().copyArea(desk, shot))
        return false;
    FScreen = shot.convertToFormat(QImage::Format_RGB888);
    if (FScreen.isNull())
        return false;
    // What is shown is kept in the window's own format, so that painting it is a plain copy; with nothing
    // selected yet it is the whole snapshot darkened, made in place.
    FSelect = std::move(shot);
    for (int y = 0; y < FSelect.height(); ++y) {
        auto line = reinterpret_cast<QRgb*>(FSelect.scanLine(y));
        for (int x = 0; x < FSelect.width(); ++x)
            line[x] = qRgb(DarkTable[qRed(line[x])], DarkTable[qGreen(line[x])], DarkTable[qBlue(line[x])]);
    }
    m_origin = desk.topLeft();
    return true;
}

bool DragSelector::ShowModal()
{
    if (!Freeze()) {
        if (FBitmap)
            *FBitmap = QImage();
        deleteLater();
        return false;
    }
    exec();
    return true;
}

bool DragSelector::Freeze()
{
    if (!TakeSnapshot())
        return false;
    setGeometry(QRect(m_origin, FScreen.size()));
    FSelecting = false;
    FCaptureRect = QRect();
    m_shown = QRect();
    TmrActive->start();
    return true;
}

void DragSelector::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Asked once the window is mapped: a window manager ignores activation requests for unknown windows.
    QTimer::singleShot(0, this, [this] {
        StayOnTop();
        m_platform.windows().forceForeground(this);
    });
}

QRect DragSelector::NormalizedRect(QPoint a, QPoint b)
{
    const int left = std::min(a.x(), b.x()), right = std::max(a.x(), b.x());
    const int top = std::min(a.y(), b.y()), bottom = std::max(a.y(), b.y());
    return QRect(left, top, right - left, bottom - top);
}

QImage DragSelector::ComposeFull(const QImage& screen, const QRect& selection)
{
    QImage picture = screen.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < picture.height(); ++y) {
        quint8* row = picture.scanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            const bool inside = x >= selection.left() && x < selection.left() + selection.width()
                && y >= selection.top() && y < selection.top() + selection.height();
            if (inside)
                continue;
            for (int c = 0; c < 3; ++c)
                row[x * 3 + c] = Darken(row[x * 3 + c]);
        }
    }
    return picture;
}

void DragSelector::Compose(const QRect& area)
{
    const QRect dark = area.intersected(FSelect.rect());
    const QRect light = dark.intersected(m_shown);
    const int right = dark.left() + dark.width();
    for (int y = dark.top(); y < dark.top() + dark.height(); ++y) {
        const quint8* in = FScreen.constScanLine(y);
        auto out = reinterpret_cast<QRgb*>(FSelect.scanLine(y));
        const bool crossing = y >= light.top() && y < light.top() + light.height();
        const int lightLeft = crossing ? light.left() : right;
        const int lightRight = crossing ? light.left() + light.width() : right;
        for (int x = dark.left(); x < lightLeft; ++x)
            out[x] = qRgb(DarkTable[in[3 * x]], DarkTable[in[3 * x + 1]], DarkTable[in[3 * x + 2]]);
        for (int x = lightLeft; x < lightRight; ++x)
            out[x] = qRgb(in[3 * x], in[3 * x + 1], in[3 * x + 2]);
        for (int x = lightRight; x < right; ++x)
            out[x] = qRgb(DarkTable[in[3 * x]], DarkTable[in[3 * x + 1]], DarkTable[in[3 * x + 2]]);
    }
}

void DragSelector::SetSelection(const QRect& rect)
{
    FCaptureRect = rect;
    DrawSelection(true);
}

void DragSelector::DrawSelection(bool Dim)
{
    if (!Dim) {
        update();
        return;
    }
    // Only what changed between the old and the new selection is composed again and repainted: the
    // result is the same picture as a recomposition of the whole screen, at a fraction of its cost.
    const QRect shown = FCaptureRect.intersected(FSelect.rect());
    const QRegion changed = QRegion(m_shown).xored(QRegion(shown));
    m_shown = shown;
    for (const QRect& area : changed)
        Compose(area);
    update(changed);
}

void DragSelector::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& area : event->region())
        painter.drawImage(area.topLeft(), FSelect, area);
}

QPoint DragSelector::ClientPoint(const QMouseEvent* event) const
{
    // From the root position, so that the result matches the screen even where the window manager placed
    // the overlay differently; the picture's far edge is the furthest a rectangle reaches.
    const QPoint at = event->globalPosition().toPoint() - m_origin;
    return QPoint(std::clamp(at.x(), 0, FScreen.width()), std::clamp(at.y(), 0, FScreen.height()));
}

void DragSelector::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    FSelecting = true;
    FStartPoint = FEndPoint = ClientPoint(event);
}

void DragSelector::mouseMoveEvent(QMouseEvent* event)
{
    if (!FSelecting)
        return;
    FEndPoint = ClientPoint(event);
    SetSelection(NormalizedRect(FStartPoint, FEndPoint));
}

void DragSelector::mouseReleaseEvent(QMouseEvent* event)
{
    if (!FSelecting || event->button() != Qt::LeftButton)
        return;
    FSelecting = false;
    FEndPoint = ClientPoint(event);
    SetSelection(NormalizedRect(FStartPoint, FEndPoint));
    // A click without a drag leaves the overlay open for a new try.
    if (FCaptureRect.isEmpty())
        return;
    if (FBitmap)
        *FBitmap = FScreen.copy(FCaptureRect);
    if (FRect)
        *FRect = FCaptureRect.translated(m_origin);
    Finish(Accepted);
}

void DragSelector::keyPressEvent(QKeyEvent* event)
{
    // Every key is consumed, so that Enter does not end the dialog as accepted without a selection.
    event->accept();
    if (event->key() == Qt::Key_Escape)
        Cancel();
}

void DragSelector::closeEvent(QCloseEvent* event)
{
    // Closed from outside (the window manager): the same as Escape.
    if (!m_finished)
        Cancel();
    event->accept();
}

void DragSelector::Cancel()
{
    if (FBitmap)
        *FBitmap = QImage();
    Finish(Rejected);
}

void DragSelector::Finish(int result)
{
    m_finished = true;
    TmrActive->stop();
    releaseKeyboard();
    done(result);
}

void DragSelector::StayOnTop()
{
    raise();
}

bool DragSelector::IsOwnWindow(quint32 window) const
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.cbegin(), windows.cend(),
        [window](const QWidget* widget) { return widget->internalWinId() == WId(window); });
}

void DragSelector::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Qt hears of the focus at once; the watchdog only every 100 ms.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_seenActive = true;
}

void DragSelector::TmrActiveTimer()
{
    const WindowHandle active = m_platform.screen().activeWindow();
    // No answer means the desktop cannot tell; that is no reason to cancel.
    if (active == 0)
        return;
    if (IsOwnWindow(active)) {
        m_seenActive = true;
        StayOnTop();
        return;
    }
    if (m_seenActive) {
        Cancel();
        return;
    }
    // Never had the focus yet: the window manager may be slow to hand it over, so it is asked again for a
    // second; after that the keyboard is taken, so that Escape still works.
    if (++m_ticksWithoutFocus < 10)
        m_platform.windows().forceForeground(this);
    else if (m_ticksWithoutFocus == 10)
        grabKeyboard();
}
