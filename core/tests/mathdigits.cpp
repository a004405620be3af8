// Prints, for the same random arguments on every platform, a digest of each function key's
// results: their bits and the digits the entry box would show. Built natively and for
// Windows, the two outputs must be the same bytes (tools/windows/compare-math.sh).
// Usage: mathdigits [count per function, default 1000000]
#include "core/exactmath.h"
#include "core/numbertext.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

using namespace tapecalc;

namespace {

// FNV-1a, 64 bits: the same on every platform, unlike std::hash.
struct Digest {
    std::uint64_t value = 14695981039346656037ull;
    void add(const void *data, std::size_t size) {
        const auto *bytes = static_cast<const unsigned char *>(data);
        for (std::size_t i = 0; i < size; ++i)
            value = (value ^ bytes[i]) * 1099511628211ull;
    }
};

// A double from 64 random bits, over the ranges the keys see: the engine's output is
// fixed by the standard, the arithmetic here is exact.
double argument(std::mt19937_64 &random, double low, double high) {
    const double unit = static_cast<double>(random() >> 11) * 0x1.0p-53;
    return low + (high - low) * unit;
}

} // namespace

int main(int argc, char **argv) {
    const long count = argc > 1 ? std::atol(argv[1]) : 1000000;
    struct Key {
        const char *name;
        double (*f)(double);
        double low, high;
    };
    const Key keys[] = {
        {"sin", exact::sin, -1e6, 1e6}, {"cos", exact::cos, -1e6, 1e6},
        {"tan", exact::tan, -1e3, 1e3}, {"exp", exact::exp, -745, 710},
        {"log", exact::log, 0, 1e300},
    };
    for (const Key &key : keys) {
        std::mt19937_64 random(20261207);
        Digest bits;
        Digest digits;
        for (long i = 0; i < count; ++i) {
            double x = argument(random, key.low, key.high);
            if (i % 4 == 0) // also small and huge magnitudes
                x = std::ldexp(argument(random, 0.5, 1), static_cast<int>(random() % 200) - 100);
            const double r = key.f(x);
            std::uint64_t pattern = 0;
            std::memcpy(&pattern, &r, sizeof r);
            bits.add(&pattern, sizeof pattern);
            const std::string text = std::isfinite(r) ? numberText(r) : std::string("-");
            digits.add(text.data(), text.size());
        }
        std::printf("%s %ld bits %016llx digits %016llx\n", key.name, count,
                    static_cast<unsigned long long>(bits.value),
                    static_cast<unsigned long long>(digits.value));
    }
    std::printf("log10(1000) %s sin(pi) %s\n",
                numberText(exact::log(1000) / exact::log(10)).c_str(),
                numberText(exact::sin(3.14159265358979311600)).c_str());
    return 0;
}
