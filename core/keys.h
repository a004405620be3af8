// The calculator's keys as one dispatch: the on-screen keys (the window's key table) and
// the core tests' key names press through it, so a change to what a key does is seen by
// both.
#pragma once

#include "core/actions.h"

#include <variant>

namespace tapecalc {

enum class KeyAction {
    sign,
    point,
    digit,     // argument: the digit's character
    operation, // argument: Operator
    equals,
    clearAll,
    clearEntry,
    function, // argument: Function
    back,
    forward,
    // The window's own: they change nothing in the calculator.
    expand,
    help,
    exit,
    save,
    remove,
    print,
};

using KeyArgument = std::variant<std::monostate, char, Operator, Function>;

// Does what `action` does to the calculator; false for the window's own keys, which it
// leaves to the window.
bool pressKey(Calculator &calc, Requests &out, KeyAction action, const KeyArgument &argument = {});

} // namespace tapecalc
