#pragma once

#include <QImage>
#include <QString>

// The desktop's clipboard (the X11 CLIPBOARD selection). What is put there stays available to other
// programs for as long as this process runs and nobody else takes the clipboard.
class Clipboard
{
public:
    virtual ~Clipboard() = default;
    // Both return false when the clipboard could not be taken; its previous content then stays.
    virtual bool setImage(const QImage& image) = 0;
    virtual bool setText(const QString& text) = 0;
};
