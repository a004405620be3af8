// Tapes that carry their own check: line 0 holds the seed, the middle lines follow from
// it, the last line holds the line count. A file cut short or left empty fails the check.
#pragma once

#include "core/calculator.h"
#include "store/tapefiles.h"

#include <QString>

#include <string>

namespace tapecalc::selfcheck {

inline std::string middleEntry(long long seed, int line) {
    return std::to_string((seed * 31 + line * 7) % 100003);
}

// Between 2 and 3001 lines, so files run from a few bytes to tens of kilobytes.
inline int lineCount(long long seed) {
    return 2 + static_cast<int>((seed * 7919) % 3000);
}

inline void fill(Calculator &calc, long long seed) {
    const int n = lineCount(seed);
    calc.clearTape();
    for (int i = 0; i < n; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        calc.tapeEntries[slot] = i == 0       ? std::to_string(seed)
                                 : i == n - 1 ? std::to_string(n)
                                              : middleEntry(seed, i);
        calc.tapeOperators[slot].assign(1, '+');
    }
    calc.lineNumber = n;
    calc.lastLineNumber = n;
}

// Opens dataFolder/name as the window does; empty when it holds a whole tape, else why not.
inline QString check(const QString &dataFolder, const QString &name) {
    Calculator calc;
    openSelectedTape(calc, dataFolder, name);
    const int n = calc.lineNumber;
    if (n < 2)
        return QStringLiteral("%1 lines").arg(n);
    const std::string &last = calc.tapeEntries[static_cast<std::size_t>(n - 1)];
    if (last != std::to_string(n))
        return QStringLiteral("%1 lines, last line says %2")
            .arg(n)
            .arg(QString::fromStdString(last));
    const long long seed = std::stoll(calc.tapeEntries[0]);
    if (lineCount(seed) != n)
        return QStringLiteral("seed %1 makes %2 lines, file has %3")
            .arg(seed)
            .arg(lineCount(seed))
            .arg(n);
    for (int i = 1; i < n - 1; ++i)
        if (calc.tapeEntries[static_cast<std::size_t>(i)] != middleEntry(seed, i) ||
            calc.tapeOperators[static_cast<std::size_t>(i)] != "+")
            return QStringLiteral("line %1 differs").arg(i);
    return {};
}

} // namespace tapecalc::selfcheck
