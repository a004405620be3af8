// The few rules about characters that the money parser, the tape format, the input rules
// and the journal share: what a blank is (in a line and in a whole view), trimming,
// counting characters, the backspace code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace tapecalc {

// A blank is a space or a tab; a line end is not a blank ("5\n" is no number).
constexpr bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
constexpr bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Whether UTF-16 text (a tape view) holds nothing but blanks and line ends, the Unicode
// line and paragraph separators among them: a view that a save back writes as nothing.
constexpr bool isBlankText(std::u16string_view text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) {
        const bool ascii = c < 0x80;
        return (ascii && (isBlank(static_cast<char>(c)) || isLineEnd(static_cast<char>(c)))) ||
               c == u'\u2028' || c == u'\u2029';
    });
}

enum class Trim {
    blanks,            // spaces and tabs
    blanksAndLineEnds, // also CR and LF: empty lines at the ends of a text
};

// `text` without the blanks (and line ends, if asked) at either end.
constexpr std::string_view trimBlanks(std::string_view text, Trim what = Trim::blanks) {
    const auto dropped = [what](char c) {
        return isBlank(c) || (what == Trim::blanksAndLineEnds && isLineEnd(c));
    };
    while (!text.empty() && dropped(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && dropped(text.back()))
        text.remove_suffix(1);
    return text;
}

// Characters (code points) of a UTF-8 text, as an entry box or a printer counts them.
constexpr std::size_t characterCount(std::string_view utf8) {
    // Continuation bytes do not start a character.
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// The character code of Backspace, which the entry box and the tape view let through.
inline constexpr int backspaceCode = 8;

} // namespace tapecalc
