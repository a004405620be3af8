// The journal's records.
//
//     journal = header { record }
//     record  = length checksum body          length: bytes of body, checksum: CRC-32
//     body    = "C" position removed inserted  a change; inserted as UTF-16LE
//             | "K"                            the view is in a tape file
//
// Numbers are 32-bit little-endian. Each record is appended with one write, so a kill
// leaves whole records and at most one torn last record (a write that failed is cut
// back; a file that starts over is put in place whole); the checksum also catches a
// record whose blocks a power cut left half written, and the length ends a garbage one
// before it is read.
#include "core/journalformat.h"

#include <algorithm>
#include <array>

namespace tapecalc::journal {

namespace {

constexpr char changeKind = 'C';
constexpr char keptKind = 'K';
constexpr std::size_t frameBytes = 8; // length and checksum
constexpr std::size_t changeFields = 1 + 4 + 4;

// CRC-32 as zlib and PNG compute it (reflected, polynomial 0xEDB88320).
constexpr std::array<std::uint32_t, 256> crcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t c = 0xFFFFFFFFU;
    for (const char b : bytes)
        c = crcTable[(c ^ static_cast<unsigned char>(b)) & 0xFFU] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

void putU32(std::string &out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((value >> shift) & 0xFFU);
}

std::uint32_t getU32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return value;
}

std::string framed(const std::string &body) {
    std::string record;
    record.reserve(frameBytes + body.size());
    putU32(record, static_cast<std::uint32_t>(body.size()));
    putU32(record, crc32(body));
    return record + body;
}

// The text being replayed, with a gap at the place of the last change: a change moves
// only the units between the gap and its position (journal::Work counts them).
class GapText {
  public:
    std::size_t size() const { return m_units.size() - (m_gapEnd - m_gapStart); }

    void replace(std::size_t position, std::size_t removed, std::string_view utf16le) {
        moveGap(position);
        m_gapEnd += removed;
        const std::size_t inserted = utf16le.size() / 2;
        if (m_gapEnd - m_gapStart < inserted)
            grow(inserted);
        for (std::size_t i = 0; i < inserted; ++i) {
            const auto low = static_cast<unsigned char>(utf16le[2 * i]);
            const auto high = static_cast<unsigned char>(utf16le[2 * i + 1]);
            m_units[m_gapStart++] = static_cast<char16_t>(low | (high << 8));
        }
    }

    std::u16string text() const {
        std::u16string text(m_units.begin(),
                            m_units.begin() + static_cast<std::ptrdiff_t>(m_gapStart));
        text.append(m_units.begin() + static_cast<std::ptrdiff_t>(m_gapEnd), m_units.end());
        return text;
    }

  private:
    void moveGap(std::size_t to) {
        const auto units = m_units.begin();
        const auto at = [&units](std::size_t i) { return units + static_cast<std::ptrdiff_t>(i); };
        if (to < m_gapStart) {
            std::copy_backward(at(to), at(m_gapStart), at(m_gapEnd));
            m_gapEnd -= m_gapStart - to;
        } else if (to > m_gapStart) {
            std::copy(at(m_gapEnd), at(m_gapEnd + (to - m_gapStart)), at(m_gapStart));
            m_gapEnd += to - m_gapStart;
        }
        m_gapStart = to;
    }

    // Room for at least `needed` units in the gap; the buffer at least doubles, so the
    // copies stay linear in what is inserted.
    void grow(std::size_t needed) {
        const std::size_t tail = m_units.size() - m_gapEnd;
        const std::size_t capacity = std::max(2 * m_units.size(), size() + needed + 64);
        std::u16string units(capacity, u'\0');
        std::copy_n(m_units.begin(), m_gapStart, units.begin());
        std::copy_n(m_units.end() - static_cast<std::ptrdiff_t>(tail), tail,
                    units.end() - static_cast<std::ptrdiff_t>(tail));
        m_gapEnd = capacity - tail;
        m_units = std::move(units);
    }

    std::u16string m_units;
    std::size_t m_gapStart = 0;
    std::size_t m_gapEnd = 0;
};

struct Replaying {
    GapText text;
    Work work;
    bool kept = false;
    bool overWork = false; // a record would have taken the work past workBound
};

// Applies one record's body; false when it is no record this journal could have written.
bool apply(Replaying &state, std::string_view body) {
    if (body == std::string_view(&keptKind, 1)) {
        state.kept = true;
        return true;
    }
    if (body.size() < changeFields || body.front() != changeKind ||
        (body.size() - changeFields) % 2 != 0)
        return false;
    const std::size_t position = getU32(body, 1);
    const std::size_t removed = getU32(body, 5);
    const std::size_t size = state.text.size();
    if (position > size || removed > size - position)
        return false;
    const std::string_view inserted = body.substr(changeFields);
    Work work = state.work;
    work.add(position, removed, inserted.size() / 2);
    if (work.units > workBound) {
        state.overWork = true;
        return false;
    }
    state.work = work;
    state.text.replace(position, removed, inserted);
    state.kept = false;
    return true;
}

} // namespace

std::string changeRecord(const Change &change) {
    std::string body;
    body.reserve(changeFields + 2 * change.inserted.size());
    body += changeKind;
    putU32(body, change.position);
    putU32(body, change.removed);
    for (const char16_t unit : change.inserted) {
        body += static_cast<char>(unit & 0xFFU);
        body += static_cast<char>((unit >> 8) & 0xFFU);
    }
    return framed(body);
}

std::string keptRecord() {
    return framed(std::string(1, keptKind));
}

Replayed replay(std::string_view bytes) {
    Replayed result;
    if (!bytes.starts_with(header)) {
        result.whole = bytes.empty();
        return result;
    }
    result.known = true;
    Replaying state;
    std::size_t at = header.size();
    while (bytes.size() - at >= frameBytes) {
        const std::size_t length = getU32(bytes, at);
        if (length > bytes.size() - at - frameBytes)
            break; // cut off: the last write was not finished
        const std::string_view body = bytes.substr(at + frameBytes, length);
        if (crc32(body) != getU32(bytes, at + 4) || !apply(state, body)) {
            // A last record whose blocks a power cut left unwritten is a torn end too.
            result.damaged = state.overWork || at + frameBytes + length < bytes.size();
            break;
        }
        ++result.records;
        at += frameBytes + length;
    }
    result.view = state.text.text();
    result.kept = state.kept;
    result.usedBytes = at;
    result.whole = at == bytes.size();
    return result;
}

} // namespace tapecalc::journal
