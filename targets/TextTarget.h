#pragma once

#include "Target.h"

// TXT: the text the recognition finds in the capture, written to the next free .txt file once it is done.
class TextTarget final : public Target
{
public:
    using Target::Target;

    // Needs at least one recognition language.
    std::optional<Unavailable> Check() const override;
    // Takes the bitmap over and starts the recognition.
    void Deliver(Shot& shot) override;
    bool FinishesLater() const override { return true; }
};
