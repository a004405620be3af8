// Fuzzes the two readers of number text. Both take the same syntax, so they must agree on
// what is a number, and where both give a value, the values must lie within a rounding
// step of each other; money text must read back to the same money.
#include "core/money.h"
#include "fuzz/check.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

using namespace tapecalc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const MoneyResult money = parseMoney(text);
    const std::optional<double> number = parseNumber(text);

    // A number to one reader is a number to the other; only the range differs.
    if (money.error == MoneyError::conversion)
        FUZZ_CHECK(!number);
    if (money.ok())
        FUZZ_CHECK(number && std::isfinite(*number));
    // The largest money value is 922337203685477.5807; anything that rounds to a money
    // overflow lies at or above that in magnitude.
    if (money.error == MoneyError::overflow && number)
        FUZZ_CHECK(std::fabs(*number) >= 922337203685477.0);

    if (money.ok()) {
        // Exact value x: |money - x| <= half a unit and |number - x| <= half an ulp, and
        // moneyToDouble rounds once more by at most half an ulp.
        const double asDouble = moneyToDouble(money.value);
        const double ulp = std::nextafter(std::fabs(*number), std::numeric_limits<double>::max()) -
                           std::fabs(*number);
        const double allowed = 0.00005 * (1 + 1e-12) + 2 * ulp;
        FUZZ_CHECK(std::fabs(asDouble - *number) <= allowed);

        const MoneyResult back = parseMoney(moneyText(money.value));
        FUZZ_CHECK(back.ok() && back.value == money.value);
    }
    return 0;
}
