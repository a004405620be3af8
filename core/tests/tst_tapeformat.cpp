// The tape format read back against what wrote it: random key sessions, their tape text
// and the view as a save back writes it, each read again into a fresh calculator.
#include "core/tapeformat.h"
#include "core/tests/driver.h"

#include <QTest>

using namespace tapecalc;

class TestTapeFormat : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void tapeTextReadsBackAsTheKeyedTape();
    void savedBackViewReadsAsTheView();
};

namespace {

std::string describe(const std::string &pressed, const Calculator &calc) {
    return pressed + "\n" + rows(calc.shown.text2) + "\ntotal " + moneyText(calc.runningTotal);
}

} // namespace

// The oracle is the calculator that the keys built: every recorded line's entry and its
// total before it, and the running total, come back from the text alone.
void TestTapeFormat::tapeTextReadsBackAsTheKeyedTape() {
    std::mt19937 random(11);
    for (int session = 0; session < 500; ++session) {
        Calculator keyed;
        Recorder out;
        const std::string pressed = pressRandomSession(keyed, out, random);
        Calculator read;
        loadTapeText(read, tapeText(keyed));
        const std::string why = describe(pressed, keyed);
        QVERIFY2(read.runningTotal == keyed.runningTotal, why.c_str());
        QVERIFY2(read.lineNumber == keyed.lineNumber, why.c_str());
        for (int k = 0; k < keyed.lineNumber; ++k) {
            const auto slot = static_cast<std::size_t>(k);
            QVERIFY2(read.tapeEntries[slot] == trimBlanks(keyed.tapeEntries[slot]), why.c_str());
            QVERIFY2(read.tapeTotals[slot] == keyed.tapeTotals[slot], why.c_str());
        }
        QVERIFY2(read.shown.label1 == moneyText(keyed.runningTotal), why.c_str());
        QVERIFY(read.tapeFromFile && read.currentTapeFile.empty());
    }
}

// A view as a save back writes it (line ends made CR LF, blank ends dropped) holds the
// keyed tape, whatever line ends a text box handed over; writing it again changes
// nothing.
void TestTapeFormat::savedBackViewReadsAsTheView() {
    static const char *const lineEnds[] = {"\r\n", "\n", "\r", "\u2028", "\u2029"};
    std::mt19937 random(12);
    for (int session = 0; session < 300; ++session) {
        Calculator keyed;
        Recorder out;
        const std::string pressed = pressRandomSession(keyed, out, random);
        std::string view;
        for (const char c : tapeText(keyed))
            if (c == '\n')
                view += lineEnds[random() % std::size(lineEnds)];
            else if (c != '\r')
                view += c;
        view += random() % 2 ? " \t\n\n" : "";

        const std::string saved = savedBackText(view);
        QCOMPARE(savedBackText(saved), saved);
        QVERIFY(saved.empty() || saved.ends_with("\r\n"));
        Calculator fromSaved;
        loadTapeText(fromSaved, saved);
        const std::string why = describe(pressed, keyed);
        QVERIFY2(fromSaved.runningTotal == keyed.runningTotal, why.c_str());
        QVERIFY2(fromSaved.lineNumber == keyed.lineNumber, why.c_str());
    }
}

QTEST_APPLESS_MAIN(TestTapeFormat)
#include "tst_tapeformat.moc"
