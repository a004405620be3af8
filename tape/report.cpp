// The printed report as text lines: items at tab columns eight to a row, the rule and
// the summary with total, count and moment.
#include "tape/report.h"

#include "core/tapetext.h"

#include <cstddef>

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

} // namespace

std::vector<std::string> printReport(const Calculator &calc, std::string_view moment) {
    std::vector<std::string> lines;
    std::string line;
    std::size_t position = 0; // in characters
    int k = 0;
    for (int i = 0; i <= calc.lineNumber && Calculator::inTape(i); ++i) {
        const auto slot = static_cast<std::size_t>(i);
        const std::string &entry = calc.tapeEntries[slot];
        if (entry.empty())
            continue;
        if (k >= itemsPerRow) {
            lines.push_back(std::move(line));
            line.clear();
            position = 0;
            k = 0;
        }
        const std::size_t target = tabPosition(columnStep * k);
        // A tab stop already passed is taken on the next line, as a printer's tab does.
        if (position > target) {
            lines.push_back(std::move(line));
            line.clear();
            position = 0;
        }
        line.append(target - position, ' ');
        const std::string item = calc.tapeOperators[slot] + " " + entry;
        line += item;
        position = target + characterCount(item);
        ++k;
    }
    lines.push_back(std::move(line));
    lines.emplace_back(ruleWidth, '-');
    lines.push_back("    合计：" + printNumber(moneyText(calc.runningTotal)) + "      共计：" +
                    printNumber(std::to_string(calc.lineNumber)) + "笔。" +
                    "时间:" + std::string(moment) + "   ");
    return lines;
}

} // namespace tapecalc
