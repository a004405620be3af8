// The tape text of the tape in memory.
#include "core/tapetext.h"

namespace tapecalc {

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" ");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" ");
    return text.substr(first, last - first + 1);
}

std::size_t characterCount(std::string_view utf8) {
    // Continuation bytes do not start a character.
    return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string tapeText(const Calculator &calc) {
    std::string text;
    // Slots past the end of the tape (a line number that went on counting) add nothing.
    const int end = std::min(calc.lineNumber, tapeSlots - 1);
    for (int k = 0; k <= end; ++k) {
        const auto &entry = calc.tapeEntries[static_cast<std::size_t>(k)];
        if (entry.empty())
            continue;
        text += trimBlanks(entry);
        text += "\r\n";
        if (k < calc.lineNumber) {
            text += trimBlanks(calc.tapeOperators[static_cast<std::size_t>(k)]);
            text += "\r\n";
        }
    }
    return text;
}

} // namespace tapecalc
