// Tape review (back, forward, operator cycle) and the window sizes of the tape panel.
#include "core/tests/driver.h"

#include "core/panel.h"

#include <QRect>
#include <QSize>
#include <QTest>

using namespace tapecalc;

class TestReview : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void reviewSteps_data();
    void reviewSteps();
    void reviewChangesNothingElse();
    void recordingAfterReviewCutsTheTape();
    void reviewOfACountedPastTapeReadsEmpty();
    void operatorCycle();
    void expandCycle();
    void doubleClickLayouts();
    void doubleClickToNormalRestartsTheExpandCycle();
    void stripFromExpandThenDoubleClick();
    void countersOutOfRangeDoNothing();
};

void TestReview::reviewSteps_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<QString>("label9");
    QTest::addColumn<QString>("total");

    // The tape under review: 5 +, 3 +, 2 × (total 10, pending multiply).
    // clang-format off
    QTest::newRow("no step") << "" << "" << "10" << "乘" << "3" << "10";
    QTest::newRow("back to line 2") << "back" << "2" << "8" << "加" << "2" << "8";
    QTest::newRow("back to line 1") << "back back" << "3" << "5" << "加" << "1" << "5";
    QTest::newRow("back to line 0 blanks the indicator") << "back back back" << "5" << "0" << "" << "0" << "0";
    QTest::newRow("a fourth back does nothing") << "back back back back" << "5" << "0" << "" << "0" << "0";
    QTest::newRow("forward from line 0") << "back back back fwd" << "3" << "5" << "加" << "1" << "5";
    QTest::newRow("forward stops on the last line") << "back back back fwd fwd fwd fwd" << "2" << "8" << "加" << "2" << "8";
    QTest::newRow("forward at the end does nothing") << "fwd" << "" << "10" << "乘" << "3" << "10";
    // clang-format on
}

void TestReview::reviewSteps() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 加 3 加 2 乘");
    pressKeys(calc, out, FETCHED(QString, steps).toStdString());
    QCOMPARE(QString::fromStdString(calc.shown.text1), FETCHED(QString, entry));
    QCOMPARE(QString::fromStdString(calc.shown.label1), FETCHED(QString, label1));
    QCOMPARE(QString::fromStdString(calc.shown.label2), FETCHED(QString, label2));
    QCOMPARE(QString::fromStdString(calc.shown.label9), FETCHED(QString, label9));
    QCOMPARE(QString::fromStdString(moneyText(calc.runningTotal)), FETCHED(QString, total));
    QCOMPARE(calc.lastLineNumber, 3);
    QCOMPARE(calc.pendingOperator, Operator::multiply);
}

void TestReview::reviewChangesNothingElse() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 加 3 加");
    calc.currentTapeFile = "tape.qtz";
    const auto view = calc.shown.text2;
    const auto writes = calc.shown.text2Writes;
    pressKeys(calc, out, "back back fwd");
    QCOMPARE(calc.currentTapeFile, std::string("tape.qtz"));
    QCOMPARE(calc.shown.text2, view);
    QCOMPARE(calc.shown.text2Writes, writes);
    QCOMPARE(calc.tapeEntries[1], std::string("3"));
    QCOMPARE(out.log.size(), std::size_t(4)); // review is silent
}

void TestReview::recordingAfterReviewCutsTheTape() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 加 3 加 2 乘 back back 加");
    // Line 1 again: 3 applied by the pending multiply to the restored total 5.
    QCOMPARE(moneyText(calc.runningTotal), std::string("15"));
    QCOMPARE(calc.tapeTotals[1], std::optional<Money>(Money{5 * Money::scale}));
    QCOMPARE(calc.lineNumber, 2);
    QCOMPARE(calc.lastLineNumber, 2);
    QCOMPARE(rows(calc.shown.text2), std::string("5|+|3|+|2|"));
    pressKeys(calc, out, "fwd");
    QCOMPARE(calc.lineNumber, 2); // the old line 2 can no longer be reached
    QCOMPARE(calc.tapeEntries[2], std::string("2"));
}

void TestReview::reviewOfACountedPastTapeReadsEmpty() {
    Calculator calc;
    calc.lineNumber = calc.lastLineNumber = tapeSlots + 3;
    reviewBack(calc);
    QCOMPARE(calc.lineNumber, tapeSlots + 2);
    QCOMPARE(calc.shown.text1, std::string());
    QCOMPARE(calc.shown.label1, std::string());
    QCOMPARE(calc.runningTotal, Money{});
}

void TestReview::operatorCycle() {
    Calculator calc;
    Recorder out;
    QStringList seen;
    for (int i = 0; i < 4; ++i) {
        cycleOperator(calc);
        seen << QString::fromStdString(calc.shown.label2);
    }
    QCOMPARE(seen, QStringList({"减", "乘", "除", "加"}));
    QCOMPARE(calc.pendingOperator, Operator::add);
    cycleOperator(calc);
    pressKeys(calc, out, "5 =");
    QCOMPARE(moneyText(calc.runningTotal), std::string("-5"));
}

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
void TestReview::expandCycle() {
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
void TestReview::doubleClickLayouts() {
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

void TestReview::doubleClickToNormalRestartsTheExpandCycle() {
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

void TestReview::stripFromExpandThenDoubleClick() {
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

void TestReview::countersOutOfRangeDoNothing() {
    PanelState p;
    p.panelStep = 6;
    p.windowLayout = -1;
    expandClicked(p);
    windowDoubleClicked(p);
    QCOMPARE(windowOf(p), windowOf(PanelState{}));
    QCOMPARE(p.panelStep, 6);
    QCOMPARE(p.windowLayout, -1);
}

QTEST_APPLESS_MAIN(TestReview)
#include "tst_review.moc"
