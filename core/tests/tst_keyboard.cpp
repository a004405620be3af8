// The entry box's keyboard: characters typed, the commands of the key-down handler,
// and the documented differences from the on-screen twins.
#include "core/tests/driver.h"

#include "core/panel.h"
#include "core/textgate.h"

#include <QTest>

using namespace tapecalc;

class TestKeyboard : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void typing_data();
    void typing();
    void characterCodes_data();
    void characterCodes();
    void digitsAreVoicedBelowThirtyCharacters_data();
    void digitsAreVoicedBelowThirtyCharacters();
    void onScreenDigitsAlwaysSpeak();
    void refusedPointDiffersFromThePointKey();
    void letterAShowsAddWhereAcLeavesBlank();
    void enterAfterReviewRecordsPendingSymbol();
    void spaceReadsTheTotalAndUntiesTheFile();
    void escapeEndsAtOnceWithoutCue();
    void keyDown_data();
    void keyDown();
    void pageUpKeepsTheCycles();
    void pastedIntoEntry_data();
    void pastedIntoEntry();
    void keyFilter_data();
    void keyFilter();
};

void TestKeyboard::typing_data() {
    QTest::addColumn<QByteArray>("typed");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<QString>("label9");
    QTest::addColumn<QString>("tape");
    QTest::addColumn<QString>("cues");

    // clang-format off
    QTest::newRow("add and enter") << QByteArray("5+3\r") << "" << "8" << "加" << "2" << "5|+|3|+|" << "5 加 3 等于";
    QTest::newRow("second point swallowed") << QByteArray("12.5.") << "12.5" << "" << "加" << "" << "" << "1 2 d 5 -";
    QTest::newRow("equals keeps multiplying") << QByteArray("5*3\r2+") << "" << "30" << "加" << "3" << "5|×|3|×|2|+|" << "5 乘 3 等于 2 加";
    QTest::newRow("minus is always subtract") << QByteArray("-5\r") << "" << "-5" << "减" << "1" << "5|-|" << "减 5 等于";
    QTest::newRow("divide by zero keeps the total") << QByteArray("5/0\r") << "" << "5" << "除" << "2" << "5|÷|0|÷|" << "5 除 0 等于";
    QTest::newRow("capitals, letters, = and , are swallowed") << QByteArray("5ACx=,") << "5" << "" << "加" << "" << "" << "5 - - - - -";
    QTest::newRow("control characters are swallowed") << QByteArray("1\x03\x18\x16") << "1" << "" << "加" << "" << "" << "1 - - -";
    QTest::newRow("a clears all and shows add") << QByteArray("5*3*a") << "" << "" << "加" << "" << "" << "5 乘 3 乘 归零";
    QTest::newRow("c clears the entry") << QByteArray("5+12c") << "" << "5" << "加" << "1" << "5|+|" << "5 加 1 2 清除";
    QTest::newRow("backspace deletes and speaks") << QByteArray("12\b") << "1" << "" << "加" << "" << "" << "1 2 删除";
    QTest::newRow("enter on empty entry") << QByteArray("\r") << "" << "" << "加" << "" << "" << "等于";
    QTest::newRow("enter after clear-all") << QByteArray("a\r") << "" << "" << "加" << "" << "" << "归零 等于";
    // clang-format on
}

void TestKeyboard::typing() {
    QFETCH(QByteArray, typed);
    Calculator calc;
    Recorder out;
    typeText(calc, out, typed.toStdString());
    QCOMPARE(QString::fromStdString(calc.shown.text1), FETCHED(QString, entry));
    QCOMPARE(QString::fromStdString(calc.shown.label1), FETCHED(QString, label1));
    QCOMPARE(QString::fromStdString(calc.shown.label2), FETCHED(QString, label2));
    QCOMPARE(QString::fromStdString(calc.shown.label9), FETCHED(QString, label9));
    QCOMPARE(QString::fromStdString(rows(calc.shown.text2)), FETCHED(QString, tape));
    // One asynchronous request a character; "-" stands for the empty request.
    QString expected;
    for (const QString &cue : FETCHED(QString, cues).split(' '))
        expected += cue == "-" ? QString(" cue:") : QStringLiteral(" cue:%1.wav").arg(cue);
    QCOMPARE(QString::fromStdString(out.joined()), expected.trimmed());
}

