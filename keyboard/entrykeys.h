// The two keyboard handlers of the entry box: key-down (every key, before its character)
// and character (every key that produces one).
#pragma once

#include "core/calculator.h"
#include "core/requests.h"

namespace tapecalc {

// Key codes the key-down handler gives a meaning.
enum KeyCode : int { keyPageUp = 33, keyPageDown = 34, keyEnd = 35, keyDelete = 46 };

// Runs before the character handler for every key press.
void entryKeyDown(Calculator &calc, Requests &out, int keyCode);

// Returns the character code the entry box should act on; 0 means swallowed.
int entryCharacter(Calculator &calc, Requests &out, int charCode);

} // namespace tapecalc
