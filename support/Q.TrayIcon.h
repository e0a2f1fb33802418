#pragma once

class QWidget;
class WindowSystem;

// The main window and its taskbar presence leave the screen; the notification-area icon stays.
void HideToTray(QWidget* window);
// The window comes back, restored and in front of the other programs.
void ShowFromTray(QWidget* window, WindowSystem& windows);
void ForceForeground(QWidget* window, WindowSystem& windows);
