// Fuzzes the tape format's reader (core/tapeformat) with any bytes, and the opening of a
// tape file's bytes through the store's decoder. An open must leave a consistent state,
// the view a save back writes from it must read as the same tape, and the text the bytes
// decode to must be written in bytes that decode to it again.
#include "core/tapeformat.h"
#include "fuzz/check.h"
#include "store/tapefiles.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace tapecalc;

namespace {

void checkConsistent(const Calculator &opened) {
    FUZZ_CHECK(opened.lastLineNumber == opened.lineNumber && opened.lineNumber >= 0);
    FUZZ_CHECK(opened.shown.label1 == moneyText(opened.runningTotal));
    FUZZ_CHECK(opened.currentTapeFile.empty() && opened.tapeFromFile);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // Reused: a tape of 30,001 slots is costly to build for every input, and an open must
    // leave nothing of the tape before anyway.
    static Calculator opened;
    static Calculator reopened;
    const std::string_view text(reinterpret_cast<const char *>(data), size);

    loadTapeText(opened, text);
    checkConsistent(opened);
    FUZZ_CHECK(opened.shown.text2 == text);

    // A text box's own line breaks become line ends when saved back, which the reader
    // of the text as it stands does not know.
    if (text.find("\u2028") == std::string_view::npos &&
        text.find("\u2029") == std::string_view::npos) {
        loadTapeText(reopened, tapeFileText(text));
        FUZZ_CHECK(reopened.runningTotal == opened.runningTotal);
        FUZZ_CHECK(reopened.lineNumber == opened.lineNumber);
        for (int k = 0; k < opened.lineNumber && Calculator::inTape(k); ++k) {
            const auto slot = static_cast<std::size_t>(k);
            FUZZ_CHECK(reopened.tapeEntries[slot] == opened.tapeEntries[slot]);
            FUZZ_CHECK(reopened.tapeTotals[slot] == opened.tapeTotals[slot]);
        }
    }

    // The same bytes as a file: decoded (UTF-8 or GBK), then read; and whatever text they
    // give is written in bytes that read back as that very text.
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    loadTapeBytes(opened, bytes);
    checkConsistent(opened);
    const QString decoded = decodeTapeText(bytes);
    FUZZ_CHECK(decodeTapeText(encodeTapeText(decoded)) == decoded);
    return 0;
}
