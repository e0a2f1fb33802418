#include "TrayPresence.h"

#include "support/Q.Translate.h"
#include "support/Q.Update.h"

#include <QIcon>
#include <QSystemTrayIcon>

TrayPresence::TrayPresence(QMenu* menu, QObject* parent)
    : QObject(parent), m_icon(new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/lumetra.png")), this))
{
    m_icon->setObjectName(QStringLiteral("TrayIcon"));
    m_icon->setContextMenu(menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            emit activated();
    });
    updateToolTip();
}

void TrayPresence::show()
{
    m_icon->show();
}

void TrayPresence::updateToolTip()
{
    m_icon->setToolTip(
        TranslateText(ProductCaption) + QLatin1Char(' ') + GetVersionText(QStringLiteral("%d.%d.%d.%d")));
}
