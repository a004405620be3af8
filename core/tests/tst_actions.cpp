// The on-screen keys of the calculator: entry, operators, equals, clearing, function
// keys and the read-out, driven as key sequences on the core state.
#include "core/tests/driver.h"

#include <QTest>

#include <random>

using namespace tapecalc;

class TestActions : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void keySequences_data();
    void keySequences();
    void entryKeys_data();
    void entryKeys();
    void cues_data();
    void cues();
    void applyOperatorArithmetic_data();
    void applyOperatorArithmetic();
    void tapeLinesRecordTotalBefore();
    void equalsAfterReviewToLineZeroUsesPendingOperator();
    void clearAllKeepsTheTapeFile();
    void operatorsUntieTheTapeFile();
    void fullTapeRefusesAnotherLine_data();
    void fullTapeRefusesAnotherLine();
    void tapeColumnReadsAsAFullVector();
    void tapeViewShowsEntryLeftAtTheCursor();
    void functionKeys_data();
    void functionKeys();
    void functionResultsAreOrdinaryEntries();
    void readOut_data();
    void readOut();
};

void TestActions::keySequences_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<QString>("label9");
    QTest::addColumn<QString>("tape");

    // clang-format off
    QTest::newRow("first number is added to 0") << "5 加" << "5" << "5" << "加" << "1" << "5|+|";
    QTest::newRow("key symbol closes the entry") << "5 乘 3 加" << "15" << "15" << "加" << "2" << "5|×|3|+|";
    QTest::newRow("empty entry changes the last symbol") << "5 乘 3 加 乘" << "15" << "15" << "乘" << "2" << "5|×|3|×|";
    QTest::newRow("operator twice records once") << "5 加 加" << "5" << "5" << "加" << "1" << "5|+|";
    QTest::newRow("division by zero keeps the total") << "5 除 0 加" << "5" << "5" << "加" << "2" << "5|÷|0|+|";
    QTest::newRow("quotient rounded to four places") << "2 除 3 加" << "0.6667" << "0.6667" << "加" << "2" << "2|÷|3|+|";
    QTest::newRow("product of fractions") << "1 . 5 乘 1 . 5 加" << "2.25" << "2.25" << "加" << "2" << "1.5|×|1.5|+|";
    QTest::newRow("sign alone is recorded, total kept") << "neg 加" << "0" << "0" << "加" << "1" << "-|+|";
    QTest::newRow("product beyond the money range is skipped") << "1000000000 乘 1000000000 加" << "1000000000" << "1000000000" << "加" << "2" << "1000000000|×|1000000000|+|";
    QTest::newRow("operator on a fresh start records nothing") << "减" << "0" << "" << "减" << "" << "";
    QTest::newRow("leading zeros are kept on the tape") << "0 0 7 加" << "7" << "7" << "加" << "1" << "007|+|";
    QTest::newRow("equals adds and records the applied operator") << "5 加 3 =" << "8" << "8" << "加" << "2" << "5|+|3|+|";
    QTest::newRow("equals records multiplication") << "5 乘 3 =" << "15" << "15" << "乘" << "2" << "5|×|3|×|";
    QTest::newRow("equals keeps the pending operator") << "5 乘 3 = 2 加" << "30" << "30" << "加" << "3" << "5|×|3|×|2|+|";
    QTest::newRow("equals division by zero") << "5 除 0 =" << "5" << "5" << "除" << "2" << "5|÷|0|÷|";
    QTest::newRow("equals with empty entry changes nothing") << "5 加 3 = =" << "8" << "8" << "加" << "2" << "5|+|3|+|";
    QTest::newRow("clear-all then equals restores add") << "5 乘 AC =" << "0" << "" << "加" << "" << "";
    QTest::newRow("clear-all blanks the indicator") << "5 乘 3 AC" << "0" << "" << "" << "" << "";
    QTest::newRow("clear-entry keeps the calculation") << "5 加 3 CE" << "5" << "5" << "加" << "1" << "5|+|";
    QTest::newRow("clear-entry then operator only changes the symbol") << "5 加 3 CE 减" << "5" << "5" << "减" << "1" << "5|-|";
    QTest::newRow("subtraction into negatives") << "3 减 5 减 . 5 =" << "-2.5" << "-2.5" << "减" << "3" << "3|-|5|-|.5|-|";
    QTest::newRow("negative entry") << "neg 4 乘 neg . 5 =" << "2" << "2" << "乘" << "2" << "-4|×|-.5|×|";
    QTest::newRow("product rounded once beyond 2^53 units") << "922337203685476 乘 1 加" << "922337203685476" << "922337203685476" << "加" << "2" << "922337203685476|×|1|+|";
    QTest::newRow("product at the top of the range") << "1 乘 922337203685477 . 5 加" << "922337203685477.5" << "922337203685477.5" << "加" << "2" << "1|×|922337203685477.5|+|";
    QTest::newRow("product keeps its last unit") << "1000000000000 . 0001 乘 1 加" << "1000000000000.0001" << "1000000000000.0001" << "加" << "2" << "1000000000000.0001|×|1|+|";
    QTest::newRow("product with an eighth of a unit") << "900719925477 . 0625 乘 2 加" << "1801439850954.125" << "1801439850954.125" << "加" << "2" << "900719925477.0625|×|2|+|";
    QTest::newRow("double just above a half unit rounds up") << "1 乘 . 00025 加" << "0.0003" << "0.0003" << "加" << "2" << "1|×|.00025|+|";
    QTest::newRow("double of half a unit rounds up") << "1 乘 . 00005 加" << "0.0001" << "0.0001" << "加" << "2" << "1|×|.00005|+|";
    QTest::newRow("product below the range fails") << "1 乘 neg 922337203685477 . 625 加" << "1" << "1" << "加" << "2" << "1|×|-922337203685477.625|+|";
    // clang-format on
}

