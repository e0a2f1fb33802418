#pragma once

#include <QString>

class QWidget;

// Window-manager facilities that Qt does not cover.
class WindowSystem
{
public:
    virtual ~WindowSystem() = default;
    // Sets the window's class (X11 WM_CLASS) before it is first shown; creates the native window.
    virtual void setWindowClass(QWidget* window, const QString& className) = 0;
    // Brings the window to the front even when another program holds the focus.
    virtual void forceForeground(QWidget* window) = 0;
    // Keeps a window that is not yet shown out of taskbars and pagers; creates the native window.
    virtual void keepOffTaskbar(QWidget*) { }
};
