// An ELF module is loaded only when it is a shared object of this program's own kind
// (class, byte order, machine) and the file holds everything its headers point at: the
// program headers, each loaded segment, the section headers. A file cut anywhere falls
// short of one of them.
#include "ui/modulefile.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdint>
#include <cstring>
#include <elf.h>
#include <optional>
#include <type_traits>

namespace tapecalc {

namespace {

using Header = std::conditional_t<sizeof(void *) == 8, Elf64_Ehdr, Elf32_Ehdr>;
using ProgramHeader = std::conditional_t<sizeof(void *) == 8, Elf64_Phdr, Elf32_Phdr>;

// `count` records of `size` bytes at `offset` end within `fileSize`.
bool within(std::uint64_t offset, std::uint64_t count, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && count <= (fileSize - offset) / (size ? size : 1);
}

std::optional<Header> headerOf(QFile &file) {
    Header header;
    if (file.read(reinterpret_cast<char *>(&header), sizeof header) != sizeof header)
        return std::nullopt;
    return header;
}

// The program's own header: a module must match its class, byte order and machine.
const std::optional<Header> &ownHeader() {
    static const std::optional<Header> own = [] {
        QFile program(QCoreApplication::applicationFilePath());
        return program.open(QIODevice::ReadOnly) ? headerOf(program) : std::nullopt;
    }();
    return own;
}

} // namespace

bool wholeModuleFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const auto size = static_cast<std::uint64_t>(file.size());
    const std::optional<Header> header = headerOf(file);
    const std::optional<Header> &own = ownHeader();
    // The magic, class, byte order and version as the program's own (the ABI byte may
    // differ: a linker marks objects with GNU extensions).
    if (!header || !own || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        std::memcmp(header->e_ident, own->e_ident, EI_OSABI) != 0 ||
        header->e_machine != own->e_machine || header->e_type != ET_DYN ||
        header->e_phentsize != sizeof(ProgramHeader))
        return false;
    if (!within(header->e_phoff, header->e_phnum, sizeof(ProgramHeader), size) ||
        (header->e_shoff != 0 &&
         !within(header->e_shoff, header->e_shnum, header->e_shentsize, size)))
        return false;
    if (!file.seek(static_cast<qint64>(header->e_phoff)))
        return false;
    for (int i = 0; i < header->e_phnum; ++i) {
        ProgramHeader segment;
        if (file.read(reinterpret_cast<char *>(&segment), sizeof segment) != sizeof segment)
            return false;
        if (segment.p_type == PT_LOAD && !within(segment.p_offset, segment.p_filesz, 1, size))
            return false;
    }
    return true;
}

} // namespace tapecalc
