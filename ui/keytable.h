// The window's two tables: the surface (backdrops, pictures, displays, the entry box, the
// tape view, the file list) and the keys (caption, font size, label and background
// rectangles, press pictures, action). The window is built from them; each control's
// layer in the stacking order is a column of its row.
#pragma once

#include "core/actions.h"
#include "core/keys.h"
#include "core/panel.h"

#include <array>
#include <variant>

namespace tapecalc {

// The pictures a key background shows while pressed and after release.
enum class Feedback { none, digit, wide };

// The built-in picture of a key's background before its first press.
enum class Tile { square, wide };
const char *tilePicture(Tile t);

// Layers count from the back (0, the backdrop) to the front; no two controls share one.

struct KeySpec {
    const char *label;      // object name of the label, e.g. "Label5(0)"
    const char *caption;    // leading spaces centre it on a wide background
    double points;          // font size
    Rect labelRect;         // 1/1440 inch
    int labelLayer;         // in front of its background
    const char *background; // object name of the key background, e.g. "Image1(0)"
    Rect backgroundRect;
    int backgroundLayer;
    Feedback feedback;
    Tile tile; // the built-in picture before the first press
    KeyAction action;
    KeyArgument argument;
    const char *accessibleName;
};

extern const std::array<KeySpec, 35> keyTable;

enum class Element {
    backdrop, // a picture that lets the mouse through to the window (a drag moves it)
    picture,  // a picture that takes clicks (a key's background among them)
    caption,  // fixed text
    key,      // a key's caption, which takes its presses and clicks
    display,  // text the calculator writes
    entryBox,
    frame, // the box around the result
    tapeView,
    fileList,
};

struct SurfaceSpec {
    const char *name; // object name
    Element element;
    const char *content;      // a picture's built-in file, a caption's text
    double points;            // font size of its text; 0: none
    Rect rect;                // 1/1440 inch, when the panel does not place it
    Rect PanelState::*placed; // the panel's rectangle for it, or null
    const char *color;        // text colour, or null
    const char *accessibleName;
    int layer;
};

// In the order the controls are made, which is the order the Tab key visits them (the
// keys follow, each background before its caption).
extern const std::array<SurfaceSpec, 14> surfaceTable;

// The help panel (Image14) starts at its row's top, below the window's bottom edge; 帮助
// shows it at the first of these tops and puts it away at the second, as a click on it
// does. Its left never changes.
struct HelpPanelTops {
    int shown;
    int putAway;
};
inline constexpr HelpPanelTops helpPanelTops{1680, 6720};

// Picture files in the picture folder for a key's press and release.
const char *pressedPicture(Feedback f);
const char *releasedPicture(Feedback f);

} // namespace tapecalc
