// The window sizes that show or hide the tape panel, and the places of the displays in
// each layout. Held as state; the window applies it. Sizes are in 1/1440 inch (15 to a
// pixel at 96 dpi).
#pragma once

namespace tapecalc {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const Rect &, const Rect &) = default;
};

// The window's sizes in each layout and the places of the controls the layouts move (the
// rest of the surface stands where the window's tables put it).
namespace layout {
inline constexpr int calculatorWidth = 5280; // the keys alone
inline constexpr int tapeViewWidth = 7320;   // with the tape view
inline constexpr int fullWidth = 9615;       // with the tape view and the file list
inline constexpr int fullHeight = 5520;
inline constexpr int stripHeight = 1650; // the displays alone
inline constexpr int barHeight = 580;    // the one-line bar
inline constexpr int barWidth = 4100;

inline constexpr Rect text1{240, 960, 4815, 480};
inline constexpr Rect label1{360, 300, 4215, 495};
// The result after the double-click cycle has passed the bar: it leaves room for the
// indicator's frame.
inline constexpr Rect label1Cycled{360, 300, 2680, 495};
inline constexpr Rect label2{4560, 300, 495, 495};
inline constexpr Rect image3{240, 240, 4815, 615};
// The frame around the result starts outside the window; the layouts park it higher.
inline constexpr Rect shape1{12360, 360, 2000, 495};
inline constexpr int shape1ParkedTop = 50;

// The bar: the entry box on the left, the framed result on its right.
inline constexpr int barTop = 50;
inline constexpr int barText1Width = 1600;
inline constexpr int barGap = 30;
inline constexpr int barResultWidth = 2000;
inline constexpr int barImage3Height = 480;
} // namespace layout

// Window size and the places of the controls that the layouts move.
struct PanelState {
    int panelStep = 0;    // expand key cycle, 0..5
    int windowLayout = 0; // double-click cycle, 0..2; 0 is the normal window
    int windowWidth = layout::calculatorWidth;
    int windowHeight = layout::fullHeight;
    Rect text1 = layout::text1;
    Rect label1 = layout::label1;
    Rect label2 = layout::label2;
    Rect image3 = layout::image3;
    Rect shape1 = layout::shape1;
    bool label1Visible = true;
    bool label2Visible = true;
    bool image3Visible = true;
};

void expandClicked(PanelState &panel);
void windowDoubleClicked(PanelState &panel);
// Page Up: the full window with displays at their normal places; the cycles keep counting.
void fullLayout(PanelState &panel);

} // namespace tapecalc
