// The calculator state that every action reads and writes: running total, operators,
// the tape of recorded lines, the line counters, and the texts of the displays.
#pragma once

#include "core/money.h"
#include "core/panel.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tapecalc {

// Operator codes; none is previousOperator before the first action.
enum class Operator : int { none = 0, add = 1, subtract = 2, multiply = 3, divide = 4 };

struct OperatorInfo {
    Operator code;
    std::string_view name;   // shown in the operator indicator
    std::string_view symbol; // recorded on the tape
    std::string_view cue;    // voice cue of its key
};

// Info of an operator, or nothing for Operator::none.
const OperatorInfo *operatorInfo(Operator code);
// The operator whose tape symbol or indicator name this is, or nothing.
const OperatorInfo *operatorBySymbol(std::string_view symbol);
const OperatorInfo *operatorByName(std::string_view name);

// The tape holds 30,001 lines (indices 0 to 30000); writes beyond are skipped.
inline constexpr int tapeSlots = 30001;

// One column of the tape: 30,001 slots that read as empty until written. Storage comes in
// blocks on a slot's first write through a non-const reference, so a fresh calculator
// holds no tape memory (three full columns would be 2.4 MB, most of it never used), and
// a written slot never moves.
template <typename T> class TapeColumn {
  public:
    const T &operator[](std::size_t slot) const {
        const std::vector<T> &block = m_blocks[slot / blockSize];
        return block.empty() ? blank() : block[slot % blockSize];
    }
    T &operator[](std::size_t slot) {
        std::vector<T> &block = m_blocks[slot / blockSize];
        if (block.empty()) [[unlikely]]
            block.resize(blockSize);
        return block[slot % blockSize];
    }
    static constexpr std::size_t size() { return tapeSlots; }
    // Every slot empty again; the blocks stay, as opening a tape clears and refills them.
    // clear() rather than assigning an empty string: clear() is a store, an assignment a call.
    void clear() {
        for (std::vector<T> &block : m_blocks)
            for (T &value : block)
                if constexpr (requires { value.clear(); })
                    value.clear();
                else
                    value = T();
    }
    friend bool operator==(const TapeColumn &a, const TapeColumn &b) {
        for (std::size_t slot = 0; slot < size(); ++slot)
            if (a[slot] != b[slot])
                return false;
        return true;
    }

  private:
    static constexpr std::size_t blockSize = 1024;
    static const T &blank() {
        static const T empty{};
        return empty;
    }
    std::array<std::vector<T>, (tapeSlots + blockSize - 1) / blockSize> m_blocks;
};

// Texts of the displays as the actions left them. Text1 is the entry box, Label1 the
// result, Label2 the operator indicator, Label9 the line number, Text2 the tape view.
struct Displays {
    std::string text1;
    std::string label1;
    std::string label2 = "加";
    std::string label9;
    std::string text2;
    // Counts every write of text2, so the window can skip copying an unchanged tape.
    unsigned long text2Writes = 0;
};

struct Calculator {
    Money runningTotal{};
    Operator pendingOperator = Operator::add;
    Operator previousOperator = Operator::none;
    TapeColumn<std::string> tapeEntries;
    TapeColumn<std::string> tapeOperators;
    TapeColumn<std::optional<Money>> tapeTotals;
    int lineNumber = 0;          // slot of the next line; the review cursor
    int lastLineNumber = 0;      // end of the tape
    std::string currentTapeFile; // the file the tape belongs to; empty: none
    // The tape files' mark of that file's content as last read or written, so a save
    // never writes over a change made by someone else; empty: not to be written back.
    std::string currentTapeStamp;
    bool tapeFromFile = false; // the tape was opened from the list
    PanelState panel;
    Displays shown;

    static bool inTape(int index) { return index >= 0 && index < tapeSlots; }
    void clearTape();
};

} // namespace tapecalc