void TestActions::keySequences() {
    QFETCH(QString, keys);
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, keys.toStdString());
    QCOMPARE(QString::fromStdString(moneyText(calc.runningTotal)), FETCHED(QString, total));
    QCOMPARE(QString::fromStdString(calc.shown.label1), FETCHED(QString, label1));
    QCOMPARE(QString::fromStdString(calc.shown.label2), FETCHED(QString, label2));
    QCOMPARE(QString::fromStdString(calc.shown.label9), FETCHED(QString, label9));
    QCOMPARE(QString::fromStdString(rows(calc.shown.text2)), FETCHED(QString, tape));
    QVERIFY(calc.shown.text1.empty() || keys.endsWith("CE"));
    QCOMPARE(calc.lastLineNumber, calc.lineNumber);
}

void TestActions::entryKeys_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("entry");
    // clang-format off
    QTest::newRow("leading zeros") << "0 0 7" << "007";
    QTest::newRow("point without a zero") << ". 5" << ".5";
    QTest::newRow("second point refused") << ". ." << ".";
    QTest::newRow("point after digits refused twice") << "5 . 2 ." << "5.2";
    QTest::newRow("sign on empty entry") << "neg" << "-";
    QTest::newRow("sign after a digit refused") << "5 neg" << "5";
    QTest::newRow("sign twice") << "neg neg" << "-";
    QTest::newRow("sign then point") << "neg ." << "-.";
    QTest::newRow("long entries are accepted") << "1234567890123456789012345678901234567890" << "1234567890123456789012345678901234567890";
    // clang-format on
}

void TestActions::entryKeys() {
    QFETCH(QString, keys);
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, keys.toStdString());
    QCOMPARE(QString::fromStdString(calc.shown.text1), FETCHED(QString, entry));
}

void TestActions::cues_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("requests");
    // clang-format off
    QTest::newRow("digits and operators") << "5 加 3 =" << "cue:5.wav cue:加.wav cue:3.wav cue:等于.wav";
    QTest::newRow("refused point still speaks") << "5 . ." << "cue:5.wav cue:d.wav cue:d.wav";
    QTest::newRow("refused sign is silent") << "5 neg" << "cue:5.wav";
    QTest::newRow("accepted sign") << "neg" << "cue:负.wav";
    QTest::newRow("every operator") << "减 乘 除 加" << "cue:减.wav cue:乘.wav cue:除.wav cue:加.wav";
    QTest::newRow("clearing") << "AC CE" << "cue:归零.wav cue:清除.wav";
    QTest::newRow("function keys and review are silent") << "2 sqr pi cos back fwd cycle" << "cue:2.wav";
    // clang-format on
}

