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

struct Replayed {
    std::u16string view; // the view's text after the last whole record
    bool kept = false;   // the last whole record said the view is in a file
    std::size_t records = 0;
    std::size_t usedBytes = 0; // the header and the whole records
    bool whole = false;        // every byte was read: no torn or damaged record at the end
};

// Applies the records in order up to the first one that is cut off, fails its checksum
// or does not fit the text; what follows such a record is not trusted. A text without the
// header gives an empty view.
Replayed replay(std::string_view bytes);

} // namespace tapecalc::journal
