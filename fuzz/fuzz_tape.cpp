// Fuzzes the opening of a tape file: bytes in any encoding through the decoder, the
// value reader and the recompute of the total. The open must leave a consistent state,
// and the tape view it shows, opened again, must give the same tape and total.
#include "fuzz/check.h"
#include "store/tapefiles.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

using namespace tapecalc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // Reused: a tape of 30,001 slots is costly to build for every input, and an open must
    // leave nothing of the tape before anyway.
    static Calculator opened;
    static Calculator reopened;
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));

    loadTapeBytes(opened, bytes);
    FUZZ_CHECK(opened.lastLineNumber == opened.lineNumber && opened.lineNumber >= 0);
    FUZZ_CHECK(opened.shown.label1 == moneyText(opened.runningTotal));
    FUZZ_CHECK(opened.currentTapeFile.empty() && opened.tapeFromFile == 1);

    // The view holds the file as decoded (valid UTF-8 now), so it reads back unchanged,
    // except a byte order mark that the first decode left at its start.
    const std::string &view = opened.shown.text2;
    if (view.rfind("\xEF\xBB\xBF", 0) == 0)
        return 0;
    loadTapeBytes(reopened, QByteArray::fromStdString(view));
    FUZZ_CHECK(reopened.shown.text2 == view);
    FUZZ_CHECK(reopened.runningTotal == opened.runningTotal);
    FUZZ_CHECK(reopened.lineNumber == opened.lineNumber);
    for (int k = 0; k < opened.lineNumber && Calculator::inTape(k); ++k) {
        const auto slot = static_cast<std::size_t>(k);
        FUZZ_CHECK(reopened.tapeEntries[slot] == opened.tapeEntries[slot]);
        FUZZ_CHECK(reopened.tapeTotals[slot] == opened.tapeTotals[slot]);
    }
    return 0;
}
