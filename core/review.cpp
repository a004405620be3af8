// Tape review: the back and forward keys move the line cursor and rewind the total;
// a click on the operator indicator cycles the pending operator.
#include "core/review.h"

#include <string>
#include <utility>

namespace tapecalc {

namespace {

std::string_view nameOfSymbol(const Calculator &calc, int slot) {
    if (!Calculator::inTape(slot))
        return {};
    const OperatorInfo *op = operatorBySymbol(calc.tapeOperators[static_cast<std::size_t>(slot)]);
    return op ? op->name : std::string_view();
}

// Shows line `line` and puts the total back to what it was before the line.
// Slots past the end of the tape read as empty.
void showLine(Calculator &calc, int line) {
    calc.lineNumber = line;
    const bool inTape = Calculator::inTape(line);
    const auto slot = static_cast<std::size_t>(line);
    // Read in place rather than copied into an optional of its own: there is then no
    // empty optional whose value the compiler could think is read.
    const std::optional<Money> *recorded = inTape ? &std::as_const(calc).tapeTotals[slot] : nullptr;
    const bool known = recorded != nullptr && recorded->has_value();
    const Money total = known ? **recorded : Money{};
    calc.shown.text1 = inTape ? calc.tapeEntries[slot] : std::string();
    calc.shown.label2 = line > 0 ? nameOfSymbol(calc, line - 1) : std::string_view();
    calc.shown.label1 = known ? moneyText(total) : std::string();
    calc.shown.label9 = std::to_string(line);
    calc.runningTotal = total;
}

} // namespace

void reviewBack(Calculator &calc) {
    if (calc.lineNumber <= 0)
        return;
    showLine(calc, calc.lineNumber - 1);
}

void reviewForward(Calculator &calc) {
    // Stops on the last recorded line, never on the position after it.
    if (calc.lineNumber >= calc.lastLineNumber - 1)
        return;
    showLine(calc, calc.lineNumber + 1);
}

void cycleOperator(Calculator &calc) {
    const int next = static_cast<int>(calc.pendingOperator) + 1;
    calc.pendingOperator =
        next > static_cast<int>(Operator::divide) ? Operator::add : static_cast<Operator>(next);
    calc.shown.label2 = operatorInfo(calc.pendingOperator)->name;
}

} // namespace tapecalc
