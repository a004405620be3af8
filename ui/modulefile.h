// Whether a module file is whole and for this system before the system's loader maps it:
// Linux's loader trusts the lengths in an ELF file's headers, and a file cut short of
// them kills the program with SIGBUS when the missing part is touched; wine's maps a DLL
// cut short without a word. The build picks the file: modulefile_elf.cpp where modules
// are ELF files, modulefile_pe.cpp for Windows DLLs, modulefile_loader.cpp where the
// system's loader is left to check a file itself.
#pragma once

#include <QString>

namespace tapecalc {

bool wholeModuleFile(const QString &path);

} // namespace tapecalc
