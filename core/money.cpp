// The money value's conversions: exact decimal parsing, money text, checked + and -, and
// the two roads between money and double.
#include "core/money.h"

#include "core/text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

namespace tapecalc {

namespace {

constexpr std::int64_t int64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t int64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::uint64_t minMagnitude = std::uint64_t{1} << 63; // |int64Min|
// The integer digits of the largest money value (922,337,203,685,477): 15.
constexpr std::int64_t largestIntegerDigits = [] {
    std::int64_t digits = 0;
    for (std::int64_t whole = int64Max / Money::scale; whole > 0; whole /= 10)
        ++digits;
    return digits;
}();

// Exponents are clamped here while they are read; any exponent this large already puts
// the value far beyond every range we care about, and the sums built from it (with digit
// counts bounded by the text length) stay well inside 64 bits.
constexpr std::int64_t exponentCap = 100'000'000'000'000'000; // 1e17

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A number as written: its digits, without copying them, and where the point goes.
struct Scanned {
    bool negative = false;
    std::string_view intDigits;
    std::string_view fracDigits;
    std::int64_t exponent = 0; // clamped to +-exponentCap

    std::size_t digitCount() const { return intDigits.size() + fracDigits.size(); }
    char digit(std::size_t i) const {
        return i < intDigits.size() ? intDigits[i] : fracDigits[i - intDigits.size()];
    }
};

std::optional<Scanned> scan(std::string_view text) {
    text = trimBlanks(text);
    const std::size_t end = text.size();

    Scanned s;
    std::size_t i = 0;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        s.negative = text[i] == '-';
        ++i;
    }
    std::size_t start = i;
    while (i < end && isDigit(text[i]))
        ++i;
    s.intDigits = text.substr(start, i - start);
    if (i < end && text[i] == '.') {
        start = ++i;
        while (i < end && isDigit(text[i]))
            ++i;
        s.fracDigits = text.substr(start, i - start);
    }
    if (s.digitCount() == 0)
        return std::nullopt;

    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i == end || !isDigit(text[i]))
            return std::nullopt;
        std::int64_t magnitude = 0;
        for (; i < end && isDigit(text[i]); ++i) {
            if (magnitude < exponentCap)
                magnitude = std::min(magnitude * 10 + (text[i] - '0'), exponentCap);
        }
        s.exponent = negativeExponent ? -magnitude : magnitude;
    }
    if (i != end)
        return std::nullopt;
    return s;
}

// Significant digits of a scanned number: the value is 0.d1d2...dn * 10^pointPosition
// with d1 != 0. count == 0 means the value is zero.
struct Significand {
    std::size_t first = 0; // index of d1 among the scanned digits
    std::size_t count = 0;
    std::int64_t pointPosition = 0;
};

Significand significand(const Scanned &s) {
    Significand g;
    const std::size_t n = s.digitCount();
    while (g.first < n && s.digit(g.first) == '0')
        ++g.first;
    g.count = n - g.first;
    g.pointPosition = static_cast<std::int64_t>(s.intDigits.size()) -
                      static_cast<std::int64_t>(g.first) + s.exponent;
    return g;
}

MoneyResult fromMagnitude(bool negative, std::uint64_t magnitude) {
    if (negative) {
        if (magnitude > minMagnitude)
            return {{}, MoneyError::overflow};
        // Two's complement wrap of the unsigned negation is well defined and yields
        // int64Min for 2^63 itself.
        return {{static_cast<std::int64_t>(0 - magnitude)}, MoneyError::none};
    }
    if (magnitude > static_cast<std::uint64_t>(int64Max))
        return {{}, MoneyError::overflow};
    return {{static_cast<std::int64_t>(magnitude)}, MoneyError::none};
}

// How a dropped rest compares with one half of a unit.
constexpr Rest restAgainst(std::uint64_t rest, std::uint64_t half) {
    return rest > half ? Rest::aboveHalf : rest == half ? Rest::half : Rest::belowHalf;
}

std::uint64_t magnitudeOf(std::int64_t units) {
    return units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
}

} // namespace

MoneyResult parseMoney(std::string_view text) {
    const std::optional<Scanned> scanned = scan(text);
    if (!scanned)
        return {{}, MoneyError::conversion};
    const Scanned &s = *scanned;
    const Significand g = significand(s);
    if (g.count == 0)
        return {}; // any zero, "-0" included

    // The largest money value has 15 integer digits; a 16th means at least 1e15.
    if (g.pointPosition > largestIntegerDigits)
        return {{}, MoneyError::overflow};
    // Digits of the value in units that lie before the point: at most 19, so they fit an
    // unsigned 64-bit count.
    const std::int64_t keep = g.pointPosition + Money::fractionDigits;
    if (keep < 0)
        return {}; // below a tenth of a unit: rounds to zero

    const auto kept = static_cast<std::size_t>(keep);
    std::uint64_t magnitude = 0;
    for (std::size_t k = 0; k < kept; ++k) {
        const int d = k < g.count ? s.digit(g.first + k) - '0' : 0;
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(d);
    }
    if (kept < g.count) {
        const char next = s.digit(g.first + kept);
        Rest rest = next > '5' ? Rest::aboveHalf : next < '5' ? Rest::belowHalf : Rest::half;
        for (std::size_t k = kept + 1; k < g.count && rest == Rest::half; ++k)
            if (s.digit(g.first + k) != '0')
                rest = Rest::aboveHalf;
        magnitude = roundHalfEven(magnitude, rest); // at most 10^19: inside 64 unsigned bits
    }
    return fromMagnitude(s.negative, magnitude);
}

