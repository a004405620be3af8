// The tape text: the content of the tape view and of every tape file, written from the
// tape in memory and read back into it. The grammar is at the top of tapeformat.cpp.
// Bytes and their coding (GBK, UTF-8) are the store's; this is text in UTF-8.
#pragma once

#include "core/calculator.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tapecalc {

// The longest row of a tape text, in characters: far beyond any number (the keys make at
// most 22 characters, an entry typed or pasted may be longer), and short enough for the
// tape view to lay the row out again at every key in a few tens of milliseconds. The
// entry box and the tape view take no longer row, and a file with one is no tape.
inline constexpr std::size_t longestTapeRow = 32768;

// How many characters the longest row of `text` (UTF-8) holds; rows end at CR or LF.
std::size_t longestRow(std::string_view text);

// The most rows the tape view shows a text as stored with: those of a full tape, and one
// more (older files saved back end in an empty row). A text of more rows that the tape
// holds whole has them in blank rows, which are no lines: a text box takes seconds to lay
// out millions of them, so such a text shows as the tape it holds.
inline constexpr std::size_t mostRowsShownAsStored = 2 * tapeSlots + 1;

// How many rows `text` holds: its line ends (CR LF, CR or LF), and one more when it does
// not end in one.
std::size_t rowCount(std::string_view text);

// Writer. Slots 0..lineNumber: a non-empty entry (trimmed), then its symbol (trimmed)
// when the slot is before lineNumber; every row ends in CR LF. Slots beyond the tape
// are ignored.
std::string tapeText(const Calculator &calc);

// Writer of every save: the text a tape file holds for a tape view (as the calculator
// wrote it or as edited by hand): line ends made
// CR LF (a text box hands over LF, CR, U+2028 or U+2029), blanks and empty lines at
// either end dropped, then exactly one CR LF, so saving back never grows an empty line.
// An empty view gives an empty text.
std::string tapeFileText(std::string_view view);

// Reader. Opens a tape from its text: its lines, the total recomputed line by line, the
// per-line totals for review, and the view showing the text as stored. The tape is tied
// to no file and counts as opened from the list. A text of more lines than the tape
// holds fills the tape, totals the lines taken and shows them; returns how many lines
// were left out. A text of more rows than mostRowsShownAsStored shows as its tape too.
int loadTapeText(Calculator &calc, std::string_view text);

} // namespace tapecalc
