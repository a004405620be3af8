// The tape text: for each line an entry row and an operator row, each ending in CR LF.
// It is the content of the tape view and of every tape file.
#pragma once

#include "core/calculator.h"

#include <algorithm>
#include <string>
#include <string_view>

namespace tapecalc {

// Slots 0..lineNumber: a non-empty entry (trimmed), then its symbol (trimmed) when the
// slot is before lineNumber. Slots beyond the tape are ignored.
std::string tapeText(const Calculator &calc);

// Leading and trailing spaces removed.
std::string_view trimBlanks(std::string_view text);

// Characters (code points) of a UTF-8 text, as an entry box or a printer counts them.
std::size_t characterCount(std::string_view utf8);

} // namespace tapecalc
