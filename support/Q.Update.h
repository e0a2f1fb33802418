#pragma once

#include <QString>

class Shell;

// The program's version numbers (major, minor, release, build) put into `format`, whose "%d" fields are
// filled in order: "%d.%d.%d" or "%d.%d.%d.%d".
QString GetVersionText(const QString& format);

// Opens an address with the desktop's handler; false when none could be started.
bool ShellOpen(Shell& shell, const QString& url);
