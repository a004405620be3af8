// The printed report of a tape: rows of up to eight items at tab columns, a rule and
// the summary line. Each line is a list of pieces at character columns; the text form
// pads the gaps with spaces.
#pragma once

#include "core/calculator.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tapecalc {

// Text that starts at a character column of the printed line (0 is the left edge).
struct ReportPiece {
    std::size_t column = 0;
    std::string text;
    bool operator==(const ReportPiece &) const = default;
};
using ReportLine = std::vector<ReportPiece>;

// What became of a report sent to paper.
enum class PrintOutcome { printed, noPrinter, failed };

// `moment` is the date and time as the summary shows it.
std::vector<ReportLine> reportLines(const Calculator &calc, std::string_view moment);

// A line as text: each piece after spaces up to its column. Pieces come in column order
// and never overlap.
std::string lineText(const ReportLine &line);

} // namespace tapecalc
