// A PE module (a Windows DLL) is loaded only when it is a DLL of this program's own kind
// (machine, PE32 or PE32+) and the file holds everything its headers point at: the section
// table, each section's data, the symbol table and its strings. Wine's loader maps a DLL
// cut short of its last bytes without a word.
#include "ui/modulefile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdint>
#include <optional>
#include <windows.h>

namespace tapecalc {

namespace {

// `length` bytes at `offset` end within `fileSize`.
bool within(std::uint64_t offset, std::uint64_t length, std::uint64_t fileSize) {
    return offset <= fileSize && length <= fileSize - offset;
}

template <typename T> std::optional<T> readAt(QFile &file, std::uint64_t offset) {
    T value;
    if (!file.seek(static_cast<qint64>(offset)) ||
        file.read(reinterpret_cast<char *>(&value), sizeof value) != sizeof value)
        return std::nullopt;
    return value;
}

struct Headers {
    std::uint64_t sectionsAt; // the section table follows the optional header
    IMAGE_FILE_HEADER coff;
    WORD kind; // the optional header's magic: PE32 or PE32+
};

std::optional<Headers> headersOf(QFile &file) {
    const auto dos = readAt<IMAGE_DOS_HEADER>(file, 0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE || dos->e_lfanew < 0)
        return std::nullopt;
    const auto at = static_cast<std::uint64_t>(dos->e_lfanew);
    const auto signature = readAt<DWORD>(file, at);
    const auto coff = readAt<IMAGE_FILE_HEADER>(file, at + sizeof(DWORD));
    const std::uint64_t optionalAt = at + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER);
    const auto kind = readAt<WORD>(file, optionalAt);
    if (!signature || *signature != IMAGE_NT_SIGNATURE || !coff || !kind ||
        coff->SizeOfOptionalHeader < sizeof(WORD))
        return std::nullopt;
    return Headers{optionalAt + coff->SizeOfOptionalHeader, *coff, *kind};
}

// The program's own headers: a module must match its machine and kind.
const std::optional<Headers> &ownHeaders() {
    static const std::optional<Headers> own = [] {
        QFile program(QCoreApplication::applicationFilePath());
        return program.open(QIODevice::ReadOnly) ? headersOf(program) : std::nullopt;
    }();
    return own;
}

} // namespace

bool wholeModuleFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const auto size = static_cast<std::uint64_t>(file.size());
    const std::optional<Headers> headers = headersOf(file);
    const std::optional<Headers> &own = ownHeaders();
    if (!headers || !own || headers->coff.Machine != own->coff.Machine ||
        headers->kind != own->kind || !(headers->coff.Characteristics & IMAGE_FILE_DLL))
        return false;
    const WORD sections = headers->coff.NumberOfSections;
    if (!within(headers->sectionsAt, sections * std::uint64_t{sizeof(IMAGE_SECTION_HEADER)}, size))
        return false;
    for (WORD i = 0; i < sections; ++i) {
        const auto section = readAt<IMAGE_SECTION_HEADER>(
            file, headers->sectionsAt + i * std::uint64_t{sizeof(IMAGE_SECTION_HEADER)});
        if (!section || !within(section->PointerToRawData, section->SizeOfRawData, size))
            return false;
    }
    // The symbol table, then its strings, whose first four bytes give their length.
    if (headers->coff.PointerToSymbolTable != 0) {
        const std::uint64_t strings =
            headers->coff.PointerToSymbolTable +
            std::uint64_t{headers->coff.NumberOfSymbols} * IMAGE_SIZEOF_SYMBOL;
        const auto length = readAt<DWORD>(file, strings);
        if (!length || !within(strings, *length, size))
            return false;
    }
    return true;
}

} // namespace tapecalc
