// The printed report: items at tab columns eight to a row, the rule and the summary with
// total, count and moment; as pieces at columns and as text.
#include "core/report.h"

#include "core/text.h"

#include <algorithm>

namespace tapecalc {

namespace {

constexpr int itemsPerRow = 8;
constexpr int columnStep = 12;
constexpr std::size_t ruleWidth = 86;

// Tab column n is character position n - 1; columns 0 and 1 are both the first one.
std::size_t tabPosition(int column) {
    return column <= 1 ? 0 : static_cast<std::size_t>(column - 1);
}

// A number as the report prints it: a space for the sign of a non-negative value, and a
// space after it.
std::string printNumber(const std::string &text) {
    const bool negative = !text.empty() && text.front() == '-';
    return (negative ? "" : " ") + text + " ";
}

// The lines up to the cursor (the reviewed one during a review), never more than the
// tape holds: the count matches the rows above it.
int countedLines(const Calculator &calc) {
    return std::clamp(calc.lineNumber, 0, tapeSlots);
}

} // namespace

std::vector<ReportLine> reportLines(const Calculator &calc, std::string_view moment) {
    std::vector<ReportLine> lines(1);
    std::size_t position = 0; // in characters, where the current line's text ends
    int k = 0;
    for (int i = 0; i <= calc.lineNumber && Calculator::inTape(i); ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const std::string &entry = calc.tapeEntries[slot];
        if (entry.empty())
            continue;
        if (k >= itemsPerRow) {
            lines.emplace_back();
            position = 0;
            k = 0;
        }
        const std::size_t target = tabPosition(columnStep * k);
        // A tab stop already passed is taken on the next line, as a printer's tab does.
        if (position > target)
            lines.emplace_back();
        std::string item = calc.tapeOperators[slot] + " " + entry;
        position = target + characterCount(item);
        lines.back().push_back({target, std::move(item)});
        ++k;
    }
    lines.push_back({{0, std::string(ruleWidth, '-')}});
    lines.push_back({{0, "    合计：" + printNumber(moneyText(calc.runningTotal)) + "      共计：" +
                             printNumber(std::to_string(countedLines(calc))) + "笔。" +
                             "时间:" + std::string(moment) + "   "}});
    return lines;
}

std::string lineText(const ReportLine &line) {
    std::string text;
    std::size_t position = 0;
    for (const ReportPiece &piece : line) {
        if (piece.column > position)
            text.append(piece.column - position, ' ');
        text += piece.text;
        position = std::max(position, piece.column) + characterCount(piece.text);
    }
    return text;
}

} // namespace tapecalc
