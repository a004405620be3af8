// Parts of the program that the first window does not need, kept in modules of their own
// and loaded when first used: the printer (Qt Print Support and the print system's client
// library) at the first print, the sound output (PulseAudio's library) once the window is
// up. One loader for both; a module's entry is modules/moduleentry.h.
#pragma once

#include <QFunctionPointer>
#include <QString>

#include <memory>

namespace tapecalc {

// The folder the program's modules are loaded from, decided by the program's layout. An
// installed program (in a folder bin/, with the installed data share/tapecalc/ where the
// install puts it and no voice cues beside itself) loads them from its installed module
// folder, lib/tapecalc/modules/; any other (a build, a copy of one, the Windows zip or
// installation, whose modules are beside the program) from its own folder only. Never
// from the folder above a copy, nor from anything the environment or the current folder
// names.
QString moduleFolder(const QString &programFolder);

// The entry of this build in the module file `module` of the program's module folder,
// loaded at the first call. Null when the file is missing, not a regular file, could be
// changed by someone other than the administrator and the program's owner (it or a folder
// on the way to it), is damaged or not for this system (checked before the system maps
// it), or holds no entry of this build (another version or build of the program); a
// refused file is named on stderr, once, with the reason.
QFunctionPointer moduleEntry(const QString &module);

// A new object of the module that holds `Interface`; null without one: the caller goes on
// without it.
template <class Interface> std::unique_ptr<Interface> loadModule() {
    using Entry = Interface *(*)();
    const auto entry = reinterpret_cast<Entry>(moduleEntry(QString::fromLatin1(Interface::module)));
    return std::unique_ptr<Interface>(entry ? entry() : nullptr);
}

} // namespace tapecalc
