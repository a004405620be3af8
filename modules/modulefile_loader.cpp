// Where modules are neither ELF files nor Windows DLLs (macOS), the system's own loader is
// left to refuse a file shorter than its headers say, or of another architecture; whether
// the module holds the entry, its look-up tells.
#include "modules/modulefile.h"

namespace tapecalc {

FormatCheck checkModuleFormat(const unsigned char *, std::size_t, const char *) {
    return {ModuleFault::none, nullptr};
}

} // namespace tapecalc
