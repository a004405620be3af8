// The expand key's six window sizes, the double-click's three layouts, and Page Up's
// full window. Sizes are in 1/1440 inch.
#include "tape/panel.h"

namespace tapecalc {

namespace {

constexpr int calculatorWidth = 5280;
constexpr int tapeViewWidth = 7320;
constexpr int fullWidth = 9615;
constexpr int fullHeight = 5520;
constexpr int stripHeight = 1650;
constexpr int barHeight = 580;
constexpr int barWidth = 4100;

// The displays at their places in the normal window and the strip.
void normalPlaces(PanelState &p) {
    p.text1 = {240, 960, 4815, 480};
    p.label1 = {360, 300, 2680, 495};
    p.image3 = {240, 240, 4815, 615};
    p.shape1.left = 12360;
    p.shape1.top = 50;
    p.label1Visible = p.label2Visible = p.image3Visible = true;
}

} // namespace

void expandClicked(PanelState &p) {
    struct Step {
        int width, height;
    };
    static constexpr Step steps[] = {
        {tapeViewWidth, fullHeight},    {fullWidth, fullHeight},
        {tapeViewWidth, fullHeight},    {calculatorWidth, fullHeight},
        {calculatorWidth, stripHeight}, {calculatorWidth, fullHeight},
    };
    if (p.panelStep < 0 || p.panelStep > 5)
        return;
    p.windowWidth = steps[p.panelStep].width;
    p.windowHeight = steps[p.panelStep].height;
    p.panelStep = (p.panelStep + 1) % 6;
}

void windowDoubleClicked(PanelState &p) {
    switch (p.windowLayout) {
    case 0: // the short strip
        normalPlaces(p);
        p.windowHeight = stripHeight;
        p.windowWidth = calculatorWidth;
        p.windowLayout = 1;
        break;
    case 1: { // the one-line bar: entry box left, framed result right
        p.text1.width = 1600;
        p.text1.top = 50;
        p.windowHeight = barHeight;
        const int right = p.text1.left + p.text1.width + 30;
        p.label1 = {right, 50, 2000, p.label1.height};
        p.image3 = {right, 50, 2000, 480};
        p.label2Visible = false;
        p.shape1.left = right;
        p.shape1.top = 50;
        p.windowWidth = barWidth;
        p.windowLayout = 2;
        break;
    }
    case 2: // the normal window; the expand key starts over
        normalPlaces(p);
        p.windowHeight = fullHeight;
        p.windowWidth = calculatorWidth;
        p.windowLayout = 0;
        p.panelStep = 0;
        break;
    default:
        break;
    }
}

void fullLayout(PanelState &p) {
    p.label2Visible = true;
    p.text1 = {240, 960, 4815, 480};
    p.image3 = {240, 240, 4815, 615};
    p.label1 = {360, 300, 4215, 495};
    p.label2 = {4560, 300, 495, 495};
    p.shape1.left = 12360;
    p.shape1.top = 50;
    p.windowWidth = fullWidth;
    p.windowHeight = fullHeight;
}

} // namespace tapecalc
