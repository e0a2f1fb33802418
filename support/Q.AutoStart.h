#pragma once

#include <QString>

// The sign-in entry that starts the program hidden. Both report failure by their result.
bool IsAutoStart(const QString& name);
bool SetAutoStart(const QString& name, bool enabled);