void TestKeyboard::characterCodes_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("through");
    // clang-format off
    QTest::newRow("digit") << "" << int('7') << int('7');
    QTest::newRow("first point") << "12" << int('.') << int('.');
    QTest::newRow("second point") << "1.2" << int('.') << 0;
    QTest::newRow("backspace") << "12" << 8 << 8;
    QTest::newRow("letter c") << "12" << int('c') << 0;
    QTest::newRow("capital C") << "12" << int('C') << 0;
    QTest::newRow("enter") << "12" << 13 << 0;
    QTest::newRow("plus") << "12" << int('+') << 0;
    QTest::newRow("equals sign") << "12" << int('=') << 0;
    QTest::newRow("colon above nine") << "" << int(':') << 0;
    QTest::newRow("slash below zero") << "" << int('/') << 0;
    QTest::newRow("chinese character") << "" << 0x4E00 << 0;
    QTest::newRow("tab") << "" << 9 << 0;
    // clang-format on
}

void TestKeyboard::characterCodes() {
    Calculator calc;
    Recorder out;
    calc.shown.text1 = FETCHED(QString, entry).toStdString();
    QCOMPARE(entryCharacter(calc, out, FETCHED(int, code)), FETCHED(int, through));
}

void TestKeyboard::digitsAreVoicedBelowThirtyCharacters_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("cue");
    // clang-format off
    QTest::newRow("29 characters") << 29 << "cue:7.wav";
    QTest::newRow("30 characters") << 30 << "cue:";
    QTest::newRow("31 characters") << 31 << "cue:";
    // clang-format on
}

void TestKeyboard::digitsAreVoicedBelowThirtyCharacters() {
    QFETCH(int, length);
    Calculator calc;
    Recorder out;
    calc.shown.text1 = std::string(static_cast<std::size_t>(length), '1');
    typeChar(calc, out, '7');
    QCOMPARE(calc.shown.text1.size(), static_cast<std::size_t>(length + 1));
    QCOMPARE(QString::fromStdString(out.joined()), FETCHED(QString, cue));
}

void TestKeyboard::onScreenDigitsAlwaysSpeak() {
    Calculator calc;
    Recorder out;
    calc.shown.text1 = std::string(40, '1');
    pressKeys(calc, out, "7");
    QCOMPARE(out.joined(), std::string("cue:7.wav"));
}

void TestKeyboard::refusedPointDiffersFromThePointKey() {
    Calculator calc;
    Recorder keys, typed;
    calc.shown.text1 = "1.5";
    pressKeys(calc, keys, ".");
    typeChar(calc, typed, '.');
    QCOMPARE(calc.shown.text1, std::string("1.5"));
    QCOMPARE(keys.joined(), std::string("cue:d.wav"));
    QCOMPARE(typed.joined(), std::string("cue:"));
}

void TestKeyboard::letterAShowsAddWhereAcLeavesBlank() {
    Calculator typed, clicked;
    Recorder out;
    typeText(typed, out, "5*3*a");
    pressKeys(clicked, out, "5 乘 3 乘 AC");
    QCOMPARE(typed.shown.label2, std::string("加"));
    QCOMPARE(clicked.shown.label2, std::string());
    // Everything else is cleared alike.
    QCOMPARE(typed.lineNumber, clicked.lineNumber);
    QCOMPARE(typed.pendingOperator, clicked.pendingOperator);
    QCOMPARE(typed.runningTotal, clicked.runningTotal);
    QCOMPARE(typed.shown.text2, clicked.shown.text2);
    QCOMPARE(typed.shown.label1, clicked.shown.label1);
}

