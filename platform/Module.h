#pragma once

#include <QString>
#include <memory>

// Heavy engines (the web engine, the recognition engine, TLS) live in modules of their own, loaded the
// first time they are needed, so that a resident program that never uses them does not pay for them.
// A module is liblumetra-<name>.so; it is looked for in the folder named by LUMETRA_MODULE_DIR when that
// is set (tests), else beside the code that asks (the user-interface module beside the launcher), else one
// folder up (test programs in the build tree). A loaded module stays loaded until the process ends.
//
// Modules share no code with the program but Qt: they implement an interface of platform/ and export a
// C function that makes one.

// The full path of a file that lives beside the modules (a helper program); empty, with `error` filled in,
// when none of the folders holds it.
QString ModuleFile(const QString& file, QString* error = nullptr);

// The address of `entry` in the module; null with `error` filled in when the module or the entry cannot be
// found or loaded.
void* ModuleEntry(const QString& name, const char* entry, QString* error = nullptr);

// Makes one engine from the module's `entry`, a C function without arguments that returns a new object the
// caller owns; null with `error` filled in when the module cannot give one.
template <typename Interface>
std::unique_ptr<Interface> LoadEngine(const QString& module, const char* entry, QString* error = nullptr)
{
    const auto make = reinterpret_cast<Interface* (*)()>(ModuleEntry(module, entry, error));
    return std::unique_ptr<Interface>(make ? make() : nullptr);
}
