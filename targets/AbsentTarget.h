#pragma once

#include "Target.h"

// What a target of the list that this version does not have yet answers: choosing it says so, and it never
// gets a capture. Such a target keeps its place in the list, so that every stored index keeps its meaning.
Unavailable NotInThisVersion();

// A target without anything of its own yet.
class AbsentTarget final : public Target
{
public:
    using Target::Target;

    std::optional<Unavailable> Check() const override;
    void Deliver(Shot& shot) override;
};
