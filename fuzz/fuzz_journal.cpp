// Fuzzes the journal's reader (core/journalformat) with any bytes: it stops at the first
// record it cannot trust, its whole records alone read the same, and the view it gives,
// written again as one change, reads back as that view.
#include "core/journalformat.h"
#include "fuzz/check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace tapecalc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const journal::Replayed read = journal::replay(bytes);
    FUZZ_CHECK(read.usedBytes <= size);
    FUZZ_CHECK(read.whole == (read.usedBytes == size));
    FUZZ_CHECK(!(read.whole && read.damaged) && (read.known || read.view.empty()));

    const journal::Replayed wholeOnly = journal::replay(bytes.substr(0, read.usedBytes));
    FUZZ_CHECK(wholeOnly.whole && wholeOnly.view == read.view && wholeOnly.kept == read.kept &&
               wholeOnly.records == read.records);

    std::string again(journal::header);
    again += journal::changeRecord({0, 0, read.view});
    if (read.kept)
        again += journal::keptRecord();
    const journal::Replayed reread = journal::replay(again);
    FUZZ_CHECK(reread.whole && reread.view == read.view && reread.kept == read.kept);
    return 0;
}
