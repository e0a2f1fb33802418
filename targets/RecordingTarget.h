#pragma once

#include "Target.h"

// MP4: a capture command starts a recording of the full screen or the region frame, the next one stops it.
// It can run where the encoder ffmpeg is found beside the program or on PATH.
class RecordingTarget final : public Target
{
public:
    using Target::Target;

    bool records() const override { return true; }
    bool accepts(int source) const override;
    std::optional<Unavailable> problem() const override;
};
