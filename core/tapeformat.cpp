// The tape text format.
//
// Written here, always:
//
//     tape     = { entry-row operator-row } [ entry-row ]
//     row      = text CR LF
//
// one entry row per recorded line (the number as typed) followed by its operator row
// ("+", "-", "×" or "÷"); the line at the review cursor has no operator row yet.
// Example: "5\r\n+\r\n3\r\n×\r\n".
//
// Read, from files written here and from files edited elsewhere:
//
//     text      = value { separator value }
//     separator = "," | CR LF | CR | LF
//     value     = blanks ( quoted | plain )
//     quoted    = '"' { any but '"', CR, LF } [ '"' ] { any but a separator }
//     plain     = { any but a separator }
//
// - Values pair up in order: entry, operator symbol, entry, operator symbol, …
// - Blanks (spaces, tabs) around a value are dropped.
// - A comma separates values as a line end does (files saved by spreadsheet-like tools).
// - A quoted value is taken without its quotes; an unclosed quote ends with its line, so
//   one stray quote cannot swallow the rest of the tape; what follows a closing quote up
//   to the next separator is dropped.
// - Blanks and empty lines at either end of the text are no lines (older files saved
//   back end in an empty line).
// - Any line end is accepted; a UTF-8 byte-order mark is taken off with the coding.
// - A text ending right after an entry gives that entry the symbol of the pair before.
//
// The total is recomputed as the keys would have made it: line 0 is the first total as a
// whole (0 when it is no number), every later entry is combined by the symbol of the line
// before it, by the same step the operator keys take.
#include "core/tapeformat.h"

#include "core/actions.h"
#include "core/text.h"

#include <algorithm>

namespace tapecalc {

namespace {

// Writing

void appendRow(std::string &text, std::string_view row) {
    text += row;
    text += "\r\n";
}

// Reading

// The values of a text, one at a time, as the grammar above reads them.
class ValueReader {
  public:
    explicit ValueReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    std::string_view next() {
        while (!atEnd() && isBlank(text_[pos_]))
            ++pos_;
        std::string_view value;
        if (!atEnd() && text_[pos_] == '"') {
            const std::size_t start = ++pos_;
            const std::size_t close = text_.find_first_of("\"\r\n", start);
            const std::size_t stop = close == std::string_view::npos ? text_.size() : close;
            value = text_.substr(start, stop - start);
            pos_ = stop;
            if (!atEnd() && text_[pos_] == '"')
                ++pos_;
            skipToSeparator();
        } else {
            const std::size_t start = pos_;
            skipToSeparator();
            value = text_.substr(start, pos_ - start);
        }
        consumeSeparator();
        return trimBlanks(value);
    }

  private:
    void skipToSeparator() {
        const std::size_t stop = text_.find_first_of(",\r\n", pos_);
        pos_ = stop == std::string_view::npos ? text_.size() : stop;
    }

