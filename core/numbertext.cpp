// The number text of a double: 15 significant digits at most, shortest form, exponent
// form outside 1E-05 <= |x| < 1E+15.
#include "core/numbertext.h"

#include "core/money.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace tapecalc {

namespace {

constexpr int significantDigits = 15;

struct Rounded {
    std::string digits; // exactly 15, the first one nonzero
    int exponent = 0;   // of the first digit
};

// Rounds to 15 significant digits (to nearest, as the library does for to_chars).
Rounded roundTo15(double magnitude) {
    char buffer[40];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                            std::chars_format::scientific, significantDigits - 1);
    (void)error; // the buffer always fits "d.<14 digits>e-XXX"
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t e = text.find('e');
    Rounded r;
    r.digits.reserve(significantDigits);
    for (char c : text.substr(0, e)) {
        if (c != '.')
            r.digits += c;
    }
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    r.exponent);
    return r;
}

// Rounding up to 1.79769313486232E+308 would leave the double range and the text would
// no longer read back; those few values above the last 15-digit number below DBL_MAX take
// it instead.
void keepReadable(Rounded &r) {
    if (r.exponent != 308)
        return;
    const std::string text = "0." + r.digits + "e309";
    if (parseNumber(text))
        return;
    std::uint64_t n = std::strtoull(r.digits.c_str(), nullptr, 10) - 1;
    for (int k = significantDigits - 1; k >= 0; --k) {
        r.digits[static_cast<std::size_t>(k)] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
}

} // namespace

std::string numberText(double value) {
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return "0"; // also for -0

    Rounded r = roundTo15(std::fabs(value));
    keepReadable(r);
    std::string digits = r.digits;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = value < 0 ? "-" : "";
    if (r.exponent >= 15 || r.exponent < -5) {
        text += digits[0];
        if (digits.size() > 1) {
            text += '.';
            text.append(digits, 1);
        }
        text += r.exponent < 0 ? "E-" : "E+";
        const int magnitude = std::abs(r.exponent);
        if (magnitude < 10)
            text += '0';
        text += std::to_string(magnitude);
    } else if (r.exponent < 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-r.exponent - 1), '0');
        text += digits;
    } else {
        const auto integerDigits = static_cast<std::size_t>(r.exponent) + 1;
        if (digits.size() <= integerDigits) {
            text += digits;
            text.append(integerDigits - digits.size(), '0');
        } else {
            text.append(digits, 0, integerDigits);
            text += '.';
            text.append(digits, integerDigits);
        }
    }
    return text;
}

} // namespace tapecalc
