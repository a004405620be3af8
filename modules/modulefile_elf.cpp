// Whether an ELF module may be handed to the system's loader: a shared object of the
// program's own kind in which everything the loader reads before the module's own code
// runs lies where the loader will find it, in the file. glibc's loader trusts an ELF file:
// a dynamic segment outside the mapped image, a string table past the file's end, a hash
// chain that loops or a relocation aimed at read-only code kills or hangs the program
// inside dlopen. So the module is read as the loader reads it (glibc 2.36: dl-load.c,
// get-dynamic-info.h, dl-version.c, dl-lookup.c, do-rel.h, dl-init.c) and refused at the
// first thing the loader would trip on; and its entry of this build is looked up as dlsym
// looks it up, so that a module of another build is never mapped at all.
#include "modules/modulefile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <elf.h>
#include <map>
#include <optional>
#include <type_traits>
#include <unistd.h>
#include <vector>

// The program's own ELF header, mapped with it (GNU ld, gold and lld define the symbol).
extern "C" const unsigned char __ehdr_start[] __attribute__((visibility("hidden")));

namespace tapecalc {

namespace {

constexpr bool wide = sizeof(void *) == 8;
template <class Wide, class Narrow> using Native = std::conditional_t<wide, Wide, Narrow>;
using Header = Native<Elf64_Ehdr, Elf32_Ehdr>;
using Segment = Native<Elf64_Phdr, Elf32_Phdr>;
using Dynamic = Native<Elf64_Dyn, Elf32_Dyn>;
using Symbol = Native<Elf64_Sym, Elf32_Sym>;
using Rel = Native<Elf64_Rel, Elf32_Rel>;
using Rela = Native<Elf64_Rela, Elf32_Rela>;
using Word = Native<std::uint64_t, std::uint32_t>; // an address in the module
constexpr std::uint64_t wordBytes = sizeof(Word);

// No module of this program comes near these; an image or alignment beyond them is damage,
// and a loader asked for it would map terabytes or, past the address space, wrap around.
constexpr std::uint64_t maxImage = std::uint64_t{1} << 30;
// The loader copies the program headers onto its stack.
constexpr unsigned maxSegments = 64;

// The relocations this machine's loader does: which tables (REL, RELA), and the types that
// need more than a word written at a writable place.
struct Relocations {
    bool rel, rela;
    std::uint32_t relative, copy, irelative, tlsDescriptor; // none: ~0
};
constexpr std::uint32_t none = ~std::uint32_t{0};
#if defined(__x86_64__)
constexpr Relocations machine{
    false, true, R_X86_64_RELATIVE, R_X86_64_COPY, R_X86_64_IRELATIVE, R_X86_64_TLSDESC};
#elif defined(__aarch64__)
constexpr Relocations machine{
    false, true, R_AARCH64_RELATIVE, R_AARCH64_COPY, R_AARCH64_IRELATIVE, R_AARCH64_TLSDESC};
#elif defined(__i386__)
constexpr Relocations machine{true,          true, R_386_RELATIVE, R_386_COPY, R_386_IRELATIVE,
                              R_386_TLS_DESC};
#elif defined(__arm__)
constexpr Relocations machine{true,       false,           R_ARM_RELATIVE,
                              R_ARM_COPY, R_ARM_IRELATIVE, R_ARM_TLS_DESC};
#elif defined(__riscv)
constexpr Relocations machine{false, true, R_RISCV_RELATIVE, R_RISCV_COPY, R_RISCV_IRELATIVE, none};
#elif defined(__powerpc64__)
constexpr Relocations machine{false, true, R_PPC64_RELATIVE, R_PPC64_COPY, R_PPC64_IRELATIVE, none};
#elif defined(__s390x__)
constexpr Relocations machine{false, true, R_390_RELATIVE, R_390_COPY, R_390_IRELATIVE, none};
#else
// A machine whose relocation types are not listed here: its tables are checked, the types
// are left to its loader, and a constructor's address cannot be followed.
constexpr Relocations machine{true, true, none, none, none, none};
#endif

std::uint64_t symbolIndex(std::uint64_t info) {
    return wide ? info >> 32 : info >> 8;
}
std::uint32_t relocationType(std::uint64_t info) {
    return static_cast<std::uint32_t>(wide ? info & 0xffffffff : info & 0xff);
}

// `length` bytes at `offset` end within `size`.
bool within(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

std::uint64_t alignDown(std::uint64_t value, std::uint64_t alignment) {
    return value & ~(alignment - 1);
}

// dlsym's hashes of a name (GNU's and System V's).
std::uint32_t gnuHash(const char *name) {
    std::uint32_t hash = 5381;
    for (; *name; ++name)
        hash = hash * 33 + static_cast<unsigned char>(*name);
    return hash;
}
std::uint32_t elfHash(const char *name) {
    std::uint32_t hash = 0;
    for (; *name; ++name) {
        hash = (hash << 4) + static_cast<unsigned char>(*name);
        hash ^= (hash >> 24) & 0xf0;
    }
    return hash & 0x0fffffff;
}

class Module {
  public:
    Module(const unsigned char *bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

    // Null when whole, else the first thing the loader would trip on.
    const char *fault(const char *entry);
    bool holdsEntry() const { return m_entryFound; }

  private:
    struct Load {
        std::uint64_t address, offset, fileSize, memorySize;
        std::uint32_t flags;
    };

    // The file's bytes that the loader reads at [address, address + length) of the mapped
    // module; null unless all of them come from the file through one readable segment.
    const unsigned char *fileBacked(std::uint64_t address, std::uint64_t length) const {
        for (const Load &load : m_loads)
            if ((load.flags & PF_R) != 0 && address >= load.address &&
                within(address - load.address, length, load.fileSize))
                return m_bytes + load.offset + (address - load.address);
        return nullptr;
    }
    // An address of code: in the file's part of an executable segment.
    bool code(std::uint64_t address) const {
        return std::any_of(m_loads.begin(), m_loads.end(), [&](const Load &load) {
            return (load.flags & PF_X) != 0 && address >= load.address &&
                   address - load.address < load.fileSize;
        });
    }
    // [address, address + length) lies in the memory of one segment with `flags`.
    bool mapped(std::uint64_t address, std::uint64_t length, std::uint32_t flags) const {
        return std::any_of(m_loads.begin(), m_loads.end(), [&](const Load &load) {
            return (load.flags & flags) == flags && address >= load.address &&
                   within(address - load.address, length, load.memorySize);
        });
    }
    template <class T> std::optional<T> read(std::uint64_t address) const {
        const unsigned char *at = fileBacked(address, sizeof(T));
        if (!at)
            return std::nullopt;
        T value;
        std::memcpy(&value, at, sizeof value);
        return value;
    }
    // The word a relocation finds at `address` (zero in memory past the file's part).
    std::uint64_t wordAt(std::uint64_t address) const { return read<Word>(address).value_or(0); }
    bool has(std::int64_t tag) const { return m_tags.count(tag) != 0; }
    std::uint64_t tag(std::int64_t tag) const {
        const auto found = m_tags.find(tag);
        return found == m_tags.end() ? 0 : found->second;
    }
    const char *string(std::uint64_t offset) const {
        return offset < m_stringsSize ? m_strings + offset : nullptr;
    }

    const char *segments();
    const char *notes(const Segment &segment) const;
    const char *dynamicTable(const Segment &segment);
    const char *hashTable();
    const char *versions();
    const char *symbol(std::uint64_t index, Symbol *out = nullptr) const;
    const char *symbols(const char *entry);
    const char *relocationTable(std::uint64_t at, std::uint64_t size, bool rela,
                                std::uint64_t relative);
    const char *relocations();
    const char *constructors() const;
    bool isEntry(std::uint64_t index, const char *entry) const;

    const unsigned char *m_bytes;
    std::uint64_t m_size;
    Header m_header{};
    std::vector<Load> m_loads;
    std::map<std::int64_t, std::uint64_t> m_tags; // the last of each, as the loader keeps
    std::vector<std::uint64_t> m_names;           // libraries, filters, search paths
    std::vector<std::uint64_t> m_needed;
    const char *m_strings = nullptr;
    std::uint64_t m_stringsSize = 0;
    std::uint64_t m_symbolCount = 0; // those its hash table reaches
    unsigned m_highestVersion = 0;
    bool m_entryFound = false;
    // Whether each relocated word holds an address in code once relocated.
    std::map<std::uint64_t, bool> m_relocated;
};

const char *Module::segments() {
    const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    std::vector<Segment> all(m_header.e_phnum);
    std::memcpy(all.data(), m_bytes + m_header.e_phoff, all.size() * sizeof(Segment));
    for (const Segment &s : all) {
        if (s.p_type != PT_LOAD)
            continue;
        if (s.p_filesz > s.p_memsz || s.p_memsz > maxImage || s.p_align > maxImage ||
            (s.p_align & (s.p_align - 1)) != 0)
            return "a segment's sizes are impossible";
        if (!within(s.p_offset, s.p_filesz, m_size))
            return "it is cut short of a segment";
        if (((s.p_vaddr - s.p_offset) & (page - 1)) != 0)
            return "a segment is not aligned to its place in the file";
        // Code comes from the file, never from the zeros past it.
        if ((s.p_flags & PF_X) != 0 && s.p_filesz != s.p_memsz)
            return "a segment's sizes are impossible";
        // In order in memory and in the file, each part of the file loaded once.
        if (!m_loads.empty() && (s.p_vaddr < m_loads.back().address + m_loads.back().memorySize ||
                                 s.p_offset < m_loads.back().offset + m_loads.back().fileSize))
            return "its segments overlap or are out of order";
        m_loads.push_back({s.p_vaddr, s.p_offset, s.p_filesz, s.p_memsz, s.p_flags});
    }
    if (m_loads.empty())
        return "it has no segment to load";
    const Load &last = m_loads.back();
    if (last.address + last.memorySize - alignDown(m_loads.front().address, page) > maxImage)
        return "its segments take more memory than any module could";

    const Segment *dynamic = nullptr;
    for (const Segment &s : all) {
        switch (s.p_type) {
        case PT_DYNAMIC:
            dynamic = &s;
            break;
        case PT_PHDR: {
            // The program headers as mapped are the ones the loader goes over again.
            const auto length = std::uint64_t{m_header.e_phnum} * sizeof(Segment);
            const unsigned char *at = fileBacked(s.p_vaddr, length);
            if (!at || std::memcmp(at, m_bytes + m_header.e_phoff, length) != 0)
                return "its program headers are not where it says they are mapped";
            break;
        }
        case PT_TLS:
            if (s.p_memsz != 0 &&
                (s.p_filesz > s.p_memsz || s.p_memsz > maxImage || s.p_align > maxImage ||
                 (s.p_align & (s.p_align - 1)) != 0 || !fileBacked(s.p_vaddr, s.p_filesz)))
                return "its thread-local data lies outside its segments";
            break;
        case PT_NOTE:
        case PT_GNU_PROPERTY:
            if (const char *fault = notes(s))
                return fault;
            break;
        case PT_GNU_RELRO:
            if (!mapped(s.p_vaddr, s.p_memsz, 0))
                return "its read-only part after relocation lies outside its segments";
            break;
        case PT_GNU_EH_FRAME:
            if (!fileBacked(s.p_vaddr, s.p_memsz))
                return "its unwinding table lies outside its segments";
            break;
        default:
            break;
        }
    }
    if (!dynamic)
        return "it has no dynamic segment";
    return dynamicTable(*dynamic);
}

// The loader walks the notes for the processor features a module needs: each must lie
// whole within the segment, or the walk reads on past it.
const char *Module::notes(const Segment &segment) const {
    const std::uint64_t align = segment.p_align;
    if ((align != 4 && align != 8) || !fileBacked(segment.p_vaddr, segment.p_memsz))
        return "its notes lie outside its segments";
    std::uint64_t at = 0;
    while (at + sizeof(Elf64_Nhdr) < segment.p_memsz) {
        const auto note = read<Elf64_Nhdr>(segment.p_vaddr + at);
        const std::uint64_t description =
            (at + sizeof *note + note->n_namesz + align - 1) & ~(align - 1);
        if (!within(description, note->n_descsz, segment.p_memsz))
            return "a note runs past its segment";
        at = (description + note->n_descsz + align - 1) & ~(align - 1);
    }
    return nullptr;
}

const char *Module::dynamicTable(const Segment &segment) {
    const unsigned char *table = fileBacked(segment.p_vaddr, segment.p_filesz);
    if (!table || segment.p_filesz == 0)
        return "its dynamic table lies outside its segments or its file";
    // Unless it is read-only, the loader adds the module's address to some entries.
    if ((segment.p_flags & PF_W) != 0 && !mapped(segment.p_vaddr, segment.p_filesz, PF_W))
        return "its dynamic table is to be written in a read-only segment";
    bool ended = false;
    for (std::uint64_t i = 0; i < segment.p_filesz / sizeof(Dynamic) && !ended; ++i) {
        Dynamic entry;
        std::memcpy(&entry, table + i * sizeof entry, sizeof entry);
        const auto value = static_cast<std::uint64_t>(entry.d_un.d_val);
        switch (entry.d_tag) {
        case DT_NULL:
            ended = true;
            break;
        case DT_NEEDED:
            m_needed.push_back(value);
            [[fallthrough]];
        case DT_SONAME:
        case DT_RPATH:
        case DT_RUNPATH:
        case DT_AUXILIARY:
        case DT_FILTER:
            m_names.push_back(value);
            [[fallthrough]];
        default:
            m_tags[entry.d_tag] = value;
        }
    }
    if (!ended)
        return "its dynamic table has no end";
    if (has(DT_TEXTREL) || (tag(DT_FLAGS) & DF_TEXTREL) != 0)
        return "it relocates its own code";
    if (has(DT_RPATH) || has(DT_RUNPATH))
        return "it names folders to look for libraries in";

    m_stringsSize = tag(DT_STRSZ);
    m_strings = reinterpret_cast<const char *>(fileBacked(tag(DT_STRTAB), m_stringsSize));
    if (!has(DT_STRTAB) || !m_strings || m_stringsSize == 0 || m_strings[m_stringsSize - 1] != 0)
        return "its string table lies outside its segments or its file";
    for (const std::uint64_t name : m_names) {
        // A library named by a path (with a slash) is looked for from the current folder.
        if (!string(name) || std::strchr(string(name), '/'))
            return "it names a library outside its string table or by a path";
    }
    return nullptr;
}

// The number of symbols, which only the hash table gives, and the table itself whole: a
// lookup in the module walks a bucket's chain to its end.
const char *Module::hashTable() {
    constexpr const char *fault = "its hash table is damaged or lies outside its segments";
    if (has(DT_GNU_HASH)) {
        const std::uint64_t at = tag(DT_GNU_HASH);
        const unsigned char *head = fileBacked(at, 16);
        if (!head)
            return fault;
        std::uint32_t buckets, offset, bloomWords, shift;
        std::memcpy(&buckets, head, 4);
        std::memcpy(&offset, head + 4, 4);
        std::memcpy(&bloomWords, head + 8, 4);
        std::memcpy(&shift, head + 12, 4);
        const std::uint64_t bucketsAt = at + 16 + std::uint64_t{bloomWords} * wordBytes;
        const unsigned char *bucket = fileBacked(bucketsAt, std::uint64_t{buckets} * 4);
        if (buckets == 0 || bloomWords == 0 || (bloomWords & (bloomWords - 1)) != 0 ||
            shift >= 8 * wordBytes || !fileBacked(at + 16, std::uint64_t{bloomWords} * wordBytes) ||
            !bucket)
            return fault;
        std::uint32_t highest = 0;
        for (std::uint32_t i = 0; i < buckets; ++i) {
            std::uint32_t first;
            std::memcpy(&first, bucket + i * 4, 4);
            if (first != 0 && first < offset)
                return fault;
            highest = std::max(highest, first);
        }
        // Chains run on in symbol order to an entry marked last; the last bucket's chain
        // ends the table.
        m_symbolCount = offset;
        const std::uint64_t chainsAt = bucketsAt + std::uint64_t{buckets} * 4;
        for (std::uint64_t i = highest; highest != 0; ++i) {
            const auto link = read<std::uint32_t>(chainsAt + (i - offset) * 4);
            if (!link)
                return fault;
            if ((*link & 1) != 0) {
                m_symbolCount = i + 1;
                break;
            }
        }
        // Any bucket's chain may be walked: all of it lies in the file.
        if (!fileBacked(chainsAt, (m_symbolCount - offset) * 4))
            return fault;
    } else if (has(DT_HASH)) {
        const std::uint64_t at = tag(DT_HASH);
        const auto buckets = read<std::uint32_t>(at);
        const auto chains = read<std::uint32_t>(at + 4);
        if (!buckets || !chains || *buckets == 0)
            return fault;
        const unsigned char *bucket = fileBacked(at + 8, std::uint64_t{*buckets} * 4);
        const unsigned char *chain =
            fileBacked(at + 8 + std::uint64_t{*buckets} * 4, std::uint64_t{*chains} * 4);
        if (!bucket || !chain)
            return fault;
        // Each symbol on at most one chain, so no chain loops.
        std::vector<bool> seen(*chains);
        for (std::uint32_t b = 0; b < *buckets; ++b) {
            std::uint32_t i;
            std::memcpy(&i, bucket + b * 4, 4);
            for (; i != 0; std::memcpy(&i, chain + std::uint64_t{i} * 4, 4)) {
                if (i >= *chains || seen[i])
                    return fault;
                seen[i] = true;
            }
        }
        m_symbolCount = *chains;
    } else {
        return "it has no hash table";
    }
    return nullptr;
}

bool Module::isEntry(std::uint64_t index, const char *entry) const {
    Symbol symbol;
    std::memcpy(&symbol, fileBacked(tag(DT_SYMTAB) + index * sizeof symbol, sizeof symbol),
                sizeof symbol);
    const unsigned bind = symbol.st_info >> 4;
    return std::strcmp(m_strings + symbol.st_name, entry) == 0 && symbol.st_shndx != SHN_UNDEF &&
           (symbol.st_info & 0xf) == STT_FUNC && (bind == STB_GLOBAL || bind == STB_WEAK) &&
           symbol.st_value != 0;
}

// One symbol as the loader reads it, to look it up or to relocate with it: in the file,
// its name in the string table, a function of its own in its code, and its version one of
// those the module has (the loader indexes its table of versions with it).
const char *Module::symbol(std::uint64_t index, Symbol *out) const {
    const unsigned char *at =
        index < m_size ? fileBacked(tag(DT_SYMTAB) + index * sizeof(Symbol), sizeof(Symbol))
                       : nullptr;
    if (!at)
        return "its symbol table lies outside its segments";
    Symbol symbol;
    std::memcpy(&symbol, at, sizeof symbol);
    if (!string(symbol.st_name))
        return "a symbol's name lies outside its string table";
    const unsigned type = symbol.st_info & 0xf;
    if ((type == STT_FUNC || type == STT_GNU_IFUNC) && symbol.st_shndx != SHN_UNDEF &&
        symbol.st_shndx < SHN_LORESERVE && !code(symbol.st_value))
        return "a function of it lies outside its code";
    if (has(DT_VERSYM)) {
        const auto version = read<std::uint16_t>(tag(DT_VERSYM) + index * 2);
        if (!version)
            return "its symbols' versions lie outside its segments";
        if ((*version & 0x7fffu) > m_highestVersion)
            return "a symbol's version is none of its versions";
    }
    if (out)
        *out = symbol;
    return nullptr;
}

const char *Module::symbols(const char *entry) {
    for (std::uint64_t i = 0; i < m_symbolCount; ++i)
        if (const char *fault = symbol(i))
            return fault;

    // The entry, found as dlsym finds it: through the hash table.
    if (has(DT_GNU_HASH)) {
        const std::uint64_t at = tag(DT_GNU_HASH);
        const auto buckets = *read<std::uint32_t>(at);
        const auto offset = *read<std::uint32_t>(at + 4);
        const auto bloomWords = *read<std::uint32_t>(at + 8);
        const auto shift = *read<std::uint32_t>(at + 12);
        const std::uint32_t hash = gnuHash(entry);
        const auto bits = static_cast<std::uint32_t>(8 * wordBytes);
        const Word bloom = *read<Word>(at + 16 + (hash / bits & (bloomWords - 1)) * wordBytes);
        const std::uint64_t bucketsAt = at + 16 + std::uint64_t{bloomWords} * wordBytes;
        std::uint32_t i = *read<std::uint32_t>(bucketsAt + hash % buckets * 4);
        if (((bloom >> (hash % bits)) & (bloom >> ((hash >> shift) % bits)) & 1) != 0 && i != 0) {
            const std::uint64_t chainsAt = bucketsAt + std::uint64_t{buckets} * 4;
            for (;; ++i) {
                const std::uint32_t link = *read<std::uint32_t>(chainsAt + (i - offset) * 4);
                if (((link ^ hash) >> 1) == 0 && isEntry(i, entry))
                    m_entryFound = true;
                if ((link & 1) != 0 || m_entryFound)
                    break;
            }
        }
    } else {
        const std::uint64_t at = tag(DT_HASH);
        const auto buckets = *read<std::uint32_t>(at);
        const std::uint64_t chainsAt = at + 8 + std::uint64_t{buckets} * 4;
        for (std::uint32_t i = *read<std::uint32_t>(at + 8 + elfHash(entry) % buckets * 4);
             i != 0 && !m_entryFound; i = *read<std::uint32_t>(chainsAt + std::uint64_t{i} * 4))
            m_entryFound = isEntry(i, entry);
    }
    return nullptr;
}

// The versions its symbols need and define: every record where the loader reads it, and
// every library it needs versions of among those it needs (the loader asserts so).
const char *Module::versions() {
    unsigned &highest = m_highestVersion;
    if (has(DT_VERNEED)) {
        for (std::uint64_t at = tag(DT_VERNEED);;) {
            const auto need = read<Elf64_Verneed>(at);
            if (!need || at % 4 != 0 || need->vn_version != 1 || !string(need->vn_file) ||
                std::none_of(m_needed.begin(), m_needed.end(), [&](std::uint64_t name) {
                    return std::strcmp(string(name), string(need->vn_file)) == 0;
                }))
                return "the versions it needs are damaged or lie outside its segments";
            for (std::uint64_t auxAt = at + need->vn_aux;;) {
                const auto aux = read<Elf64_Vernaux>(auxAt);
                if (!aux || auxAt % 4 != 0 || !string(aux->vna_name))
                    return "the versions it needs are damaged or lie outside its segments";
                highest = std::max(highest, aux->vna_other & 0x7fffu);
                if (aux->vna_next == 0)
                    break;
                auxAt += aux->vna_next;
            }
            if (need->vn_next == 0)
                break;
            at += need->vn_next;
        }
    }
    if (has(DT_VERDEF)) {
        for (std::uint64_t at = tag(DT_VERDEF);;) {
            const auto definition = read<Elf64_Verdef>(at);
            const auto aux =
                definition ? read<Elf64_Verdaux>(at + definition->vd_aux) : std::nullopt;
            if (!definition || !aux || at % 4 != 0 || definition->vd_version != 1 ||
                !string(aux->vda_name))
                return "the versions it defines are damaged or lie outside its segments";
            highest = std::max(highest, definition->vd_ndx & 0x7fffu);
            if (definition->vd_next == 0)
                break;
            at += definition->vd_next;
        }
    }
    // With versions, the loader takes its symbols' versions without asking for them.
    if (highest != 0 && !has(DT_VERSYM))
        return "its symbols' versions are missing";
    return nullptr;
}

// Each relocation writes a word (two for a TLS descriptor) into a writable segment, names
// one of its symbols, and a relocation that calls into the module calls into its code.
const char *Module::relocationTable(std::uint64_t at, std::uint64_t size, bool rela,
                                    std::uint64_t relative) {
    constexpr const char *fault = "a relocation table is damaged or lies outside its segments";
    const std::uint64_t entrySize = rela ? sizeof(Rela) : sizeof(Rel);
    const unsigned char *table = fileBacked(at, size);
    if (!table || size % entrySize != 0 || relative > size / entrySize)
        return fault;
    for (std::uint64_t i = 0; i < size / entrySize; ++i) {
        Rela entry{};
        std::memcpy(&entry, table + i * entrySize, entrySize);
        const std::uint32_t type = relocationType(entry.r_info);
        const std::uint64_t where = entry.r_offset;
        // REL keeps the addend in the word it relocates.
        const std::uint64_t addend =
            rela ? static_cast<std::uint64_t>(entry.r_addend) : wordAt(where);
        if ((i < relative && machine.relative != none && type != machine.relative) ||
            (type == machine.copy && type != none))
            return fault;
        Symbol target;
        if (const char *symbolFault = symbol(symbolIndex(entry.r_info), &target))
            return symbolFault;
        if (!mapped(where, (type == machine.tlsDescriptor ? 2 : 1) * wordBytes, PF_W))
            return "a relocation writes outside its writable segments";
        if (type == machine.irelative && type != none && !code(addend))
            return "a relocation calls outside its code";
        // A constructor's slot holds code: the module's own place of it, or a function the
        // loader finds by name (or refuses the module for want of it).
        const unsigned kind = target.st_info & 0xf;
        m_relocated[where] =
            type == machine.relative ? code(addend)
            : type == machine.irelative
                ? true
                : symbolIndex(entry.r_info) != 0 && addend == 0 &&
                      (target.st_shndx == SHN_UNDEF ? (target.st_info >> 4) != STB_WEAK
                                                    : kind == STT_FUNC || kind == STT_GNU_IFUNC);
    }
    return nullptr;
}

const char *Module::relocations() {
    constexpr const char *fault = "its relocations are damaged";
    // In the loader's order: the packed relative ones, REL, RELA (each with the PLT's).
    if (has(DT_RELR)) {
        const std::uint64_t size = tag(DT_RELRSZ);
        const unsigned char *table = fileBacked(tag(DT_RELR), size);
        if (!table || !has(DT_RELRSZ) || tag(DT_RELRENT) != wordBytes || size % wordBytes != 0)
            return fault;
        std::optional<std::uint64_t> where;
        for (std::uint64_t i = 0; i < size / wordBytes; ++i) {
            Word entry;
            std::memcpy(&entry, table + i * wordBytes, wordBytes);
            std::vector<std::uint64_t> written;
            if ((entry & 1) == 0) {
                written.push_back(entry);
                where = entry + wordBytes;
            } else if (!where) {
                return fault; // a bitmap before any address: words at address 0 onwards
            } else {
                for (std::uint64_t bit = 0; (entry >>= 1) != 0; ++bit)
                    if ((entry & 1) != 0)
                        written.push_back(*where + bit * wordBytes);
                *where += (8 * wordBytes - 1) * wordBytes;
            }
            for (const std::uint64_t address : written) {
                if (!mapped(address, wordBytes, PF_W))
                    return "a relocation writes outside its writable segments";
                m_relocated[address] = code(wordAt(address));
            }
        }
    }
    struct Kind {
        bool used;
        std::int64_t table, size, entrySize, relativeCount;
        std::uint64_t entryBytes;
        bool rela;
    };
    for (const Kind &kind :
         {Kind{machine.rel, DT_REL, DT_RELSZ, DT_RELENT, DT_RELCOUNT, sizeof(Rel), false},
          Kind{machine.rela, DT_RELA, DT_RELASZ, DT_RELAENT, DT_RELACOUNT, sizeof(Rela), true}}) {
        if (!kind.used || !has(kind.table))
            continue;
        if (tag(kind.entrySize) != kind.entryBytes || (tag(kind.table) != 0 && !has(kind.size)))
            return fault;
        if (tag(kind.table) != 0)
            if (const char *f = relocationTable(tag(kind.table), tag(kind.size), kind.rela,
                                                tag(kind.relativeCount)))
                return f;
    }
    // Without its kind the loader passes over the PLT's table, leaving its words unrelocated.
    if (has(DT_PLTREL) || has(DT_JMPREL)) {
        const std::uint64_t kind = tag(DT_PLTREL);
        if (!((kind == DT_RELA && machine.rela) || (kind == DT_REL && machine.rel)) ||
            !has(DT_JMPREL) || !has(DT_PLTRELSZ))
            return fault;
        if (const char *f = relocationTable(tag(DT_JMPREL), tag(DT_PLTRELSZ), kind == DT_RELA, 0))
            return f;
    }
    // Lazy binding writes the loader's own two words after the first of the PLT's table.
    if ((has(DT_JMPREL) || has(DT_PLTGOT)) && !mapped(tag(DT_PLTGOT), 3 * wordBytes, PF_W))
        return fault;
    return nullptr;
}

// The loader calls the module's constructors and, at the end, its destructors: each must
// be an address in its code once the module is relocated.
const char *Module::constructors() const {
    constexpr const char *fault = "a constructor or destructor lies outside its code";
    for (const auto single : {DT_INIT, DT_FINI})
        if (has(single) && !code(tag(single)))
            return fault;
    for (const auto &[array, size] :
         {std::pair{DT_INIT_ARRAY, DT_INIT_ARRAYSZ}, std::pair{DT_FINI_ARRAY, DT_FINI_ARRAYSZ}}) {
        if (!has(array))
            continue;
        if (!has(size) || tag(size) % wordBytes != 0 || !fileBacked(tag(array), tag(size)))
            return fault;
        if (machine.relative == none)
            continue;
        for (std::uint64_t slot = 0; slot < tag(size); slot += wordBytes) {
            const auto found = m_relocated.find(tag(array) + slot);
            if (found == m_relocated.end() || !found->second)
                return fault;
        }
    }
    return nullptr;
}

const char *Module::fault(const char *entry) {
    if (m_size < sizeof m_header)
        return "it is shorter than an ELF header";
    std::memcpy(&m_header, m_bytes, sizeof m_header);
    Header own;
    std::memcpy(&own, __ehdr_start, sizeof own);
    if (std::memcmp(m_header.e_ident, ELFMAG, SELFMAG) != 0)
        return "it is not an ELF file";
    // Class, byte order and version as the program's own (the ABI byte may differ: a
    // linker marks objects with GNU extensions).
    if (std::memcmp(m_header.e_ident, own.e_ident, EI_OSABI) != 0 ||
        m_header.e_machine != own.e_machine || m_header.e_version != EV_CURRENT)
        return "it is for another system";
    if (m_header.e_type != ET_DYN || m_header.e_phentsize != sizeof(Segment) ||
        m_header.e_phnum == 0 || m_header.e_phnum > maxSegments)
        return "it is not a shared object";
    if (!within(m_header.e_phoff, std::uint64_t{m_header.e_phnum} * sizeof(Segment), m_size) ||
        (m_header.e_shoff != 0 &&
         !within(m_header.e_shoff, std::uint64_t{m_header.e_shnum} * m_header.e_shentsize, m_size)))
        return "it is cut short of its headers";
    if (const char *fault = segments())
        return fault;
    if (!has(DT_SYMTAB) || (has(DT_SYMENT) && tag(DT_SYMENT) != sizeof(Symbol)))
        return "its symbol table is of another kind";
    if (const char *fault = hashTable())
        return fault;
    if (const char *fault = versions())
        return fault;
    if (const char *fault = symbols(entry))
        return fault;
    if (const char *fault = relocations())
        return fault;
    return constructors();
}

} // namespace

FormatCheck checkModuleFormat(const unsigned char *bytes, std::size_t size, const char *entry) {
    Module module(bytes, size);
    if (const char *why = module.fault(entry))
        return {ModuleFault::damaged, why};
    if (!module.holdsEntry())
        return {ModuleFault::otherBuild, "it holds no entry of this build"};
    return {ModuleFault::none, nullptr};
}

} // namespace tapecalc
