// Parts of the program that the first window does not need, kept in modules of its own and
// loaded when first used: the printer (Qt Print Support and the print system's client
// library) at the first print, the correctly rounded functions (MPFR) at the first function
// key, the sound output (PulseAudio's library) once the window is up. A module is a shared library
// found beside the program (the build tree, Windows, a portable copy) or in the program's installed
// module folder.
#pragma once

#include <QFunctionPointer>
#include <QString>

namespace tapecalc {

// The modules' file names without the system's suffix.
inline const QString printModule = QStringLiteral("tapecalc-print");
inline const QString mathModule = QStringLiteral("tapecalc-math");
inline const QString soundModule = QStringLiteral("tapecalc-sound");

// The entry point `symbol` of `module`, which the first call loads for good; null when the
// module or the symbol cannot be found (a missing or damaged file): the caller goes on
// without it.
QFunctionPointer moduleEntry(const QString &module, const char *symbol);

} // namespace tapecalc
