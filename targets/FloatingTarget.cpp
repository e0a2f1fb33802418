#include "FloatingTarget.h"

#include "capture/CaptureSource.h"

bool FloatingTarget::Accepts(int source) const
{
    return source != csWebPage;
}

void FloatingTarget::Deliver(Shot& shot)
{
    host().ShowFloating(shot.bitmap, shot.rect);
}
