// The rules for committed, pasted and dropped text.
#include "keyboard/textgate.h"

#include "core/money.h"

namespace tapecalc {

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
    constexpr std::string_view blanks = " \t\r\n";
    text.erase(0, text.find_first_not_of(blanks));
    text.erase(text.find_last_not_of(blanks) + 1);

    std::string entry;
    entry.reserve(before.size() + text.size() + after.size());
    entry.append(before).append(text).append(after);
    // The syntax decides, not the size: a number too large to use is refused later, as typed.
    if (parseMoney(entry).error == MoneyError::conversion)
        return std::nullopt;
    return text;
}

} // namespace tapecalc
