#pragma once

#include <QString>

// The sign-in entry that starts the program hidden ("/start"): the desktop entry `name`.desktop in the
// user's XDG autostart folder. Neither function throws; failures are their results.

// Whether the entry exists. An existing entry is rewritten with the running program's path, so that a
// moved program keeps starting from its new place; a missing one is not created.
bool IsAutoStart(const QString& name);
// Writes (enabled) or removes the entry. False when it could not be written, or when an existing entry
// could not be removed; removing an entry that does not exist succeeds.
bool SetAutoStart(const QString& name, bool enabled);

// The Exec value that runs `program` with `arguments`: each one quoted and escaped so that a desktop
// entry parser gives it back unchanged. Empty when a path cannot be written into a desktop entry at all
// (control characters other than tab and line feed).
QString DesktopExecLine(const QString& program, const QStringList& arguments);
