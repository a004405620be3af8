// What may be typed into the tape view, and the rules for text that reaches the entry
// box or the tape view other than by a key: an input method's commit, a paste or a drop.
// It passes the same rules as typed characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tapecalc {

// A character typed into the tape view: the code to insert, or 0 to discard it. "*" and
// "/" become the tape's "×" and "÷".
int tapeViewKeyFilter(int charCode);

// The key an input method's full-width digit, point or sign stands for ("１" is "1",
// "．" and "。" are "."); every other character comes back unchanged.
char32_t asciiFromFullWidth(char32_t c);

// A paste or drop of `pasted` into the entry box between the texts `before` and `after`
// (UTF-8). Returns the text to insert, full-width forms made ASCII and blanks around it
// dropped, or nothing when the entry would then not read as a number.
std::optional<std::string> pastedIntoEntry(std::string_view before, std::u32string_view pasted,
                                           std::string_view after);

} // namespace tapecalc
