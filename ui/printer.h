// Printing text lines on the system's default printer, in a fixed-pitch font that
// holds Chinese characters.
#pragma once

#include <QFont>
#include <QStringList>

namespace tapecalc {

// The report's font: 12 pt, fixed pitch, with CJK glyphs where the system has them.
QFont reportFont();

// One text line per entry, new pages as they fill. False, with nothing printed, when
// there is no default printer; false too when the job fails.
bool printLines(const QStringList &lines);

} // namespace tapecalc
