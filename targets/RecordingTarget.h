#pragma once

#include "Target.h"

// MP4: a capture command starts a recording of the full screen or the region frame, the next one stops it.
// It can run where the encoder ffmpeg is found beside the program or on PATH.
class RecordingTarget final : public Target
{
public:
    using Target::Target;

    bool Records() const override { return true; }
    bool Accepts(int source) const override;
    std::optional<Unavailable> Check() const override;
    // Never called: a recording is started by the window, not handed a picture.
    void Deliver(Shot& shot) override;
};