void TestActions::cues() {
    QFETCH(QString, keys);
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, keys.toStdString());
    QCOMPARE(QString::fromStdString(out.joined()), FETCHED(QString, requests));
}

void TestActions::applyOperatorArithmetic_data() {
    QTest::addColumn<QString>("total");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("result");
    // clang-format off
    QTest::newRow("add exact") << "0.1" << 1 << "0.2" << "0.3";
    QTest::newRow("subtract exact") << "0.3" << 2 << "0.1" << "0.2";
    QTest::newRow("add rounds the entry half to even") << "0" << 1 << "0.00005" << "0";
    QTest::newRow("add rounds up above half") << "0" << 1 << "0.000051" << "0.0001";
    QTest::newRow("multiply is entry times total") << "4" << 3 << "2.5" << "10";
    QTest::newRow("tiny product becomes zero") << "0.0001" << 3 << "0.4" << "0";
    QTest::newRow("divide total by entry") << "1" << 4 << "3" << "0.3333";
    QTest::newRow("divide by zero fails") << "7" << 4 << "0" << "7";
    QTest::newRow("zero divided by zero fails") << "0" << 4 << "0" << "0";
    QTest::newRow("zero total divided") << "0" << 4 << "5" << "0";
    QTest::newRow("not a number fails") << "7" << 1 << "abc" << "7";
    QTest::newRow("point alone fails") << "7" << 3 << "." << "7";
    QTest::newRow("exponent entry") << "1" << 1 << "1e3" << "1001";
    QTest::newRow("add overflow fails") << "922337203685477.5807" << 1 << "0.0001" << "922337203685477.5807";
    QTest::newRow("subtract overflow fails") << "-922337203685477.5808" << 2 << "0.0001" << "-922337203685477.5808";
    QTest::newRow("unknown code does nothing") << "7" << 0 << "1" << "7";
    QTest::newRow("code five does nothing") << "7" << 5 << "1" << "7";
    // clang-format on
}

void TestActions::applyOperatorArithmetic() {
    QFETCH(QString, total);
    QFETCH(int, code);
    QFETCH(QString, entry);
    Calculator calc;
    calc.runningTotal = parseMoney(total.toStdString()).value;
    applyOperator(calc, static_cast<Operator>(code), entry.toStdString());
    QCOMPARE(QString::fromStdString(moneyText(calc.runningTotal)), FETCHED(QString, result));
}

void TestActions::tapeLinesRecordTotalBefore() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 乘 3 加");
    QCOMPARE(calc.tapeEntries[0], std::string("5"));
    QCOMPARE(calc.tapeOperators[0], std::string("×"));
    QCOMPARE(calc.tapeTotals[0], std::optional<Money>(Money{0}));
    QCOMPARE(calc.tapeEntries[1], std::string("3"));
    QCOMPARE(calc.tapeOperators[1], std::string("+"));
    QCOMPARE(calc.tapeTotals[1], std::optional<Money>(Money{5 * Money::scale}));
    QVERIFY(!calc.tapeTotals[2].has_value());
}

void TestActions::equalsAfterReviewToLineZeroUsesPendingOperator() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 乘 back");
    QCOMPARE(calc.shown.label2, std::string());
    QCOMPARE(calc.shown.text1, std::string("5"));
    pressKeys(calc, out, "=");
    QCOMPARE(calc.tapeOperators[0], std::string("×")); // the operator applied
    QCOMPARE(moneyText(calc.runningTotal), std::string("0"));
    QCOMPARE(calc.shown.label2, std::string("加"));
    QCOMPARE(calc.pendingOperator, Operator::add);
}

void TestActions::clearAllKeepsTheTapeFile() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 加 3");
    calc.currentTapeFile = "tape.qtz";
    calc.panel.panelStep = 2;
    pressKeys(calc, out, "AC");
    QCOMPARE(calc.currentTapeFile, std::string("tape.qtz"));
    QCOMPARE(calc.panel.panelStep, 2);
    QCOMPARE(calc.lineNumber, 0);
    QCOMPARE(calc.lastLineNumber, 0);
    QVERIFY(calc.tapeEntries[0].empty() && calc.tapeOperators[0].empty());
    QVERIFY(!calc.tapeTotals[0].has_value());
    QVERIFY(calc.shown.text1.empty() && calc.shown.text2.empty());
}