    void consumeSeparator() {
        if (atEnd())
            return;
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            pos_ += 2;
        else
            ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// An optional "-", then digits with at most one "."; empty when it holds no digit.
std::string_view leadingNumber(std::string_view entry) {
    std::size_t i = 0;
    if (i < entry.size() && entry[i] == '-')
        ++i;
    bool digit = false;
    bool point = false;
    for (; i < entry.size(); ++i) {
        const char c = entry[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digit ? entry.substr(0, i) : std::string_view();
}

// One step of the recompute, by the same step the keys take: an entry in exponent form
// (a result of sin or exp) counts in full, and one that is no number ("." or "-" alone)
// changes nothing. Only a text that is no number but starts with one, as in a file
// edited elsewhere ("12abc"), counts by its leading number. A failing step leaves the
// total as it was.
Money combineLine(Money total, std::string_view symbol, std::string_view entry) {
    const OperatorInfo *op = operatorBySymbol(symbol);
    if (op == nullptr)
        return total;
    MoneyResult result = combine(total, op->code, entry);
    if (result.error == MoneyError::conversion) {
        const std::string_view number = leadingNumber(entry);
        if (!number.empty())
            result = combine(total, op->code, number);
    }
    return result.ok() ? result.value : total;
}

// Line 0 is the first total as a whole: 0 when it is no number or out of range, as the
// first entry added to a total of 0 would leave it.
Money firstValue(std::string_view entry) {
    const MoneyResult value = parseMoney(entry);
    return value.ok() ? value.value : Money{};
}

// Reads the pairs into the tape and recomputes the total along the way. A text longer
// than the tape fills it and no more; the total is that of the lines taken. Returns how
// many lines were left out.
int loadPairs(Calculator &calc, std::string_view text) {
    ValueReader reader(trimBlanks(text, Trim::blanksAndLineEnds));
    std::string_view symbol;
    std::string_view previousSymbol;
    Money total{};
    int leftOut = 0;
    while (!reader.atEnd()) {
        const std::string_view entry = reader.next();
        if (!reader.atEnd())
            symbol = reader.next();
        const int line = calc.lineNumber;
        if (!Calculator::inTape(line)) {
            ++leftOut;
            continue;
        }
        const auto slot = static_cast<std::size_t>(line);
        calc.tapeTotals[slot] = line == 0 ? Money{} : total;
        total = line == 0 ? firstValue(entry) : combineLine(total, previousSymbol, entry);
        calc.tapeEntries[slot] = std::string(entry);
        calc.tapeOperators[slot] = std::string(symbol);
        previousSymbol = symbol;
        ++calc.lineNumber;
    }
    calc.runningTotal = total;
    return leftOut;
}

} // namespace

std::string tapeText(const Calculator &calc) {
    std::string text;
    // Slots past the end of the tape (a line number that went on counting) add nothing.
    const int end = std::min(calc.lineNumber, tapeSlots - 1);
    for (int k = 0; k <= end; ++k) {
        const auto slot = static_cast<std::size_t>(k);
        const std::string &entry = calc.tapeEntries[slot];
        if (entry.empty())
            continue;
        appendRow(text, trimBlanks(entry));
        if (k < calc.lineNumber)
            appendRow(text, trimBlanks(calc.tapeOperators[slot]));
    }
    return text;
}

std::string tapeFileText(std::string_view view) {
    // Every line end becomes LF first, so the trim below sees them all.
    std::string lines;
    lines.reserve(view.size());
    for (std::size_t i = 0; i < view.size(); ++i) {
        const std::string_view rest = view.substr(i);
        if (rest.starts_with("\r\n")) {
            lines += '\n';
            ++i;
        } else if (rest.starts_with("\u2028") || rest.starts_with("\u2029")) {
            lines += '\n';
            i += 2; // three bytes in UTF-8
        } else {
            lines += rest.front() == '\r' ? '\n' : rest.front();
        }
    }
    const std::string_view body = trimBlanks(lines, Trim::blanksAndLineEnds);
    if (body.empty())
        return {};
    std::string text;
    text.reserve(body.size() + body.size() / 8 + 2);
    for (const char c : body) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text + "\r\n";
}

std::size_t longestRow(std::string_view text) {
    std::size_t longest = 0;
    std::size_t row = 0;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            row = 0;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) { // not a continuation byte
            longest = std::max(longest, ++row);
        }
    }
    return longest;
}

std::size_t rowCount(std::string_view text) {
    std::size_t rows = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        rows += isLineEnd(text[i]) ? 1 : 0;
    }
    return rows + (text.empty() || isLineEnd(text.back()) ? 0 : 1);
}

int loadTapeText(Calculator &calc, std::string_view text) {
    calc.tapeFromFile = true;
    calc.lineNumber = 0;
    calc.shown.text1.clear();
    calc.clearTape();
    const int leftOut = loadPairs(calc, text);
    calc.lastLineNumber = calc.lineNumber;
    calc.shown.label1 = moneyText(calc.runningTotal);
    // The text as stored, not a rebuilt tape text; but a tape that could not take all of
    // it shows what it holds, so that the view, the tape and the total agree, and so
    // does a text of more blank rows than any tape has rows.
    const bool asStored = leftOut == 0 && rowCount(text) <= mostRowsShownAsStored;
    calc.shown.text2 = asStored ? std::string(text) : tapeText(calc);
    ++calc.shown.text2Writes;
    calc.currentTapeFile.clear();
    return leftOut;
}

} // namespace tapecalc
