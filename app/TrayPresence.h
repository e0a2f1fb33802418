#pragma once

#include <QObject>

class QMenu;
class QSystemTrayIcon;

// The program's icon in the notification area, with the main menu on its right button.
class TrayPresence final : public QObject
{
    Q_OBJECT

public:
    TrayPresence(QMenu* menu, QObject* parent);

    // Without a tray host the icon waits for one: Qt docks it when a host appears or comes back.
    void show();
    // The translated product name and the version, in the current language.
    void updateToolTip();

signals:
    // A click on the icon.
    void activated();

private:
    QSystemTrayIcon* m_icon = nullptr;
};
