#pragma once

#include "platform/MessageBoxes.h"

class QtMessageBoxes final : public MessageBoxes
{
public:
    MessageResult show(QWidget* owner, MessageIcon icon, const QString& title, const QString& text,
        MessageButtons buttons) override;
};
