#include "RegionFrame.h"

#include "RegionSizeDialog.h"
#include "support/Dpi.h"
#include "support/Q.Translate.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

namespace {

// The "close" image, drawn at the size the current DPI asks for.
QPixmap CloseIcon(int size)
{
    QPixmap icon(size, size);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(220, 60, 60));
    painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
    const qreal inset = size * 0.3;
    painter.setPen(QPen(Qt::white, std::max(1.5, size / 8.0), Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(inset, inset), QPointF(size - inset, size - inset));
    painter.drawLine(QPointF(size - inset, inset), QPointF(inset, size - inset));
    return icon;
}

} // namespace

RegionFrame::RegionFrame(
    QWidget* owner, ScreenSource& screen, RegionSizeDialog* sizes, RecordingControl& recording)
    : QWidget(owner, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_screen(screen)
    , m_sizes(sizes)
    , m_recording(recording)
{
    setObjectName(QStringLiteral("FrmArea"));
    setWindowTitle(QStringLiteral("영역지정 - ") + ProductCaption);
    CreateComponents();
    if (sizes)
        connect(sizes, &RegionSizeDialog::SizeApplied, this, &RegionFrame::SetSize);
}

RegionFrame::~RegionFrame()
{
    // A move that had not settled yet is still worth keeping.
    if (m_saveLater->isActive())
        SavePlacement();
}

int RegionFrame::Scaled(int value) const
{
    return scaled(this, value);
}

void RegionFrame::CreateComponents()
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette red = palette();
    red.setColor(QPalette::Window, AreaColor);
    setPalette(red);
    QFont font = QApplication::font();
    font.setPixelSize(Scaled(12));
    setFont(font);

    ShpBack = new QWidget(this);
    ShpBack->setObjectName(QStringLiteral("ShpBack"));
    ShpBack->setAutoFillBackground(true);
    ShpBack->setAttribute(Qt::WA_TransparentForMouseEvents);

    PnlHead = new QWidget(this);
    PnlHead->setObjectName(QStringLiteral("PnlHead"));
    PnlHead->setAutoFillBackground(true);
    QPalette head = PnlHead->palette();
    head.setColor(QPalette::Window, QColor(64, 0, 0));
    PnlHead->setPalette(head);
    PnlHead->setFixedHeight(Scaled(25));

    PnlSize = new QWidget(PnlHead);
    PnlSize->setObjectName(QStringLiteral("PnlSize"));
    LblSize = new QLabel(QStringLiteral("1024x768"), PnlSize);
    LblSize->setObjectName(QStringLiteral("LblSize"));
    QPalette white = LblSize->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    LblSize->setPalette(white);
    LblSize->move(Scaled(6), Scaled(5));

    PnlRec = new QWidget(PnlHead);
    PnlRec->setObjectName(QStringLiteral("PnlRec"));
    LvlRecTime = new QLabel(QStringLiteral("[REC] 00:00:00"), PnlRec);
    LvlRecTime->setObjectName(QStringLiteral("LvlRecTime"));
    LvlRecTime->setAlignment(Qt::AlignCenter);
    QPalette maroon = LvlRecTime->palette();
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    LvlRecTime->setPalette(maroon);

    PnlClose = new QWidget(PnlHead);
    PnlClose->setObjectName(QStringLiteral("PnlClose"));
    BtnClose = new QLabel(PnlClose);
    BtnClose->setObjectName(QStringLiteral("BtnClose"));
    BtnClose->setCursor(Qt::PointingHandCursor);
    BtnClose->setGeometry(Scaled(58), Scaled(5), Scaled(16), Scaled(16));
    BtnClose->installEventFilter(this);

    PopSize = new QMenu(this);
    PopSize->setObjectName(QStringLiteral("PopSize"));
    auto item = [this](const QString& name, const QString& caption) {
        QAction* action = PopSize->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    PopSize_1 = item(QStringLiteral("PopSize_1"), QStringLiteral("320x240"));
    PopSize_2 = item(QStringLiteral("PopSize_2"), QStringLiteral("640x480"));
    PopSize_3 = item(QStringLiteral("PopSize_3"), QStringLiteral("720x480"));
    N1 = PopSize->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    PopConfig = item(QStringLiteral("PopConfig"), QStringLiteral("설정하기"));
    PopClose = item(QStringLiteral("PopClose"), QStringLiteral("감추기"));
    connect(PopSize_1, &QAction::triggered, this, [this] { PresetClick(1); });
    connect(PopSize_2, &QAction::triggered, this, [this] { PresetClick(2); });
    connect(PopSize_3, &QAction::triggered, this, [this] { PresetClick(3); });
    connect(PopConfig, &QAction::triggered, this, [this] {
        if (m_sizes) {
            m_sizes->show();
            m_sizes->raise();
            m_sizes->activateWindow();
        }
    });
    connect(PopClose, &QAction::triggered, this, &QWidget::hide);

    for (QWidget* header : { PnlHead, PnlClose, PnlSize, PnlRec, static_cast<QWidget*>(LblSize),
             static_cast<QWidget*>(LvlRecTime) })
        header->installEventFilter(this);

    TmrColor = new QTimer(this);
    TmrColor->setObjectName(QStringLiteral("TmrColor"));
    TmrColor->setInterval(100);
    connect(TmrColor, &QTimer::timeout, this, &RegionFrame::TmrColorTimer);

    m_saveLater = new QTimer(this);
    m_saveLater->setSingleShot(true);
    m_saveLater->setInterval(150);
    connect(m_saveLater, &QTimer::timeout, this, &RegionFrame::SavePlacement);

    // The smallest hole is 2 x 2.
    setMinimumSize(2 * Border + 2, HeaderHeight() + 2 * Border + 2);
}

void RegionFrame::FormCreate()
{
    TranslateComponent(this);
    // The frame belongs to the main window but is not its transient: it neither hides nor minimises with it.
    winId();
    if (QWindow* window = windowHandle())
        window->setTransientParent(nullptr);
    LoadPlacement();
    BtnClose->setPixmap(CloseIcon(BtnClose->width()));
    FormResize();
    AreaColor = QColor(255, 0, 0);
    AreaColor_Percent = 0;
    AreaColor_Inc = true;
    QPalette red = ShpBack->palette();
    red.setColor(QPalette::Window, AreaColor);
    ShpBack->setPalette(red);
}

int RegionFrame::HeaderHeight() const
{
    return PnlHead->height();
}

QRect RegionFrame::GetRect() const
{
    const int Hh = HeaderHeight();
    return QRect(x() + Border, y() + Hh + Border, width() - 2 * Border, height() - Hh - 2 * Border);
}

void RegionFrame::ShowRecTime(const QString& time, bool recording)
{
    LvlRecTime->setText(QStringLiteral("[REC] ") + time);
    QFont font = LvlRecTime->font();
    font.setBold(recording);
    LvlRecTime->setFont(font);
    QPalette colour = LvlRecTime->palette();
    colour.setColor(QPalette::WindowText, recording ? QColor(255, 255, 0) : QColor(128, 0, 0));
    LvlRecTime->setPalette(colour);
}

void RegionFrame::SetSize(int AWidth, int AHeight, int SizeNo)
{
    ResizeFrame(AWidth + 2 * Border, AHeight + HeaderHeight() + 2 * Border);
    const QString caption = QStringLiteral("%1x%2").arg(AWidth).arg(AHeight);
    if (SizeNo == 1)
        PopSize_1->setText(caption);
    else if (SizeNo == 2)
        PopSize_2->setText(caption);
    else if (SizeNo == 3)
        PopSize_3->setText(caption);
}

void RegionFrame::SetMove(int ALeft, int ATop)
{
    m_mouseMoving = false;
    move(ALeft, ATop);
}

void RegionFrame::ResizeFrame(int width, int height)
{
    const int Hh = HeaderHeight();
    resize(std::max(width, 2 * Border + 2), std::max(height, Hh + 2 * Border + 2));
    // A hidden window hears of its new size only when shown; the hole and the fields follow now.
    if (!isVisible())
        FormResize();
}

void RegionFrame::FormResize()
{
    const int W = width(), H = height(), Hh = HeaderHeight();
    // The dialog shows the current size within its limits; the label shows what the dialog shows.
    QSize shown(RegionSizeDialog::Clamp(W - 2 * Border), RegionSizeDialog::Clamp(H - Hh - 2 * Border));
    if (m_sizes)
        shown = m_sizes->ShowCurrentSize(W - 2 * Border, H - Hh - 2 * Border);
    const int panel = Scaled(80);
    PnlHead->setGeometry(0, 0, W, Hh);
    PnlSize->setGeometry(0, 0, panel, Hh);
    PnlClose->setGeometry(W - panel, 0, panel, Hh);
    PnlRec->setGeometry(panel, 0, std::max(0, W - 2 * panel), Hh);
    LvlRecTime->setGeometry(0, 0, PnlRec->width(), Hh);
    ShpBack->setGeometry(0, 0, W, H);
    ShpBack->lower();
    LblSize->setText(QStringLiteral("%1x%2").arg(shown.width()).arg(shown.height()));
    LblSize->adjustSize();
    PnlRec->setVisible(W > 292);
    PnlClose->setVisible(W > 112);
    LblSize->setVisible(W > 64);
    setMask(
        QRegion(0, 0, W, H).subtracted(QRegion(Border, Hh + Border, W - 2 * Border, H - Hh - 2 * Border)));
    m_saveLater->start();
}

void RegionFrame::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

void RegionFrame::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (m_mouseMoving)
        m_saveLater->start();
}

