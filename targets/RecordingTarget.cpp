#include "RecordingTarget.h"

#include "AbsentTarget.h"
#include "capture/CaptureSource.h"
#include "support/Exception.h"

bool RecordingTarget::Accepts(int source) const
{
    return source == csFullScreen || source == csRegion;
}

std::optional<Unavailable> RecordingTarget::Check() const
{
    return NotInThisVersion();
}

void RecordingTarget::Deliver(Shot&)
{
    throw Exception(QStringLiteral("A recording is not made of pictures."));
}
