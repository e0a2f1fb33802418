#include "RecordingTarget.h"

#include "capture/CaptureSource.h"
#include "recording/ScreenRecorder.h"
#include "support/Exception.h"

bool RecordingTarget::accepts(int source) const
{
    return source == csFullScreen || source == csRegion;
}

std::optional<Unavailable> RecordingTarget::problem() const
{
    if (!ScreenRecorder::findEncoder().isEmpty())
        return std::nullopt;
    // The list goes back to PNG before the message, so that the window behind it shows what is chosen.
    return Unavailable { FileNotFoundText(QStringLiteral("ffmpeg")), QStringLiteral("ffmpegnotfound"), true };
}
