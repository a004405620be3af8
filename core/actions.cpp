// The calculator's actions: number entry, operators, equals, clearing, function keys
// and the read-out of a number.
#include "core/actions.h"

#include "core/cues.h"
#include "core/exactmath.h"
#include "core/numbertext.h"
#include "core/tapeformat.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <optional>
#include <string>

namespace tapecalc {

namespace {

void setTapeView(Calculator &calc, std::string text) {
    calc.shown.text2 = std::move(text);
    ++calc.shown.text2Writes;
}

// Steps shared by the operator keys and equals when the entry is not empty: the line
// is recorded even when the arithmetic fails, and slots beyond the tape are skipped
// while the line number goes on counting.
void recordLine(Calculator &calc, Operator applied, std::string_view symbol) {
    const bool inTape = Calculator::inTape(calc.lineNumber);
    const auto slot = static_cast<std::size_t>(calc.lineNumber);
    if (inTape)
        calc.tapeTotals[slot] = calc.runningTotal;
    applyOperator(calc, applied, calc.shown.text1);
    if (inTape) {
        calc.tapeEntries[slot] = calc.shown.text1;
        calc.tapeOperators[slot] = std::string(symbol);
    }
    ++calc.lineNumber;
    calc.lastLineNumber = calc.lineNumber;
    calc.shown.label9 = std::to_string(calc.lineNumber);
    calc.shown.text1.clear();
    calc.shown.label1 = moneyText(calc.runningTotal);
}

// The tape holds its 30,001 lines and no more: a key that would record one more changes
// nothing, so the total never moves past what the tape (and a file saved from it) holds.
bool refusedOnFullTape(const Calculator &calc, Requests &out) {
    if (calc.shown.text1.empty() || Calculator::inTape(calc.lineNumber))
        return false;
    out.showMessage(Message::tapeFull);
    return true;
}

// After clear-all, delete or a review back to line 0 the indicator is blank; equals
// brings back addition.
void restoreBlankIndicator(Calculator &calc) {
    if (calc.shown.label2.empty()) {
        calc.shown.label2 = operatorInfo(Operator::add)->name;
        calc.pendingOperator = Operator::add;
    }
}

std::string_view symbolOf(Operator code) {
    const OperatorInfo *op = operatorInfo(code);
    return op ? op->symbol : std::string_view();
}

} // namespace

MoneyResult combine(Money total, Operator code, std::string_view entryText) {
    if (code == Operator::add || code == Operator::subtract) {
        const MoneyResult entry = parseMoney(entryText);
        if (!entry.ok())
            return entry;
        return code == Operator::add ? addMoney(total, entry.value)
                                     : subtractMoney(total, entry.value);
    }
    if (code == Operator::multiply || code == Operator::divide) {
        const std::optional<double> x = parseNumber(entryText);
        if (!x) // no number, or one beyond every double: the money parser tells which
            return {{}, parseMoney(entryText).error};
        if (code == Operator::divide && *x == 0.0)
            return {{}, MoneyError::overflow}; // division by zero, 0 ÷ 0 included
        // A division with a total of 0 gives 0 for every other entry, so equals' rule of
        // not dividing a zero total needs no case of its own.
        const double y = moneyToDouble(total);
        return moneyFromDouble(code == Operator::multiply ? *x * y : y / *x);
    }
    return {{}, MoneyError::conversion};
}

void applyOperator(Calculator &calc, Operator code, std::string_view entryText) {
    if (const MoneyResult result = combine(calc.runningTotal, code, entryText); result.ok())
        calc.runningTotal = result.value;
}

void rebuildTapeView(Calculator &calc) {
    setTapeView(calc, tapeText(calc));
}

std::string_view characterCue(char c) {
    if (c >= '0' && c <= '9')
        return cues::digits[c - '0'];
    if (c == '.')
        return cues::point;
    if (c == '-')
        return cues::minus;
    return {};
}

void digitKey(Calculator &calc, Requests &out, char digit) {
    calc.shown.text1 += digit;
    out.playCue(characterCue(digit));
}

void signKey(Calculator &calc, Requests &out) {
    // The sign can only start an entry; there is no sign toggle.
    if (!calc.shown.text1.empty())
        return;
    calc.shown.text1 = "-";
    out.playCue(characterCue('-'));
}

void pointKey(Calculator &calc, Requests &out) {
    if (calc.shown.text1.find('.') == std::string::npos)
        calc.shown.text1 += '.';
    out.playCue(characterCue('.')); // heard also when the point is refused
}

std::string_view operatorAction(Calculator &calc, Requests &out, Operator key) {
    if (refusedOnFullTape(calc, out))
        return {};
    const OperatorInfo &op = *operatorInfo(key);
    calc.previousOperator = calc.pendingOperator;
    calc.pendingOperator = key;
    calc.shown.label2 = op.name;
    if (!calc.shown.text1.empty()) {
        // The line takes the symbol of the key that closed the entry.
        recordLine(calc, calc.previousOperator, op.symbol);
    } else if (Calculator::inTape(calc.lineNumber - 1)) {
        calc.tapeOperators[static_cast<std::size_t>(calc.lineNumber - 1)] = op.symbol;
    }
    calc.currentTapeFile.clear();
    rebuildTapeView(calc);
    return op.cue;
}

void operatorKey(Calculator &calc, Requests &out, Operator key) {
    out.playCue(operatorAction(calc, out, key));
}

std::string_view equalsAction(Calculator &calc, Requests &out, EqualsForm form) {
    if (refusedOnFullTape(calc, out))
        return {};
    calc.previousOperator = calc.pendingOperator;
    if (form == EqualsForm::keyboard)
        restoreBlankIndicator(calc);
    if (!calc.shown.text1.empty()) {
        // "=" records the operator it applied; Enter the pending one, read after the
        // indicator check above.
        const Operator recorded =
            form == EqualsForm::key ? calc.previousOperator : calc.pendingOperator;
        recordLine(calc, calc.previousOperator, symbolOf(recorded));
    }
    if (form == EqualsForm::key)
        restoreBlankIndicator(calc);
    calc.currentTapeFile.clear();
    rebuildTapeView(calc);
    return cues::equals;
}

void equalsKey(Calculator &calc, Requests &out) {
    out.playCue(equalsAction(calc, out, EqualsForm::key));
}

void clearAll(Calculator &calc, IndicatorAfterClear indicator) {
    calc.clearTape();
    calc.pendingOperator = Operator::add;
    calc.runningTotal = Money{};
    calc.lineNumber = 0;
    calc.lastLineNumber = 0;
    calc.shown.text1.clear();
    calc.shown.label1.clear();
    calc.shown.label9.clear();
    calc.shown.label2 =
        indicator == IndicatorAfterClear::add ? operatorInfo(Operator::add)->name : "";
    setTapeView(calc, {});
}

void clearAllKey(Calculator &calc, Requests &out) {
    clearAll(calc, IndicatorAfterClear::blank);
    out.playCue(cues::clearAll);
}

void tapeDeleted(Calculator &calc, Requests &out) {
    const bool openedFromList = calc.tapeFromFile;
    clearAll(calc, IndicatorAfterClear::blank);
    // The emptied tape belongs to no file: the next save makes a new one rather than
    // writing nothing over (or re-creating) the file it came from.
    calc.currentTapeFile.clear();
    calc.tapeFromFile = false;
    if (openedFromList) {
        // The first request starts the cue, the blocking one holds the window until it
        // has been heard to its end.
        out.playCue(cues::erase);
        out.playCueBlocking(cues::erase);
    } else {
        out.playCueBlocking("");
    }
    out.playCue(cues::clearAll);
}

void clearEntryKey(Calculator &calc, Requests &out) {
    calc.shown.text1.clear();
    out.playCue(cues::clearEntry);
}

namespace {

// A function key: its domain and what it computes. An entry of 0 that it keeps ("0.0"
// under % or sin) stays as typed; an entry outside its domain gets that message.
struct FunctionRow {
    Function function;
    bool keepsZero;
    std::optional<Message> whenZero;
    std::optional<Message> whenNegative;
    double (*compute)(double);
};

double percent(double x) {
    return x / 100;
}
double squareRoot(double x) {
    return std::sqrt(x);
}
double commonLog(double x) {
    return exact::log(x) / exact::log(10.0);
}

// sin, cos, tan, exp and log are MPFR's, correctly rounded, so the digits are the same on
// every system; % and the square root are IEEE's, correctly rounded already.
const FunctionRow functionRows[] = {
    {Function::percent, true, {}, {}, percent},
    {Function::sin, true, {}, {}, exact::sin},
    {Function::cos, false, {}, {}, exact::cos},
    {Function::tan, false, {}, {}, exact::tan},
    {Function::exp, false, {}, {}, exact::exp},
    {Function::sqr, false, {}, Message::squareRootOfNegative, squareRoot},
    {Function::log, false, Message::logarithmOfZero, Message::logarithmOfNegative, commonLog},
};

} // namespace

void functionKey(Calculator &calc, Requests &out, Function f) {
    std::string &entry = calc.shown.text1;
    if (f == Function::pi) {
        entry = "3.14159265358979";
        return;
    }
    const std::optional<double> parsed = parseNumber(entry);
    if (!parsed)
        return; // no number: the entry stays as typed
    const double x = *parsed;
    const FunctionRow &row = *std::find_if(std::begin(functionRows), std::end(functionRows),
                                           [f](const FunctionRow &r) { return r.function == f; });
    if (x == 0 && row.keepsZero)
        return;
    const std::optional<Message> refused = x == 0  ? row.whenZero
                                           : x < 0 ? row.whenNegative
                                                   : std::nullopt;
    if (refused) {
        out.showMessage(*refused);
        return;
    }
    // A result that is no finite number (exp of a large x) leaves the entry unchanged.
    const double r = row.compute(x);
    if (std::isfinite(r))
        entry = numberText(r);
}

void numberReadOut(Requests &out, Money value) {
    auto say = [&out](std::string_view cue) {
        out.playCue(cue);
        out.playCueBlocking(cue);
    };
    say(cues::total);
    for (char c : moneyText(value))
        say(characterCue(c));
}

} // namespace tapecalc
