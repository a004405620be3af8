// The tape text: the content of the tape view and of every tape file, written from the
// tape in memory and read back into it. The grammar is at the top of tapeformat.cpp.
// Bytes and their coding (GBK, UTF-8) are the store's; this is text in UTF-8.
#pragma once

#include "core/calculator.h"

#include <string>
#include <string_view>

namespace tapecalc {

// Writer. Slots 0..lineNumber: a non-empty entry (trimmed), then its symbol (trimmed)
// when the slot is before lineNumber; every row ends in CR LF. Slots beyond the tape
// are ignored.
std::string tapeText(const Calculator &calc);

// Writer for a tape view edited by hand, as it goes back to its file: line ends made
// CR LF (a text box hands over LF, CR, U+2028 or U+2029), blanks and empty lines at
// either end dropped, then exactly one CR LF, so saving back never grows an empty line.
// An empty view gives an empty text.
std::string savedBackText(std::string_view view);

// Reader. Opens a tape from its text: its lines, the total recomputed line by line, the
// per-line totals for review, and the view showing the text as stored. The tape is tied
// to no file and counts as opened from the list. A text of more lines than the tape
// holds fills the tape, totals the lines taken and shows them; returns how many lines
// were left out.
int loadTapeText(Calculator &calc, std::string_view text);

} // namespace tapecalc
