// The key table: every on-screen key with its caption, font size, label and background
// rectangles, press pictures and action. The window is built from it.
#pragma once

#include "core/actions.h"

#include <array>
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
    expand,
    help,
    exit,
    save,
    remove,
    print,
};

// The pictures a key background shows while pressed and after release.
enum class Feedback { none, digit, wide };

enum class Tile { square, wide };

struct KeySpec {
    const char *label;      // object name of the label, e.g. "Label5(0)"
    const char *caption;    // leading spaces centre it on a wide background
    double points;          // font size
    Rect labelRect;         // 1/1440 inch
    const char *background; // object name of the key background, e.g. "Image1(0)"
    Rect backgroundRect;
    Feedback feedback;
    Tile tile; // the built-in picture before the first press
    KeyAction action;
    std::variant<std::monostate, char, Operator, Function> argument;
    const char *accessibleName;
};

extern const std::array<KeySpec, 35> keyTable;

// Picture files in the picture folder for a key's press and release.
const char *pressedPicture(Feedback f);
const char *releasedPicture(Feedback f);

} // namespace tapecalc
