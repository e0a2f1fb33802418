#pragma once

#include "platform/Clipboard.h"

// QClipboard on the CLIPBOARD selection. Qt's own selection window keeps serving requests (image/png,
// text) while the program runs, whether or not any of its windows is showing.
class QtClipboard final : public Clipboard
{
public:
    bool setPng(const QByteArray& png) override;
    bool setText(const QString& text) override;
};