RegionFrame::Hit RegionFrame::HitTest(QPoint p, QSize size, int headerHeight, bool recording)
{
    const int CW = size.width(), CH = size.height();
    if (recording || p.x() < 0 || p.y() < 0 || p.x() >= CW || p.y() >= CH)
        return Hit::Default;
    if (p.y() < headerHeight + Border)
        return p.x() < Border ? Hit::TopLeft : p.x() > CW - Border ? Hit::TopRight : Hit::Top;
    if (p.y() > CH - Border)
        return p.x() < Border ? Hit::BottomLeft : p.x() > CW - Border ? Hit::BottomRight : Hit::Bottom;
    return p.x() < Border ? Hit::Left : p.x() > CW - Border ? Hit::Right : Hit::Caption;
}

QColor RegionFrame::DarkenColor(QColor color, int percent)
{
    // MulDiv rounds halves away from zero.
    auto darken = [percent](int c) { return c - (c * percent + 50) / 100; };
    return QColor(darken(color.red()), darken(color.green()), darken(color.blue()));
}

void RegionFrame::TmrColorTimer()
{
    QPalette pulse = ShpBack->palette();
    pulse.setColor(QPalette::Window, DarkenColor(AreaColor, AreaColor_Percent));
    ShpBack->setPalette(pulse);
    if (AreaColor_Percent > 40)
        AreaColor_Inc = false;
    if (AreaColor_Percent == 0)
        AreaColor_Inc = true;
    AreaColor_Percent = quint8(AreaColor_Inc ? AreaColor_Percent + 5 : AreaColor_Percent - 5);
}

