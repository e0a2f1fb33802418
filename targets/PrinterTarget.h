#pragma once

#include "Target.h"

// One page on the default printer, screen pixels enlarged by whole factors.
class PrinterTarget final : public Target
{
public:
    using Target::Target;

    void deliver(Shot& shot) override;
};
