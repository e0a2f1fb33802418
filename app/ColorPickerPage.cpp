#include "ColorPickerPage.h"

#include "platform/ScreenSource.h"
#include "support/Dpi.h"

#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

namespace {

// Six upper-case hexadecimal digits, red, green and blue, without a prefix.
QString codeOf(QRgb color)
{
    return QString::asprintf("%02X%02X%02X", qRed(color), qGreen(color), qBlue(color));
}

class CodeDelegate final : public QStyledItemDelegate
{
public:
    explicit CodeDelegate(QWidget* list) : QStyledItemDelegate(list), m_list(list) { }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        ColorPickerPage::drawCode(*painter, option.rect, index.data().toString(),
            option.state.testFlag(QStyle::State_Selected),
            [this](int value) { return scaled(m_list, value); });
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), scaled(m_list, 15));
    }

private:
    QWidget* m_list;
};

} // namespace

// The object names are those the translation table and earlier versions knew the components by.
ColorPickerPage::ColorPickerPage(
    ScreenSource& screen, std::function<void(const QString&)> copyText, QWidget* parent)
    : QWidget(parent), m_screen(screen), m_copyText(std::move(copyText))
{
    setObjectName(QStringLiteral("Card2"));
    m_swatch = new QWidget(this);
    m_swatch->setObjectName(QStringLiteral("ShpColor"));
    m_swatch->setAutoFillBackground(true);
    m_swatch->setGeometry(0, 0, scaled(parent, 15), scaled(parent, 15));
    m_code = new QLabel(QStringLiteral("FFFFFF"), this);
    m_code->setObjectName(QStringLiteral("LblColor"));
    m_code->move(scaled(parent, 23), 0);
    m_code->resize(scaled(parent, 122), scaled(parent, 15));
    showColor(qRgb(255, 255, 255));

    m_codes = new QListWidget(this);
    m_codes->setObjectName(QStringLiteral("LstColor"));
    m_codes->setGeometry(0, scaled(parent, 21), scaled(parent, 145), scaled(parent, 75));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(scaled(parent, 12));
    m_codes->setFont(mono);
    m_codes->setUniformItemSizes(true);
    m_codes->setItemDelegate(new CodeDelegate(m_codes));
    m_codes->setContextMenuPolicy(Qt::CustomContextMenu);

    auto menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("Pick"));
    QAction* copy = menu->addAction(QStringLiteral("복사"));
    copy->setObjectName(QStringLiteral("N5"));
    QAction* remove = menu->addAction(QStringLiteral("삭제"));
    remove->setObjectName(QStringLiteral("N7"));
    connect(copy, &QAction::triggered, this, &ColorPickerPage::onCopyTriggered);
    connect(remove, &QAction::triggered, this, &ColorPickerPage::onDeleteTriggered);
    connect(m_codes, &QWidget::customContextMenuRequested, this,
        [this, menu](const QPoint& at) { menu->popup(m_codes->viewport()->mapToGlobal(at)); });

    m_probe = new QTimer(this);
    m_probe->setInterval(100);
    connect(m_probe, &QTimer::timeout, this, &ColorPickerPage::onProbeTimeout);
}

void ColorPickerPage::setProbing(bool on)
{
    if (on)
        m_probe->start();
    else
        m_probe->stop();
}

bool ColorPickerPage::isProbing() const
{
    return m_probe->isActive();
}

void ColorPickerPage::showColor(QRgb color)
{
    m_code->setText(codeOf(color));
    QPalette fill = m_swatch->palette();
    fill.setColor(QPalette::Window, QColor(color));
    m_swatch->setPalette(fill);
}

void ColorPickerPage::onProbeTimeout()
{
    // A pixel that cannot be read shows as the invalid colour, white.
    showColor(m_screen.pixel(m_screen.cursorPos()).value_or(qRgb(255, 255, 255)));
}

void ColorPickerPage::recordColor()
{
    const QString code = m_code->text();
    m_codes->insertItem(0, code);
    m_copyText(code);
}

QString ColorPickerPage::currentCode() const
{
    return m_code->text();
}

QStringList ColorPickerPage::recordedCodes() const
{
    QStringList codes;
    for (int row = 0; row < m_codes->count(); ++row)
        codes.append(m_codes->item(row)->text());
    return codes;
}

void ColorPickerPage::onCopyTriggered()
{
    if (QListWidgetItem* item = m_codes->currentItem(); item && item->isSelected())
        m_copyText(item->text());
}

void ColorPickerPage::onDeleteTriggered()
{
    if (QListWidgetItem* item = m_codes->currentItem(); item && item->isSelected())
        delete m_codes->takeItem(m_codes->row(item));
}

void ColorPickerPage::drawCode(QPainter& painter, const QRect& rect, const QString& code, bool selected,
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
