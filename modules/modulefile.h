// Opening, checking and loading one module file: the loader's system calls and its format
// check, which the build picks per system. modulefile_posix.cpp opens the file and its
// folders (owner, mode, kind) and maps it with the system's loader, modulefile_win.cpp
// does so on Windows; modulefile_elf.cpp checks an ELF file, modulefile_pe.cpp a Windows
// DLL, modulefile_loader.cpp leaves the check to the system's loader (macOS). Plain C++.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace tapecalc {

// Why a module file is not used, each said in its own words (modules/modules.cpp).
enum class ModuleFault {
    none,
    missing,
    notRegular,  // a FIFO, a device, a socket, a folder or a link
    notOurs,     // it or a folder above it could be changed by another user
    damaged,     // or not for this system
    otherBuild,  // it holds no entry of this build
    notLoadable, // the system's loader refused it
};

struct ModuleLoad {
    ModuleFault fault = ModuleFault::missing;
    std::string why; // what was found, in words (UTF-8)
    void (*entry)() = nullptr;
};

// Loads the module `relative` (a path below `root` in which no folder is a link) and finds
// `entrySymbol` in it. Used only when it is a regular file that, like each folder from
// `root` down to it, belongs to the administrator or to the owner of the file `program`
// and can be written by no one else; and when the format check passes. The file checked
// is the file loaded. A loaded module stays loaded for the life of the program.
ModuleLoad loadModuleFile(const std::filesystem::path &program, const std::filesystem::path &root,
                          const std::filesystem::path &relative, const char *entrySymbol);

struct FormatCheck {
    ModuleFault fault; // none, damaged or otherBuild
    const char *why;
};

// Whether the module file's bytes may be handed to the system's loader: for this system,
// whole, and nothing in it that would crash or hang the loader. otherBuild where the check
// can tell that it holds no `entrySymbol` (else the loader's look-up tells).
FormatCheck checkModuleFormat(const unsigned char *bytes, std::size_t size,
                              const char *entrySymbol);

} // namespace tapecalc
