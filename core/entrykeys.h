// The two keyboard handlers of the entry box: key-down (every key, before its character)
// and character (every key that produces one).
#pragma once

#include "core/calculator.h"
#include "core/requests.h"

namespace tapecalc {

// The keys the key-down handler gives a meaning, by their codes on the window's key
// events; every other key is `other`.
enum class KeyCode : int { other = 0, pageUp = 33, pageDown = 34, end = 35, del = 46 };

// Runs before the character handler for every key press.
void entryKeyDown(Calculator &calc, Requests &out, KeyCode key);

// Returns the character code the entry box should act on; 0 means swallowed.
int entryCharacter(Calculator &calc, Requests &out, int charCode);

} // namespace tapecalc
