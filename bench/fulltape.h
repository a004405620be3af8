// A calculator holding a full tape of 30,001 lines, for the benchmarks.
#pragma once

#include "core/actions.h"

namespace tapecalc {

// Requests that go nowhere: the benchmarks time the actions, not the platform.
struct NoRequests : Requests {
    void playCue(std::string_view) override {}
    void playCueBlocking(std::string_view) override {}
    void showMessage(Message) override {}
    void endProgram() override {}
};

inline void fillTape(Calculator &calc) {
    static const char *symbols[] = {"+", "-", "×", "÷"};
    for (int i = 0; i < tapeSlots; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        calc.tapeEntries[slot] = std::to_string(1000 + i % 9000) + "." + std::to_string(i % 100);
        calc.tapeOperators[slot] = symbols[i % 4];
        calc.tapeTotals[slot] = Money{i * 10000LL};
    }
    calc.lineNumber = calc.lastLineNumber = tapeSlots;
    rebuildTapeView(calc);
}

} // namespace tapecalc