void RegionFrame::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    TmrColor->start();
}

void RegionFrame::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    TmrColor->stop();
}

void RegionFrame::closeEvent(QCloseEvent* event)
{
    // The window manager's close (Alt+F4, its menu) does not close the frame; the program's own does.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    if (m_recording.isRecording())
        m_recording.stopRecording();
    m_saveLater->stop();
    SavePlacement();
    event->accept();
}

void RegionFrame::BtnCloseClick()
{
    emit ClosedByUser();
    close();
}

void RegionFrame::PresetClick(int SizeNo)
{
    // The dialog's fields as they are now, applied or not.
    if (m_sizes) {
        const QSize preset = m_sizes->Preset(SizeNo);
        SetSize(preset.width(), preset.height(), 0);
    }
}

bool RegionFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == BtnClose) {
        if (event->type() == QEvent::MouseButtonPress)
            return true; // the button is no handle for moving the frame
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && BtnClose->rect().contains(mouse->position().toPoint()))
                BtnCloseClick();
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::ContextMenu:
        PopSize->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    case QEvent::MouseButtonPress: {
        const auto mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            FormMove(mouse->globalPosition().toPoint());
        return mouse->button() == Qt::LeftButton;
    }
    case QEvent::MouseMove:
        if (m_dragHit != Hit::Default) {
            FollowDrag(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_dragHit != Hit::Default) {
            m_dragHit = Hit::Default;
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