std::string moneyText(Money value) {
    const std::uint64_t magnitude = magnitudeOf(value.units);
    const auto scale = static_cast<std::uint64_t>(Money::scale);
    std::string text = value.units < 0 ? "-" : "";
    text += std::to_string(magnitude / scale);
    std::uint64_t fraction = magnitude % scale;
    if (fraction != 0) {
        char digits[Money::fractionDigits];
        for (int k = Money::fractionDigits - 1; k >= 0; --k) {
            digits[k] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        int length = Money::fractionDigits;
        while (digits[length - 1] == '0')
            --length;
        text += '.';
        text.append(digits, static_cast<std::size_t>(length));
    }
    return text;
}

MoneyResult addMoney(Money a, Money b) {
    if ((b.units > 0 && a.units > int64Max - b.units) ||
        (b.units < 0 && a.units < int64Min - b.units))
        return {{}, MoneyError::overflow};
    return {{a.units + b.units}, MoneyError::none};
}

MoneyResult subtractMoney(Money a, Money b) {
    if ((b.units < 0 && a.units > int64Max + b.units) ||
        (b.units > 0 && a.units < int64Min + b.units))
        return {{}, MoneyError::overflow};
    return {{a.units - b.units}, MoneyError::none};
}

double moneyToDouble(Money value) {
    constexpr std::uint64_t exactLimit = std::uint64_t{1} << 53;
    const std::uint64_t magnitude = magnitudeOf(value.units);
    // Below 2^53 the count is exact as a double, and IEEE division rounds once.
    if (magnitude <= exactLimit)
        return static_cast<double>(value.units) / static_cast<double>(Money::scale);

    // Larger counts would be rounded twice (count to double, then the quotient). Instead
    // form the 53-bit significand of magnitude / 10000 * 2^shift in integers and round it
    // once, ties to even. The quotient is below 2^50, so shift >= 3, and the remainder
    // times 2^shift stays below 10000 * 2^13.
    const auto scale = static_cast<std::uint64_t>(Money::scale);
    const std::uint64_t whole = magnitude / scale;
    const std::uint64_t rest = magnitude % scale;
    const int shift = 53 - static_cast<int>(std::bit_width(whole));
    const std::uint64_t scaledRest = rest << shift;
    const std::uint64_t remainder = scaledRest % scale;
    // May reach 2^53, which is still exact.
    const std::uint64_t significandBits =
        roundHalfEven((whole << shift) + scaledRest / scale, restAgainst(2 * remainder, scale));
    const double result = std::ldexp(static_cast<double>(significandBits), -shift);
    return value.units < 0 ? -result : result;
}

MoneyResult moneyFromDouble(double value) {
    if (!std::isfinite(value))
        return {{}, MoneyError::overflow};
    // The product value * scale is rounded once, from its exact value: a product taken
    // in double would be rounded twice (922337203685476 * 10000 is not a double). As
    // scale = odd * 2^twos (10000 = 625 * 2^4), |value| * scale = (m * odd) * 2^(e + twos)
    // for the 53-bit integer significand m, and m * 625 < 2^63 fits an unsigned count.
    constexpr int twos = std::countr_zero(static_cast<std::uint64_t>(Money::scale));
    constexpr std::uint64_t odd = static_cast<std::uint64_t>(Money::scale) >> twos;
    static_assert(odd < (std::uint64_t{1} << 10));
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent); // in [0.5, 1)
    const auto significand = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const std::uint64_t scaled = significand * odd;
    const int shift = exponent - 53 + twos; // |value| * scale = scaled * 2^shift

    std::uint64_t magnitude = 0;
    if (shift >= 0) {
        // An integer already; beyond 2^63 it is out of range whatever the sign.
        if (scaled != 0 && (shift >= 64 || scaled > (minMagnitude >> shift)))
            return {{}, MoneyError::overflow};
        magnitude = scaled << shift;
    } else if (shift > -64) {
        const int drop = -shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << drop) - 1);
        const std::uint64_t half = std::uint64_t{1} << (drop - 1);
        magnitude = roundHalfEven(scaled >> drop, restAgainst(rest, half));
    } // else below 2^-1 of a unit: zero
    return fromMagnitude(value < 0, magnitude);
}

std::optional<double> parseNumber(std::string_view text) {
    const std::optional<Scanned> scanned = scan(text);
    if (!scanned)
        return std::nullopt;
    const Scanned &s = *scanned;
    const Significand g = significand(s);
    const double zero = s.negative ? -0.0 : 0.0;
    if (g.count == 0)
        return zero;
    // 10^309 and above overflow whatever the digits; below 10^-400 everything is far
    // under half the smallest subnormal.
    if (g.pointPosition > 309)
        return std::nullopt;
    if (g.pointPosition < -400)
        return zero;

    // No double lies half-way between neighbours with more than 767 significant digits,
    // so the first 800 digits and one sticky nonzero digit for the dropped rest round
    // exactly as all of them would. This keeps the conversion linear in the text.
    constexpr std::size_t keptDigits = 800;
    std::string normal;
    normal.reserve(keptDigits + 16);
    if (s.negative)
        normal += '-';
    normal += "0.";
    const std::size_t kept = std::min(g.count, keptDigits);
    for (std::size_t k = 0; k < kept; ++k)
        normal += s.digit(g.first + k);
    for (std::size_t k = kept; k < g.count; ++k) {
        if (s.digit(g.first + k) != '0') {
            normal += '1';
            break;
        }
    }
    normal += 'e';
    normal += std::to_string(g.pointPosition);

    double result = 0.0;
    const auto [end, error] = std::from_chars(normal.data(), normal.data() + normal.size(), result);
    if (error == std::errc::result_out_of_range)
        return g.pointPosition > 0 ? std::nullopt : std::optional<double>(zero);
    if (error != std::errc() || end != normal.data() + normal.size())
        return std::nullopt;
    return result;
}

} // namespace tapecalc
