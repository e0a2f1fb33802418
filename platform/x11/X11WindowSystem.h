#pragma once

#include "platform/WindowSystem.h"

class X11WindowSystem final : public WindowSystem
{
public:
    void setWindowClass(QWidget* window, const QString& className) override;
    void forceForeground(QWidget* window) override;
};
