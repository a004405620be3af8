// The rules for committed, pasted and dropped text.
#include "core/textgate.h"

#include "core/money.h"
#include "core/text.h"

namespace tapecalc {

int tapeViewKeyFilter(int charCode) {
    if (charCode == backspaceCode || charCode == '+' || charCode == '-' || charCode == '.' ||
        (charCode >= '0' && charCode <= '9'))
        return charCode;
    if (charCode == '*')
        return 0x00D7; // ×
    if (charCode == '/')
        return 0x00F7; // ÷
    return 0;
}

char32_t asciiFromFullWidth(char32_t c) {
    if (c >= U'０' && c <= U'９')
        return c - U'０' + U'0';
    switch (c) {
    case U'．':
    case U'。': // a Chinese input method's point
        return U'.';
    case U'＋':
        return U'+';
    case U'－':
        return U'-';
    case U'＊':
        return U'*';
    case U'／':
        return U'/';
    case U'\u3000': // the full-width space
        return U' ';
    default:
        return c;
    }
}

std::optional<std::string> pastedIntoEntry(std::string_view before, std::u32string_view pasted,
                                           std::string_view after) {
    std::string text;
    text.reserve(pasted.size());
    for (const char32_t c : pasted) {
        const char32_t ascii = asciiFromFullWidth(c);
        if (ascii > 0x7f)
            return std::nullopt; // no number holds it
        text += static_cast<char>(ascii);
    }
    // Copied text often ends with a line end.
    text = std::string(trimBlanks(text, Trim::blanksAndLineEnds));

    std::string entry;
    entry.reserve(before.size() + text.size() + after.size());
    entry.append(before).append(text).append(after);
    // The syntax decides, not the size: a number too large to use is refused later, as typed.
    if (parseMoney(entry).error == MoneyError::conversion)
        return std::nullopt;
    return text;
}

} // namespace tapecalc
