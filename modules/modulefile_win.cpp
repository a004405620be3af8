// A module file on Windows: only a regular file (no folder, device or link), held open
// against writing, renaming and deleting from the moment it is looked at until the system's
// loader has mapped it, so that the file checked is the file loaded. Who may write it is
// left to Windows' own rules for the folder it lies in (Program Files for an installation
// for all users, the user's own LocalAppData for one's own): Windows loads the program's
// own DLLs (Qt, the C++ runtime) from that same folder with no check of their owner, so a
// check of the modules alone would keep out nothing that a DLL planted beside them would
// not bring in. A regular file never blocks its open.
#include "modules/modulefile.h"

#include <windows.h>

#include <vector>

namespace tapecalc {

namespace {

// Far beyond any module of this program; a larger file is none of them.
constexpr DWORD maxModuleBytes = DWORD{64} << 20;

ModuleLoad refused(ModuleFault fault, std::string why) {
    return {fault, std::move(why), nullptr};
}

std::string systemError(DWORD error) {
    return "Windows error " + std::to_string(error);
}

const char *kindOf(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "a link";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "a folder";
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return "a device";
    return nullptr;
}

} // namespace

ModuleLoad loadModuleFile(const std::filesystem::path &, const std::filesystem::path &root,
                          const std::filesystem::path &relative, const char *entrySymbol) {
    // The loader wants backslashes.
    const std::wstring path = (root / relative).make_preferred().wstring();
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? refused(ModuleFault::missing, {})
                   : refused(ModuleFault::notLoadable, systemError(error));
    }
    if (const char *kind = kindOf(attributes))
        return refused(ModuleFault::notRegular, kind);

    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return refused(ModuleFault::notLoadable, systemError(::GetLastError()));
    struct Closer {
        HANDLE handle;
        ~Closer() { ::CloseHandle(handle); }
    } closer{file};
    BY_HANDLE_FILE_INFORMATION information;
    if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &information))
        return refused(ModuleFault::notRegular, "not a file on a disk");
    if (const char *kind = kindOf(information.dwFileAttributes))
        return refused(ModuleFault::notRegular, kind);
    if (information.nFileSizeHigh != 0 || information.nFileSizeLow > maxModuleBytes)
        return refused(ModuleFault::damaged, "larger than any module");

    std::vector<unsigned char> bytes(information.nFileSizeLow);
    for (DWORD done = 0; done < bytes.size();) {
        DWORD got = 0;
        if (!::ReadFile(file, bytes.data() + done, DWORD(bytes.size()) - done, &got, nullptr) ||
            got == 0)
            return refused(ModuleFault::damaged, "it could not be read whole");
        done += got;
    }
    const FormatCheck check = checkModuleFormat(bytes.data(), bytes.size(), entrySymbol);
    if (check.fault != ModuleFault::none)
        return refused(check.fault, check.why);

    // Its own dependencies from its folder first (the program's), as Qt's loader takes them.
    const HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module)
        return refused(ModuleFault::notLoadable, systemError(::GetLastError()));
    // One of another build stays loaded, unused: unloading it again crashed the program a
    // moment later under wine, in code no longer there.
    const auto entry = reinterpret_cast<void (*)()>(::GetProcAddress(module, entrySymbol));
    if (!entry)
        return refused(ModuleFault::otherBuild, {});
    return {ModuleFault::none, {}, entry};
}

} // namespace tapecalc
