// The one rule for a name that is free in a folder, for the tape files and PDFs a save
// makes, the journals and the names in the trash.
#pragma once

#include <QString>

namespace tapecalc {

// The `n`th name tried for `name`: the name itself first, then its stem, the separator, n
// and its extension ("stem-2.ext", "stem-3.ext", … with '-'). A name without an
// extension (a dot after its first character) gets the number at its end.
inline QString numberedName(const QString &name, int n, QChar separator) {
    if (n == 1)
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype stem = dot > 0 ? dot : name.size();
    return name.left(stem) + separator + QString::number(n) + name.mid(stem);
}

enum class Claim {
    done,   // the name is the caller's now
    taken,  // another file has it: the next name
    failed, // no name will do
};

// Offers `name` and its numbered names in turn (at most a thousand) to `claim`, which
// answers a Claim for each. The name claimed, or empty.
template <typename ClaimName>
QString claimFreeName(const QString &name, QChar separator, ClaimName claim) {
    constexpr int attempts = 1000;
    for (int n = 1; n <= attempts; ++n) {
        const QString candidate = numberedName(name, n, separator);
        switch (claim(candidate)) {
        case Claim::done:
            return candidate;
        case Claim::taken:
            continue;
        case Claim::failed:
            return {};
        }
    }
    return {};
}

} // namespace tapecalc
