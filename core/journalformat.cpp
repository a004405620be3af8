// The journal's records.
//
//     journal = header { record }
//     record  = length checksum body          length: bytes of body, checksum: CRC-32
//     body    = "C" position removed inserted  a change; inserted as UTF-16LE
//             | "K"                            the view is in a tape file
//
// Numbers are 32-bit little-endian. Each record is appended with one write, so a kill
// leaves whole records and at most one torn last record; the checksum also catches a
// record whose blocks a power cut left half written, and the length ends a garbage one
// before it is read.
#include "core/journalformat.h"

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

// Applies one record's body; false when it is no record this journal could have written.
bool apply(Replayed &state, std::string_view body) {
    if (body == std::string_view(&keptKind, 1)) {
        state.kept = true;
        return true;
    }
    if (body.size() < changeFields || body.front() != changeKind ||
        (body.size() - changeFields) % 2 != 0)
        return false;
    const std::size_t position = getU32(body, 1);
    const std::size_t removed = getU32(body, 5);
    if (position > state.view.size() || removed > state.view.size() - position)
        return false;
    std::u16string inserted((body.size() - changeFields) / 2, u'\0');
    for (std::size_t i = 0; i < inserted.size(); ++i) {
        const auto low = static_cast<unsigned char>(body[changeFields + 2 * i]);
        const auto high = static_cast<unsigned char>(body[changeFields + 2 * i + 1]);
        inserted[i] = static_cast<char16_t>(low | (high << 8));
    }
    state.view.replace(position, removed, inserted);
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
    Replayed state;
    if (!bytes.starts_with(header)) {
        state.whole = bytes.empty();
        return state;
    }
    std::size_t at = header.size();
    while (bytes.size() - at >= frameBytes) {
        const std::size_t length = getU32(bytes, at);
        if (length > bytes.size() - at - frameBytes)
            break;
        const std::string_view body = bytes.substr(at + frameBytes, length);
        if (crc32(body) != getU32(bytes, at + 4) || !apply(state, body))
            break;
        ++state.records;
        at += frameBytes + length;
    }
    state.usedBytes = at;
    state.whole = at == bytes.size();
    return state;
}

} // namespace tapecalc::journal
