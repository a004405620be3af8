// Fuzzes the number text of doubles: every finite double's text reads back (by the
// reader the entry box uses) as the double rounded to 15 significant digits, fits the
// display, and is the shortest form of those digits.
#include "core/money.h"
#include "core/numbertext.h"
#include "fuzz/check.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

using namespace tapecalc;

namespace {

// The double nearest to `value` rounded to 15 significant digits, or infinity when that
// rounding leaves the double range.
double roundedTo15(double value) {
    char buffer[64];
    const auto printed =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    double back = 0;
    const auto read = std::from_chars(buffer, printed.ptr, back);
    if (read.ec == std::errc::result_out_of_range)
        return std::copysign(INFINITY, value);
    return back;
}

void checkOne(double value) {
    const std::string text = numberText(value);
    if (!std::isfinite(value)) {
        FUZZ_CHECK(text.empty());
        return;
    }
    // "-" and 15 digits, with "0.0000" before them or "." and "E+308" among them.
    FUZZ_CHECK(!text.empty() && text.size() <= 22);
    const std::optional<double> back = parseNumber(text);
    FUZZ_CHECK(back.has_value());
    const double expected = roundedTo15(value);
    if (std::isfinite(expected)) {
        FUZZ_CHECK(*back == expected || (value == 0 && *back == 0));
    } else {
        // Past the last 15-digit number below DBL_MAX: that number stands in.
        FUZZ_CHECK(std::fabs(*back) <= DBL_MAX && std::fabs(*back) > 1.797693134862e308);
    }
    // Shortest form: no trailing zero after a point, no leading zero before a digit.
    const std::size_t e = text.find('E');
    const std::string mantissa = text.substr(0, e);
    if (mantissa.find('.') != std::string::npos)
        FUZZ_CHECK(mantissa.back() != '0' && mantissa.back() != '.');
    // The money reader takes the same text, within its range.
    if (std::fabs(*back) < 9.2e14)
        FUZZ_CHECK(parseMoney(text).ok());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // Every 8 bytes are one double, so the fuzzer reaches subnormals, NaN payloads and
    // the edges of the range as easily as ordinary values.
    for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double value;
        std::memcpy(&value, data + at, sizeof value);
        checkOne(value);
    }
    return 0;
}
