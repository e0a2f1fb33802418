#include "FloatingTarget.h"

#include "AbsentTarget.h"
#include "capture/CaptureSource.h"
#include "support/Exception.h"

bool FloatingTarget::Accepts(int source) const
{
    return source != csWebPage;
}

std::optional<Unavailable> FloatingTarget::Check() const
{
    return NotInThisVersion();
}

void FloatingTarget::Deliver(Shot&)
{
    throw Exception(NotInThisVersion().text);
}
