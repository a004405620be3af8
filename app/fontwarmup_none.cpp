// Where the system's fonts need no configuration read ahead.
#include "app/fontwarmup.h"

namespace tapecalc {

std::jthread readFontConfigurationAside() {
    return {};
}

} // namespace tapecalc
