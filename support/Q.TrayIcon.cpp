#include "Q.TrayIcon.h"

#include "platform/WindowSystem.h"

#include <QGuiApplication>
#include <QWidget>

void HideToTray(QWidget* window)
{
    if (window)
        window->hide();
}

void ShowFromTray(QWidget* window, WindowSystem& windows)
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    // Without any monitor there is nowhere to show it.
    if (QGuiApplication::screens().isEmpty())
        return;
    window->show();
    ForceForeground(window, windows);
}

void ForceForeground(QWidget* window, WindowSystem& windows)
{
    if (window->windowState() & Qt::WindowMinimized)
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    windows.forceForeground(window);
}
