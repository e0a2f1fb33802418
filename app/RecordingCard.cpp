#include "RecordingCard.h"

#include "support/Dpi.h"

#include <QLabel>
#include <QPainter>

namespace {

class Disc final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::red);
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
};

} // namespace

// The object names are those the translation table and earlier versions knew the components by.
RecordingCard::RecordingCard(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Card3"));
    auto panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    panel->setGeometry(0, 0, scaled(parent, 145), scaled(parent, 96));

    auto disc = new Disc(panel);
    disc->setObjectName(QStringLiteral("ShpRec"));
    disc->setGeometry(0, scaled(parent, 8), scaled(parent, 145), scaled(parent, 81));

    auto label = [panel, parent](
                     const QString& name, const QString& text, QColor colour, bool bold, int top) {
        auto created = new QLabel(text, panel);
        created->setObjectName(name);
        created->setAlignment(Qt::AlignCenter);
        QPalette palette = created->palette();
        palette.setColor(QPalette::WindowText, colour);
        created->setPalette(palette);
        QFont font = created->font();
        font.setBold(bold);
        created->setFont(font);
        created->setGeometry(scaled(parent, 24), scaled(parent, top), scaled(parent, 97), scaled(parent, 15));
        // Clicks reach the panel below, whose right button opens the menu.
        created->setAttribute(Qt::WA_TransparentForMouseEvents);
        return created;
    };
    label(QStringLiteral("Label1"), QStringLiteral("녹화중"), Qt::yellow, true, 30);
    m_time = label(QStringLiteral("LvlRecTime"), QStringLiteral("00:00:00.00"), Qt::white, false, 51);
}

void RecordingCard::setTime(const QString& time)
{
    m_time->setText(time);
}

QString RecordingCard::time() const
{
    return m_time->text();
}
