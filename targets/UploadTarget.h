#pragma once

#include "Target.h"

// The capture posted to the image store; the stored image's address opens in the browser.
class UploadTarget final : public Target
{
public:
    using Target::Target;

    bool EndsLater() const override { return true; }
    void Deliver(Shot& shot) override;
};
