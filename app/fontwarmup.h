// Reading the system's font configuration ahead of the first text.
#pragma once

#include <thread>

namespace tapecalc {

// Starts reading the system's font configuration on a thread of its own, where the window
// system's fonts are fontconfig's: the first text the window lays out needs it, and it
// takes as long as building the whole window, while the application's connection to the
// window system, made meanwhile, mostly waits. Join the thread before the first font is
// used. Where there is nothing to read ahead, the thread is empty.
std::jthread readFontConfigurationAside();

} // namespace tapecalc
