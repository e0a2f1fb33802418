#pragma once

#include "Target.h"

// The capture pinned in a floating window over the place it was taken from.
class FloatingTarget final : public Target
{
public:
    using Target::Target;

    // Everything but the web page, which has no place on the screen.
    bool Accepts(int source) const override;
    void Deliver(Shot& shot) override;
};
