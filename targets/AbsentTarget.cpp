#include "AbsentTarget.h"

#include "support/Exception.h"
#include "support/Q.Translate.h"

namespace {

const QString NotAvailable = QStringLiteral("This format is not available in this version.");

} // namespace

Unavailable NotInThisVersion()
{
    return Unavailable { TranslateText(NotAvailable), {}, true };
}

std::optional<Unavailable> AbsentTarget::Check() const
{
    return NotInThisVersion();
}

void AbsentTarget::Deliver(Shot&)
{
    throw Exception(NotAvailable);
}
