// The colour picker: the colour under the pointer shown live on the second card, and each capture command
// recording its code in a list and on the clipboard. The list is never stored.

#include "Main.h"

#include "platform/Platform.h"
#include "save/Save.h"

#include <QAction>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

// Six upper-case hexadecimal digits, red, green and blue, without a prefix.
QString ColorCode(QRgb color)
{
    return QString::asprintf("%02X%02X%02X", qRed(color), qGreen(color), qBlue(color));
}

// Draws the recorded codes: the code after a swatch of its colour outlined in black.
class ColorItemDelegate final : public QStyledItemDelegate
{
public:
    explicit ColorItemDelegate(TFrmLumetra& form) : QStyledItemDelegate(&form), m_form(form) { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TFrmLumetra::LstColorDrawItem(*painter, option.rect, index.data().toString(),
            option.state.testFlag(QStyle::State_Selected),
            [this](int value) { return m_form.Scaled(value); });
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), m_form.Scaled(15));
    }

private:
    TFrmLumetra& m_form;
};

} // namespace

void TFrmLumetra::CreateColorCard()
{
    ShpColor = new QWidget(Card2);
    ShpColor->setObjectName(QStringLiteral("ShpColor"));
    ShpColor->setAutoFillBackground(true);
    ShpColor->setGeometry(0, 0, Scaled(15), Scaled(15));
    LblColor = new QLabel(QStringLiteral("FFFFFF"), Card2);
    LblColor->setObjectName(QStringLiteral("LblColor"));
    LblColor->move(Scaled(23), 0);
    LblColor->resize(Scaled(122), Scaled(15));
    SetSwatch(qRgb(255, 255, 255));

    LstColor = new QListWidget(Card2);
    LstColor->setObjectName(QStringLiteral("LstColor"));
    LstColor->setGeometry(0, Scaled(21), Scaled(145), Scaled(75));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(Scaled(12));
    LstColor->setFont(mono);
    LstColor->setUniformItemSizes(true);
    LstColor->setItemDelegate(new ColorItemDelegate(*this));
    LstColor->setContextMenuPolicy(Qt::CustomContextMenu);

    Pick = new QMenu(this);
    Pick->setObjectName(QStringLiteral("Pick"));
    N5 = Pick->addAction(QStringLiteral("복사"));
    N5->setObjectName(QStringLiteral("N5"));
    N7 = Pick->addAction(QStringLiteral("삭제"));
    N7->setObjectName(QStringLiteral("N7"));
    connect(N5, &QAction::triggered, this, &TFrmLumetra::N5Click);
    connect(N7, &QAction::triggered, this, &TFrmLumetra::N7Click);
    connect(LstColor, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { Pick->popup(LstColor->viewport()->mapToGlobal(at)); });

    TmrColor = new QTimer(this);
    TmrColor->setObjectName(QStringLiteral("TmrColor"));
    TmrColor->setInterval(100);
    connect(TmrColor, &QTimer::timeout, this, &TFrmLumetra::TmrColorTimer);
    // The probe runs exactly while its card is the one shown, whoever switches the cards.
    connect(PnlMain, &QStackedWidget::currentChanged, this, [this] {
        if (PnlMain->currentWidget() == Card2)
            TmrColor->start();
        else
            TmrColor->stop();
    });
}

void TFrmLumetra::SetSwatch(QRgb color)
{
    QPalette fill = ShpColor->palette();
    fill.setColor(QPalette::Window, QColor(color));
    ShpColor->setPalette(fill);
}

void TFrmLumetra::TmrColorTimer()
{
    if (!FCapture)
        return;
    ScreenSource& screen = FCapture->DC();
    // A pixel that cannot be read shows as the invalid colour, white.
    const QRgb color = screen.pixel(screen.cursorPos()).value_or(qRgb(255, 255, 255));
    LblColor->setText(ColorCode(color));
    SetSwatch(color);
}

void TFrmLumetra::CaptureColor()
{
    // The last tick's colour: the screen is not read again.
    const QString code = LblColor->text();
    LstColor->insertItem(0, code);
    CopyTextToClipboard(m_platform, code);
}

void TFrmLumetra::N5Click()
{
    if (QListWidgetItem* item = LstColor->currentItem(); item && item->isSelected())
        CopyTextToClipboard(m_platform, item->text());
}

void TFrmLumetra::N7Click()
{
    if (QListWidgetItem* item = LstColor->currentItem(); item && item->isSelected())
        delete LstColor->takeItem(LstColor->row(item));
}

void TFrmLumetra::LstColorDrawItem(QPainter& painter, const QRect& rect, const QString& code, bool selected,
    const std::function<int(int)>& scaled)
{
    painter.save();
    painter.fillRect(rect, selected ? QColor(0x33, 0x99, 0xFF) : QColor(Qt::white));
    painter.setPen(selected ? Qt::white : Qt::black);
    painter.setClipRect(rect);
    const QRect text(rect.left() + scaled(20), rect.top(), rect.width(), rect.height());
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, code);
    painter.setClipping(false);
    // Left, top and bottom follow the item; the right edge is a fixed column. The fill leaves out the right
    // and bottom edges, the outline runs through them.
    const int left = rect.left() + scaled(2), right = scaled(15);
    const int top = rect.top() + scaled(2), bottom = rect.top() + rect.height() - scaled(2);
    bool ok = code.size() == 6;
    const uint value = code.toUInt(&ok, 16);
    const QColor swatch = ok ? QColor(int((value >> 16) & 0xFF), int((value >> 8) & 0xFF), int(value & 0xFF))
                             : QColor(Qt::black);
    painter.fillRect(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)), swatch);
    painter.setPen(QPen(Qt::black, 0));
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPoint corners[]
        = { { left, top }, { right, top }, { right, bottom }, { left, bottom }, { left, top } };
    painter.drawPolyline(corners, 5);
    painter.restore();
}