void TestActions::operatorsUntieTheTapeFile() {
    const char *keys[] = {"加", "=", "5 减", "5 ="};
    for (const char *key : keys) {
        Calculator calc;
        Recorder out;
        calc.currentTapeFile = "tape.qtz";
        pressKeys(calc, out, key);
        QVERIFY2(calc.currentTapeFile.empty(), key);
    }
    Calculator calc;
    Recorder out;
    calc.currentTapeFile = "tape.qtz";
    pressKeys(calc, out, "5 CE sqr back");
    QCOMPARE(calc.currentTapeFile, std::string("tape.qtz"));
}

void TestActions::fullTapeRefusesAnotherLine_data() {
    QTest::addColumn<QString>("keys"); // on-screen keys, or typed text after "type:"
    // clang-format off
    QTest::newRow("operator key") << "加";
    QTest::newRow("equals key") << "=";
    QTest::newRow("typed operator") << "type:*";
    QTest::newRow("enter") << "type:\r";
    // clang-format on
}

// The tape and its total never disagree: once the tape holds its 30,001 lines, a key that
// would record one more is refused with a message, and nothing else changes.
void TestActions::fullTapeRefusesAnotherLine() {
    Calculator calc;
    for (int i = 0; i < tapeSlots; ++i) {
        calc.tapeEntries[static_cast<std::size_t>(i)] = "1";
        calc.tapeOperators[static_cast<std::size_t>(i)] = "+";
    }
    calc.lineNumber = calc.lastLineNumber = tapeSlots;
    calc.runningTotal = Money{tapeSlots * Money::scale};
    calc.shown.label9 = std::to_string(tapeSlots);
    calc.currentTapeFile = "tape.qtz";
    rebuildTapeView(calc);
    calc.shown.text1 = "7";
    const Calculator before = calc;

    Recorder out;
    const QString keys = FETCHED(QString, keys);
    if (keys.startsWith("type:"))
        typeText(calc, out, keys.mid(5).toStdString());
    else
        pressKeys(calc, out, keys.toStdString());
    QVERIFY(std::find(out.log.begin(), out.log.end(), "message:tapeFull") != out.log.end());
    QCOMPARE(calc.shown.text1, before.shown.text1);
    QCOMPARE(calc.runningTotal, before.runningTotal);
    QCOMPARE(calc.lineNumber, before.lineNumber);
    QCOMPARE(calc.shown.label9, before.shown.label9);
    QCOMPARE(calc.shown.text2, before.shown.text2);
    QCOMPARE(calc.currentTapeFile, before.currentTapeFile);
    QVERIFY(calc.tapeOperators == before.tapeOperators);

    // Without an entry an operator records nothing, and still changes the last symbol.
    calc.shown.text1.clear();
    out.log.clear();
    pressKeys(calc, out, "减");
    QVERIFY(out.log.empty() || out.log.back() != "message:tapeFull");
    QCOMPARE(calc.tapeOperators[tapeSlots - 1], std::string("-"));
    QCOMPARE(calc.runningTotal, before.runningTotal);
}

// The column takes memory only where written; against a plain vector of all 30,001 slots,
// writes at block edges and at random read back the same, and every other slot reads empty.
void TestActions::tapeColumnReadsAsAFullVector() {
    TapeColumn<std::string> column;
    std::vector<std::string> oracle(tapeSlots);
    std::mt19937 random(9);
    std::vector<std::size_t> slots{0, 1023, 1024, 2047, 29695, 29696, tapeSlots - 1};
    for (int i = 0; i < 200; ++i)
        slots.push_back(random() % tapeSlots);
    for (std::size_t slot : slots)
        column[slot] = oracle[slot] = std::to_string(slot) + std::string(slot % 40, 'x');
    const TapeColumn<std::string> copy = column;
    for (std::size_t slot = 0; slot < tapeSlots; ++slot)
        QCOMPARE(copy[slot], oracle[slot]);
    QVERIFY(copy == column);
    column[0].clear();
    QVERIFY(!(copy == column));
    column.clear();
    QVERIFY(column == TapeColumn<std::string>());
}