void TestKeyboard::enterAfterReviewRecordsPendingSymbol() {
    Calculator calc;
    Recorder out;
    typeText(calc, out, "5*");
    reviewBack(calc);
    QCOMPARE(calc.pendingOperator, Operator::multiply);
    typeChar(calc, out, '\r');
    QCOMPARE(calc.tapeEntries[0], std::string("5"));
    QCOMPARE(calc.tapeOperators[0], std::string("+"));
    QCOMPARE(moneyText(calc.runningTotal), std::string("0"));
    QCOMPARE(calc.shown.label2, std::string("加"));
    QCOMPARE(calc.pendingOperator, Operator::add);
}

void TestKeyboard::spaceReadsTheTotalAndUntiesTheFile() {
    Calculator calc;
    Recorder out;
    typeText(calc, out, "12.5-25\r");
    calc.currentTapeFile = "tape.qtz";
    calc.shown.text2.clear();
    out.log.clear();
    QCOMPARE(entryCharacter(calc, out, ' '), 0);
    QCOMPARE(out.joined(), std::string("cue:zsw.wav blocking:zsw.wav cue:负.wav blocking:负.wav "
                                       "cue:1.wav blocking:1.wav cue:2.wav blocking:2.wav "
                                       "cue:d.wav blocking:d.wav cue:5.wav blocking:5.wav"));
    QVERIFY(calc.currentTapeFile.empty());
    QCOMPARE(rows(calc.shown.text2), std::string("12.5|-|25|-|"));
}

void TestKeyboard::escapeEndsAtOnceWithoutCue() {
    Calculator calc;
    Recorder out;
    calc.shown.text1 = "12";
    QCOMPARE(entryCharacter(calc, out, 27), 0);
    QCOMPARE(out.joined(), std::string("end"));
    QVERIFY(calc.shown.text1.empty());
}

void TestKeyboard::keyDown_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("requests");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("label2");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("width");
    // clang-format off
    QTest::newRow("page up") << int(KeyCode::pageUp) << "blocking:" << "12.5" << "乘" << 1 << 9615;
    QTest::newRow("delete clears all") << int(KeyCode::del) << "blocking:归零.wav" << "" << "加" << 0 << 5280;
    QTest::newRow("end clears the entry") << int(KeyCode::end) << "blocking:清除.wav" << "" << "乘" << 1 << 5280;
    QTest::newRow("page down reads out") << int(KeyCode::pageDown) << "cue:zsw.wav blocking:zsw.wav cue:8.wav blocking:8.wav" << "12.5" << "乘" << 1 << 5280;
    QTest::newRow("arrow key") << 37 << "blocking:" << "12.5" << "乘" << 1 << 5280;
    QTest::newRow("digit key") << int('7') << "blocking:" << "12.5" << "乘" << 1 << 5280;
    // clang-format on
}

void TestKeyboard::keyDown() {
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, "8 乘 1 2 . 5");
    calc.currentTapeFile = "tape.qtz";
    out.log.clear();
    entryKeyDown(calc, out, KeyCode(FETCHED(int, key)));
    QCOMPARE(QString::fromStdString(out.joined()), FETCHED(QString, requests));
    QCOMPARE(QString::fromStdString(calc.shown.text1), FETCHED(QString, entry));
    QCOMPARE(QString::fromStdString(calc.shown.label2), FETCHED(QString, label2));
    QCOMPARE(calc.lineNumber, FETCHED(int, lines));
    QCOMPARE(calc.panel.windowWidth, FETCHED(int, width));
    QCOMPARE(calc.currentTapeFile, std::string("tape.qtz"));
}

