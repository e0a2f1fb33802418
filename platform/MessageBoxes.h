#pragma once

#include <QString>

class QWidget;

enum class MessageIcon { Information, Error, Question };
// YesNo boxes have No as the default button.
enum class MessageButtons { Ok, YesNo };
enum class MessageResult { Ok, Yes, No };

// The program's message boxes: owned by the given window, topmost and brought to the foreground.
class MessageBoxes
{
public:
    virtual ~MessageBoxes() = default;
    virtual MessageResult show(QWidget* owner, MessageIcon icon, const QString& title, const QString& text,
        MessageButtons buttons = MessageButtons::Ok)
        = 0;
};
