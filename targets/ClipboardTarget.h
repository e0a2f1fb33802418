#pragma once

#include "Target.h"

// The picture on the desktop's clipboard.
class ClipboardTarget final : public Target
{
public:
    using Target::Target;

    void deliver(Shot& shot) override;
};
