// A PE module (a Windows DLL) is loaded only when it is a DLL of this program's own kind
// (machine, PE32 or PE32+) and the file holds everything its headers point at: the section
// table, each section's data, the symbol table and its strings. Wine's loader maps a DLL
// cut short of its last bytes without a word; Windows' own checks an image's layout itself
// when it maps it. Whether the DLL holds the entry is left to GetProcAddress.
#include "modules/modulefile.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>

namespace tapecalc {

namespace {

// `length` bytes at `offset` end within `fileSize`.
bool within(std::uint64_t offset, std::uint64_t length, std::uint64_t fileSize) {
    return offset <= fileSize && length <= fileSize - offset;
}

template <typename T>
std::optional<T> readAt(const unsigned char *bytes, std::uint64_t size, std::uint64_t offset) {
    if (!within(offset, sizeof(T), size))
        return std::nullopt;
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

struct Headers {
    std::uint64_t sectionsAt; // the section table follows the optional header
    IMAGE_FILE_HEADER coff;
    WORD kind; // the optional header's magic: PE32 or PE32+
};

std::optional<Headers> headersOf(const unsigned char *bytes, std::uint64_t size) {
    const auto dos = readAt<IMAGE_DOS_HEADER>(bytes, size, 0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return std::nullopt;
    const auto at = static_cast<std::uint64_t>(dos->e_lfanew);
    const auto signature = readAt<DWORD>(bytes, size, at);
    const auto coff = readAt<IMAGE_FILE_HEADER>(bytes, size, at + sizeof(DWORD));
    const std::uint64_t optionalAt = at + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    const auto kind = readAt<WORD>(bytes, size, optionalAt);
    if (!signature || *signature != IMAGE_NT_SIGNATURE || !coff || !kind ||
        coff->SizeOfOptionalHeader < sizeof(WORD))
        return std::nullopt;
    return Headers{optionalAt + coff->SizeOfOptionalHeader, *coff, *kind};
}

// The program's own headers, mapped with it: a module must match its machine and kind.
const std::optional<Headers> &ownHeaders() {
    static const std::optional<Headers> own = [] {
        const auto *image = reinterpret_cast<const unsigned char *>(::GetModuleHandleW(nullptr));
        const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(image);
        // The headers' page: the DOS header, the PE headers and the section table.
        return headersOf(image,
                         static_cast<std::uint64_t>(dos->e_lfanew) + sizeof(IMAGE_NT_HEADERS));
    }();
    return own;
}

} // namespace

FormatCheck checkModuleFormat(const unsigned char *bytes, std::size_t size, const char *) {
    const FormatCheck damaged{ModuleFault::damaged, "it is cut short of what its headers name"};
    const std::optional<Headers> headers = headersOf(bytes, size);
    const std::optional<Headers> &own = ownHeaders();
    if (!headers || !own)
        return {ModuleFault::damaged, "it is not a Windows DLL"};
    if (headers->coff.Machine != own->coff.Machine || headers->kind != own->kind ||
        !(headers->coff.Characteristics & IMAGE_FILE_DLL))
        return {ModuleFault::damaged, "it is for another system"};
    const WORD sections = headers->coff.NumberOfSections;
    if (!within(headers->sectionsAt, sections * std::uint64_t{sizeof(IMAGE_SECTION_HEADER)}, size))
        return damaged;
    for (WORD i = 0; i < sections; ++i) {
        const auto section = readAt<IMAGE_SECTION_HEADER>(
            bytes, size, headers->sectionsAt + i * std::uint64_t{sizeof(IMAGE_SECTION_HEADER)});
        if (!section || !within(section->PointerToRawData, section->SizeOfRawData, size))
            return damaged;
    }
    // The symbol table, then its strings, whose first four bytes give their length.
    if (headers->coff.PointerToSymbolTable != 0) {
        const std::uint64_t strings =
            headers->coff.PointerToSymbolTable +
            std::uint64_t{headers->coff.NumberOfSymbols} * IMAGE_SIZEOF_SYMBOL;
        const auto length = readAt<DWORD>(bytes, size, strings);
        if (!length || !within(strings, *length, size))
            return damaged;
    }
    return {ModuleFault::none, nullptr};
}

} // namespace tapecalc
