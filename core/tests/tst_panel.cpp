// The window's layouts: the expand key's cycle through the tape view and the file list,
// the double-click's strip and one-line bar, each with its displays inside the window.
#include "core/panel.h"

#include <QRect>
#include <QSize>
#include <QTest>

using namespace tapecalc;

class TestPanel : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void expandCycle();
    void doubleClickLayouts();
    void doubleClickToNormalRestartsTheExpandCycle();
    void stripFromExpandThenDoubleClick();
    void countersOutOfRangeDoNothing();
};

namespace {

QSize windowOf(const PanelState &p) {
    return {p.windowWidth, p.windowHeight};
}

// Every display shown lies wholly inside the window.
bool displaysInside(const PanelState &p) {
    const QRect window(0, 0, p.windowWidth, p.windowHeight);
    const auto inside = [&](Rect r) {
        return window.contains(QRect(r.left, r.top, r.width, r.height));
    };
    return inside(p.text1) && (!p.label1Visible || inside(p.label1)) &&
           (!p.label2Visible || inside(p.label2)) && (!p.image3Visible || inside(p.image3));
}

} // namespace

// Six clicks: the tape view, then the file list beside it, back to the tape view, the
// calculator alone, the strip, and the calculator again.
void TestPanel::expandCycle() {
    PanelState p;
    const QSize start = windowOf(p);
    QList<QSize> sizes;
    for (int i = 0; i < 6; ++i) {
        expandClicked(p);
        sizes << windowOf(p);
        QVERIFY(displaysInside(p));
    }
    QVERIFY(sizes[0].width() > start.width() && sizes[0].height() == start.height());
    QVERIFY(sizes[1].width() > sizes[0].width() && sizes[1].height() == start.height());
    QCOMPARE(sizes[2], sizes[0]);
    QCOMPARE(sizes[3], start);
    QVERIFY(sizes[4].width() == start.width() && sizes[4].height() < start.height());
    QCOMPARE(sizes[5], start);
    QCOMPARE(p.panelStep, 0);
    QCOMPARE(p.windowLayout, 0);
}

// The strip, the one-line bar, the normal window; three more double-clicks go the same
// way round, and every layout keeps its displays inside the window.
void TestPanel::doubleClickLayouts() {
    PanelState p;
    const PanelState start;
    windowDoubleClicked(p);
    QVERIFY(displaysInside(p));
    const PanelState strip = p;
    QCOMPARE(strip.windowWidth, start.windowWidth);
    QVERIFY(strip.windowHeight < start.windowHeight);
    QVERIFY(strip.label1Visible && strip.label2Visible && strip.image3Visible);

    windowDoubleClicked(p);
    QVERIFY(displaysInside(p));
    const PanelState bar = p;
    QVERIFY(bar.windowHeight < strip.windowHeight && bar.windowWidth < start.windowWidth);
    QVERIFY(!bar.label2Visible && bar.label1Visible && bar.image3Visible);
    // The entry box on the left, the result in its frame to its right, on one line.
    QVERIFY(bar.label1.left >= bar.text1.left + bar.text1.width);
    QCOMPARE(bar.shape1.left, bar.label1.left);
    QCOMPARE(bar.image3.top, bar.text1.top);

    windowDoubleClicked(p);
    QVERIFY(displaysInside(p));
    QCOMPARE(windowOf(p), windowOf(start));
    QCOMPARE(p.text1, start.text1);
    QCOMPARE(p.image3, start.image3);
    QVERIFY(p.label2Visible);
    QCOMPARE(p.windowLayout, 0);

    const PanelState normal = p;
    for (const PanelState &expected : {strip, bar, normal}) {
        windowDoubleClicked(p);
        QCOMPARE(windowOf(p), windowOf(expected));
        QCOMPARE(p.text1, expected.text1);
        QCOMPARE(p.label1, expected.label1);
        QCOMPARE(p.image3, expected.image3);
        QCOMPARE(p.shape1, expected.shape1);
        QCOMPARE(p.label2Visible, expected.label2Visible);
    }
}

void TestPanel::doubleClickToNormalRestartsTheExpandCycle() {
    PanelState p;
    expandClicked(p); // tape view open
    const QSize tapeView = windowOf(p);
    for (int i = 0; i < 3; ++i)
        windowDoubleClicked(p);
    QCOMPARE(windowOf(p), windowOf(PanelState{}));
    QCOMPARE(p.panelStep, 0);
    expandClicked(p);
    QCOMPARE(windowOf(p), tapeView);
}

void TestPanel::stripFromExpandThenDoubleClick() {
    PanelState p;
    for (int i = 0; i < 5; ++i)
        expandClicked(p);
    const QSize strip = windowOf(p);
    QCOMPARE(p.panelStep, 5);
    windowDoubleClicked(p); // its own counter: the strip again
    QCOMPARE(windowOf(p), strip);
    QCOMPARE(p.windowLayout, 1);
    QCOMPARE(p.panelStep, 5);
}

void TestPanel::countersOutOfRangeDoNothing() {
    PanelState p;
    p.panelStep = 6;
    p.windowLayout = -1;
    expandClicked(p);
    windowDoubleClicked(p);
    QCOMPARE(windowOf(p), windowOf(PanelState{}));
    QCOMPARE(p.panelStep, 6);
    QCOMPARE(p.windowLayout, -1);
}

QTEST_APPLESS_MAIN(TestPanel)
#include "tst_panel.moc"
