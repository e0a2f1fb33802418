#pragma once

#include "platform/WindowSystem.h"

class X11WindowSystem final : public WindowSystem
{
public:
    void setWindowClass(QWidget* window, const QString& className) override;
    void forceForeground(QWidget* window) override;
    // Adds the skip states to _NET_WM_STATE, which Qt keeps when it maps the window.
    void keepOffTaskbar(QWidget* window) override;
};
