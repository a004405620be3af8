// The journal of the tape view: every change of the view's text as one small record, so
// that the tape being keyed can be rebuilt after the program was killed. The record
// layout is at the top of journalformat.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tapecalc::journal {

// The first bytes of every journal; a file without them is no journal of this program.
inline constexpr std::string_view header = "TapeCalc journal 1\n";
// What the header of every version starts with: a file that starts so without `header` is
// the journal of another version of the program.
inline constexpr std::string_view headerStem = "TapeCalc journal ";

// Positions and lengths count UTF-16 code units of the view's text, as the text box does.
struct Change {
    std::uint32_t position = 0;
    std::uint32_t removed = 0;
    std::u16string_view inserted;
};

// One record: `removed` units at `position` give way to `inserted`. Opening a tape,
// clearing and a rebuilt view are changes like a typed correction.
std::string changeRecord(const Change &change);
// One record: the view as it stands is in a tape file (saved or just opened), so there is
// nothing to rebuild unless a change follows.
std::string keptRecord();

// The work of a replay, in code units moved. The replay keeps the text with a gap at the
// place of the last change, so a change costs its distance from there and what it
// removes and inserts: typing at one place and growing at the end cost little, however
// long the tape. The writer counts the same and starts its file over long before a replay
// would reach `workBound`; a journal that needs more is no journal it wrote.
struct Work {
    std::uint64_t units = 0;
    std::uint64_t gap = 0; // where the last change ended
    void add(std::uint64_t position, std::uint64_t removed, std::uint64_t inserted) {
        units += (position > gap ? position - gap : gap - position) + removed + inserted;
        gap = position + inserted;
    }
};
inline constexpr std::uint64_t workBound = std::uint64_t{1} << 28;

struct Replayed {
    std::u16string view; // the view's text after the last whole record
    bool kept = false;   // the last whole record said the view is in a file
    std::size_t records = 0;
    std::size_t usedBytes = 0; // the header and the whole records
    bool whole = false;        // every byte was read: no torn or damaged record at the end
    bool known = false;        // it starts with this version's header
    // Bytes follow a record that could not be trusted (or the work bound was reached):
    // more than the last write was cut off, so what follows is not only a torn end.
    bool damaged = false;
};

// Applies the records in order up to the first one that is cut off, fails its checksum,
// does not fit the text or would take the work past workBound; what follows such a
// record is not trusted. A text without the header gives an empty view. Linear in the
// bytes and the work.
Replayed replay(std::string_view bytes);

} // namespace tapecalc::journal