void TestKeyboard::pageUpKeepsTheCycles() {
    Calculator calc;
    Recorder out;
    windowDoubleClicked(calc.panel);
    windowDoubleClicked(calc.panel); // the one-line bar
    QVERIFY(!calc.panel.label2Visible);
    entryKeyDown(calc, out, KeyCode::pageUp);
    // The displays stand where they stood at start, in the full window.
    const PanelState start;
    QVERIFY(calc.panel.label2Visible);
    QCOMPARE(calc.panel.label1, start.label1);
    QCOMPARE(calc.panel.label2, start.label2);
    QCOMPARE(calc.panel.text1, start.text1);
    QCOMPARE(calc.panel.windowHeight, start.windowHeight);
    QVERIFY(calc.panel.windowWidth > start.windowWidth);
    QCOMPARE(calc.panel.windowLayout, 2);
    windowDoubleClicked(calc.panel); // still the bar-to-normal step
    QCOMPARE(calc.panel.windowWidth, start.windowWidth);
    QCOMPARE(calc.panel.windowLayout, 0);
}

void TestKeyboard::pastedIntoEntry_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("inserted");
    // clang-format off
    QTest::newRow("exponent kept whole") << "" << "1.5E+20" << "" << true << "1.5E+20";
    QTest::newRow("too large to use, still a number") << "" << "1e99999" << "" << true << "1e99999";
    QTest::newRow("between digits, full-width, blanks trimmed") << "1" << " ２\u3000\r\n" << "3" << true << "2";
    QTest::newRow("only blanks into a number") << "12" << "\t\n" << "" << true << "";
    QTest::newRow("only blanks into nothing") << "" << " " << "" << false << "";
    QTest::newRow("blank inside") << "" << "1 2" << "" << false << "";
    QTest::newRow("other digits") << "" << "\u0663" << "" << false << "";
    QTest::newRow("second sign") << "-" << "-1" << "" << false << "";
    QTest::newRow("second point") << "5" << "." << ".5" << false << "";
    // clang-format on
}

void TestKeyboard::pastedIntoEntry() {
    QFETCH(QString, inserted);
    const auto kept = tapecalc::pastedIntoEntry(FETCHED(QString, before).toStdString(),
                                                FETCHED(QString, pasted).toStdU32String(),
                                                FETCHED(QString, after).toStdString());
    QCOMPARE(kept.has_value(), FETCHED(bool, accepted));
    if (kept)
        QCOMPARE(QString::fromStdString(*kept), inserted);
}

void TestKeyboard::keyFilter_data() {
    QTest::addColumn<int>("typed");
    QTest::addColumn<int>("result");
    // clang-format off
    QTest::newRow("backspace") << 8 << 8;
    QTest::newRow("plus") << int('+') << int('+');
    QTest::newRow("minus") << int('-') << int('-');
    QTest::newRow("point") << int('.') << int('.');
    QTest::newRow("zero") << int('0') << int('0');
    QTest::newRow("nine") << int('9') << int('9');
    QTest::newRow("star becomes times") << int('*') << 0x00D7;
    QTest::newRow("slash becomes divide") << int('/') << 0x00F7;
    QTest::newRow("letter") << int('a') << 0;
    QTest::newRow("space") << int(' ') << 0;
    QTest::newRow("enter") << 13 << 0;
    QTest::newRow("line feed") << 10 << 0;
    QTest::newRow("paste shortcut") << 22 << 0;
    QTest::newRow("comma") << int(',') << 0;
    QTest::newRow("quote") << int('"') << 0;
    QTest::newRow("after nine") << int(':') << 0;
    QTest::newRow("chinese") << 0x5408 << 0;
    QTest::newRow("times typed directly") << 0x00D7 << 0;
    QTest::newRow("nul") << 0 << 0;
    QTest::newRow("negative code") << -1 << 0;
    // clang-format on
}

void TestKeyboard::keyFilter() {
    QFETCH(int, typed);
    QFETCH(int, result);
    QCOMPARE(tapeViewKeyFilter(typed), result);
}

QTEST_APPLESS_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
