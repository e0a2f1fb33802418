#pragma once

#include "platform/Shell.h"

// xdg-open through Qt.
class DesktopShell final : public Shell
{
public:
    bool open(const QUrl& url) override;
};
