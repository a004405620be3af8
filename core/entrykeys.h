// The two keyboard handlers of the entry box: key-down (every key, before its character)
// and character (every key that produces one).
#pragma once

#include "core/calculator.h"
#include "core/requests.h"

namespace tapecalc {

// The keys the key-down handler gives a meaning; every other key is `other`. The window
// maps Qt's keys to them (entryKeyCode in ui/controls.h). The numbers are the keys'
// Windows virtual-key codes, by which the keyboard suite's rows name them; no key
// event's code is read as one.
enum class KeyCode : int { other = 0, pageUp = 33, pageDown = 34, end = 35, del = 46 };

// Runs before the character handler for every key press.
void entryKeyDown(Calculator &calc, Requests &out, KeyCode key);

// Returns the character code the entry box should act on; 0 means swallowed.
int entryCharacter(Calculator &calc, Requests &out, int charCode);

} // namespace tapecalc
