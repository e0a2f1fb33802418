#include "Q.AutoStart.h"

// The sign-in entry is not written yet: the program reports it as absent and refuses to change it.
bool IsAutoStart(const QString& /*name*/)
{
    return false;
}

bool SetAutoStart(const QString& /*name*/, bool /*enabled*/)
{
    return false;
}
