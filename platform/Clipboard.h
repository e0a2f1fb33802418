#pragma once

#include <QByteArray>
#include <QString>

// The desktop's clipboard (the X11 CLIPBOARD selection). What is put there stays available to other
// programs for as long as this process runs and nobody else takes the clipboard.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Both return false when the clipboard could not be taken; its previous content then stays.
    // A picture is given and kept as PNG data, offered as image/png: a fraction of the pixels' memory
    // for as long as it stays there, and nothing to encode when another program pastes it.
    virtual bool setPng(const QByteArray& png) = 0;
    virtual bool setText(const QString& text) = 0;
};
