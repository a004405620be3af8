// Whether a module file is whole and for this system before the system's loader maps it:
// the loader trusts the lengths in an ELF file's headers, and a file cut short of them
// kills the program with SIGBUS when the missing part is touched. The build picks the
// file: modulefile_elf.cpp where modules are ELF files, modulefile_loader.cpp where the
// system's loader checks a file itself (Windows' for its DLLs).
#pragma once

#include <QString>

namespace tapecalc {

bool wholeModuleFile(const QString &path);

} // namespace tapecalc
