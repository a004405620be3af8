// The window sizes that show or hide the tape panel, and the layouts of the displays.
// Held as state; the window applies it.
#pragma once

#include "core/calculator.h"

namespace tapecalc {

void expandClicked(PanelState &panel);
void windowDoubleClicked(PanelState &panel);
// Page Up: the full window with displays at their normal places; the cycles keep counting.
void fullLayout(PanelState &panel);

} // namespace tapecalc
