// A module another user planted where a careless program would look for its own: its
// constructor leaves a mark (the file TAPECALC_PLANTED_MARK names), so a test sees
// whether it ever ran.
#include <cstdio>
#include <cstdlib>

namespace {

[[gnu::constructor]] void leaveMark() {
    if (const char *mark = std::getenv("TAPECALC_PLANTED_MARK"))
        if (std::FILE *file = std::fopen(mark, "w"))
            std::fclose(file);
}

} // namespace
