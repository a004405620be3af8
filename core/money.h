// The money value: a signed 64-bit count of 1/10000, and its conversions to and from
// text and double. No floating point is involved in text conversion or in + and -.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tapecalc {

struct Money {
    std::int64_t units = 0; // ten-thousandths

    // The fraction digits a value keeps, and so how many units make one: 10^4.
    static constexpr int fractionDigits = 4;
    static constexpr std::int64_t scale = [] {
        std::int64_t power = 1;
        for (int k = 0; k < fractionDigits; ++k)
            power *= 10;
        return power;
    }();
    friend constexpr bool operator==(Money, Money) = default;
    friend constexpr auto operator<=>(Money, Money) = default;
};

// The one rounding of every conversion to money: to the nearest, ties to the even
// neighbour. `kept` is the magnitude with the rest dropped, and `rest` how the dropped
// rest compares with one half of the last kept unit.
enum class Rest { belowHalf, half, aboveHalf };
constexpr std::uint64_t roundHalfEven(std::uint64_t kept, Rest rest) {
    const bool up = rest == Rest::aboveHalf || (rest == Rest::half && kept % 2 == 1);
    return kept + (up ? 1 : 0);
}

// Why a conversion or an operation gave no value.
enum class MoneyError {
    none,
    conversion, // the text is not a number
    overflow,   // a number, but outside the money range (or not finite)
};

struct MoneyResult {
    Money value{};
    MoneyError error = MoneyError::none;

    bool ok() const { return error == MoneyError::none; }
};

// Text to money: optional blanks around, optional sign, digits with at most one point
// (".5" and "5." are numbers), optional exponent (E or e, optional sign, digits).
// Rounded to the nearest 1/10000, ties to the even neighbour. Works in time linear in
// the text's length, whatever the number of digits or the size of the exponent.
MoneyResult parseMoney(std::string_view text);

// "-" for negatives, integer digits without leading zeros, and "." with one to four
// fraction digits only when the fraction is not zero: 0, 0.5, -12.25.
std::string moneyText(Money value);

// Exact integer arithmetic; overflow when the result leaves the range.
MoneyResult addMoney(Money a, Money b);
MoneyResult subtractMoney(Money a, Money b);

// The double nearest to units / 10000.
double moneyToDouble(Money value);

// value * 10000 rounded once, from its exact value, to the nearest integer, ties to even;
// NaN, infinities and values outside the range are an overflow failure.
MoneyResult moneyFromDouble(double value);

// Text to double by the same syntax as parseMoney. Empty when the text is no number or
// its value overflows a double; a value too small for a double reads as 0.
std::optional<double> parseNumber(std::string_view text);

} // namespace tapecalc