void TestActions::tapeViewShowsEntryLeftAtTheCursor() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "5 加 3 加 back");
    rebuildTapeView(calc);
    // Line 1 is under review: its entry is the last row, without a symbol.
    QCOMPARE(rows(calc.shown.text2), std::string("5|+|3|"));
    calc.tapeEntries[0] = "  5 ";
    calc.tapeOperators[0] = "";
    rebuildTapeView(calc);
    QCOMPARE(rows(calc.shown.text2), std::string("5||3|"));
}

void TestActions::functionKeys_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("message");
    // clang-format off
    QTest::newRow("pi on empty entry") << "" << "pi" << "3.14159265358979" << "";
    QTest::newRow("pi replaces any entry") << "12" << "pi" << "3.14159265358979" << "";
    QTest::newRow("percent") << "50" << "%" << "0.5" << "";
    QTest::newRow("percent of zero keeps the text") << "0.0" << "%" << "0.0" << "";
    QTest::newRow("square root has 15 digits") << "2" << "sqr" << "1.4142135623731" << "";
    QTest::newRow("square root of a negative") << "-4" << "sqr" << "-4" << "squareRootOfNegative";
    QTest::newRow("log of 1000") << "1000" << "log" << "3" << "";
    QTest::newRow("log of an exponent entry") << "1e3" << "log" << "3" << "";
    QTest::newRow("log of zero") << "0" << "log" << "0" << "logarithmOfZero";
    QTest::newRow("log of a negative") << "-1" << "log" << "-1" << "logarithmOfNegative";
    QTest::newRow("cos of zero") << "0" << "cos" << "1" << "";
    QTest::newRow("sin of zero keeps the text") << "0" << "sin" << "0" << "";
    QTest::newRow("sin of pi is tiny") << "3.14159265358979" << "sin" << "3.23108914886517E-15" << "";
    QTest::newRow("tan") << "1" << "tan" << "1.5574077246549" << "";
    QTest::newRow("exp") << "1" << "exp" << "2.71828182845905" << "";
    QTest::newRow("exp overflow keeps the entry") << "1000" << "exp" << "1000" << "";
    QTest::newRow("empty entry, sqr") << "" << "sqr" << "" << "";
    QTest::newRow("empty entry, log") << "" << "log" << "" << "";
    QTest::newRow("sign alone") << "-" << "cos" << "-" << "";
    QTest::newRow("pasted text") << "12abc" << "sqr" << "12abc" << "";
    QTest::newRow("huge entry overflows a double") << "1e400" << "sqr" << "1e400" << "";
    // clang-format on
}

void TestActions::functionKeys() {
    QFETCH(QString, key);
    QFETCH(QString, message);
    Calculator calc;
    Recorder out;
    calc.shown.text1 = FETCHED(QString, entry).toStdString();
    pressKey(calc, out, key.toStdString());
    QCOMPARE(QString::fromStdString(calc.shown.text1), FETCHED(QString, result));
    QCOMPARE(QString::fromStdString(out.joined()),
             message.isEmpty() ? QString() : "message:" + message);
    QCOMPARE(calc.lineNumber, 0);
    QCOMPARE(calc.shown.text2Writes, 0UL);
}

void TestActions::functionResultsAreOrdinaryEntries() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "2 sqr 5");
    QCOMPARE(calc.shown.text1, std::string("1.41421356237315"));
    pressKeys(calc, out, "CE pi sin 加");
    QCOMPARE(calc.tapeEntries[0], std::string("3.23108914886517E-15"));
    QCOMPARE(calc.shown.label1, std::string("0"));
}

void TestActions::readOut_data() {
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("cues");
    // clang-format off
    QTest::newRow("negative with a point") << "-12.5" << "zsw 负 1 2 d 5";
    QTest::newRow("zero") << "0" << "zsw 0";
    QTest::newRow("fraction below one") << "0.0625" << "zsw 0 d 0 6 2 5";
    // clang-format on
}

void TestActions::readOut() {
    Recorder out;
    numberReadOut(out, parseMoney(FETCHED(QString, total).toStdString()).value);
    QString expected;
    for (const QString &cue : FETCHED(QString, cues).split(' '))
        expected += QStringLiteral(" cue:%1.wav blocking:%1.wav").arg(cue);
    QCOMPARE(QString::fromStdString(out.joined()), expected.trimmed());
}

QTEST_APPLESS_MAIN(TestActions)
#include "tst_actions.moc"
