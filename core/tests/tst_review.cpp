// Tape review: back, forward and the operator cycle.
#include "core/tests/driver.h"

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

QTEST_APPLESS_MAIN(TestReview)
#include "tst_review.moc"
