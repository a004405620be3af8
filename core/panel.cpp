// The expand key's six window sizes, the double-click's three layouts, and Page Up's
// full window.
#include "core/panel.h"

namespace tapecalc {

using namespace layout;

namespace {

// The displays at their places in the normal window and the strip.
void normalPlaces(PanelState &p) {
    p.text1 = text1;
    p.label1 = label1Cycled;
    p.image3 = image3;
    p.shape1.left = shape1.left;
    p.shape1.top = shape1ParkedTop;
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
        p.text1.width = barText1Width;
        p.text1.top = barTop;
        p.windowHeight = barHeight;
        const int right = p.text1.left + p.text1.width + barGap;
        p.label1 = {right, barTop, barResultWidth, p.label1.height};
        p.image3 = {right, barTop, barResultWidth, barImage3Height};
        p.label2Visible = false;
        p.shape1.left = right;
        p.shape1.top = barTop;
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
    p.text1 = text1;
    p.image3 = image3;
    p.label1 = label1;
    p.label2 = label2;
    p.shape1.left = shape1.left;
    p.shape1.top = shape1ParkedTop;
    p.windowWidth = fullWidth;
    p.windowHeight = fullHeight;
}

} // namespace tapecalc
