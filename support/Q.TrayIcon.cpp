#include "Q.TrayIcon.h"

#include "platform/WindowSystem.h"

#include <QWidget>

void HideToTray(QWidget* window)
{
    window->hide();
}

void ShowFromTray(QWidget* window, WindowSystem& windows)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    ForceForeground(window, windows);
}

void ForceForeground(QWidget* window, WindowSystem& windows)
{
    windows.forceForeground(window);
}
