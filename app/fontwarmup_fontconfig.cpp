// Where Qt's fonts come from fontconfig: its configuration and font caches, read once.
#include "app/fontwarmup.h"

#include <fontconfig/fontconfig.h>

namespace tapecalc {

std::jthread readFontConfigurationAside() {
    return std::jthread([] { FcInit(); });
}

} // namespace tapecalc
