// The tape format: the grammar the reader takes, row by row, and the format read back
// against what wrote it: random key sessions, their tape text and the view as a save
// back writes it, each read again into a fresh calculator.
#include "core/tapeformat.h"
#include "core/tests/driver.h"

#include <QStringList>
#include <QTest>

using namespace tapecalc;

class TestTapeFormat : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void read_data();
    void read();
    void tapeTextReadsBackAsTheKeyedTape();
    void savedBackViewReadsAsTheView();
};

namespace {

std::string describe(const std::string &pressed, const Calculator &calc) {
    return pressed + "\n" + rows(calc.shown.text2) + "\ntotal " + moneyText(calc.runningTotal);
}

QStringList column(const Calculator &calc, const TapeColumn<std::string> &values) {
    QStringList list;
    for (int i = 0; i < calc.lineNumber && Calculator::inTape(i); ++i)
        list << QString::fromStdString(values[static_cast<std::size_t>(i)]);
    return list;
}

} // namespace

// The text in UTF-8, as the store hands it over whatever the file's coding.
void TestTapeFormat::read_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("symbols");
    QTest::addColumn<QString>("total");
    const QByteArray utf8Times("\xC3\x97");
    const QByteArray utf8Divide("\xC3\xB7");
    const QString times(QChar(0x00D7));
    const QString divide(QChar(0x00F7));
    const QByteArray example = "5\r\n+\r\n3\r\n" + utf8Times + "\r\n2\r\n" + utf8Times + "\r\n";

    // clang-format off
    QTest::newRow("saved example") << example << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("saved back with empty last line") << example + "\r\n" << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("several empty lines and blanks at the end") << example + "\r\n  \r\n\r\n" << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("odd number of lines keeps the symbol before") << QByteArray("5\r\n+\r\n3\r\n") << QStringList{"5", "3"} << QStringList{"+", "+"} << "8";
    QTest::newRow("one entry alone") << QByteArray("7\r\n") << QStringList{"7"} << QStringList{""} << "7";
    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList() << "0";
    QTest::newRow("only empty lines") << QByteArray("\r\n\r\n") << QStringList() << QStringList() << "0";
    QTest::newRow("more blank rows than a full tape has rows") << example + QByteArray("\r").repeated(mostRowsShownAsStored) << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("no line end at the end") << QByteArray("5\r\n-\r\n2") << QStringList{"5", "2"} << QStringList{"-", "-"} << "3";
    QTest::newRow("line feeds only") << QByteArray("5\n+\n3\n-\n") << QStringList{"5", "3"} << QStringList{"+", "-"} << "8";
    QTest::newRow("commas end values") << QByteArray("5,+\r\n3,-\r\n1\r\n") << QStringList{"5", "3", "1"} << QStringList{"+", "-", "-"} << "7";
    QTest::newRow("quoted values") << QByteArray("\"5\"\r\n\"+\"\r\n\" 3 \"\r\n\"-\"\r\n") << QStringList{"5", "3"} << QStringList{"+", "-"} << "8";
    QTest::newRow("comma inside quotes") << QByteArray("\"1,5\"\r\n+\r\n2\r\n+\r\n") << QStringList{"1,5", "2"} << QStringList{"+", "+"} << "2";
    QTest::newRow("unclosed quote ends with its line") << QByteArray("\"5\r\n+\r\n2\r\n+\r\n") << QStringList{"5", "2"} << QStringList{"+", "+"} << "7";
    QTest::newRow("blanks around values") << QByteArray("   5  \r\n\t+ \r\n 2\r\n") << QStringList{"5", "2"} << QStringList{"+", "+"} << "7";
    QTest::newRow("empty line inside is an empty value") << QByteArray("5\r\n\r\n3\r\n+\r\n") << QStringList{"5", "3"} << QStringList{"", "+"} << "5";
    QTest::newRow("division by zero keeps the total") << "5\r\n" + utf8Divide + "\r\n0\r\n+\r\n" << QStringList{"5", "0"} << QStringList{divide, "+"} << "5";
    QTest::newRow("division rounds to four places") << "2\r\n" + utf8Divide + "\r\n3\r\n+\r\n" << QStringList{"2", "3"} << QStringList{divide, "+"} << "0.6667";
    QTest::newRow("product out of range keeps the total") << "922337203685477\r\n" + utf8Times + "\r\n1000\r\n+\r\n" << QStringList{"922337203685477", "1000"} << QStringList{times, "+"} << "922337203685477";
    QTest::newRow("sum out of range keeps the total") << QByteArray("922337203685477\r\n+\r\n922337203685477\r\n+\r\n") << QStringList{"922337203685477", "922337203685477"} << QStringList{"+", "+"} << "922337203685477";
    QTest::newRow("negative and fractions") << "-1.5\r\n" + utf8Times + "\r\n2\r\n-\r\n0.25\r\n-\r\n" << QStringList{"-1.5", "2", "0.25"} << QStringList{times, "-", "-"} << "-3.25";
    QTest::newRow("first line whole, later ones by their leading number") << QByteArray("12.5.3\r\n+\r\n1e3\r\n+\r\n2x\r\n+\r\n") << QStringList{"12.5.3", "1e3", "2x"} << QStringList{"+", "+", "+"} << "1002";
    QTest::newRow("not a number reads as zero") << QByteArray("abc\r\n+\r\n4\r\n+\r\n-\r\n+\r\n.\r\n+\r\n") << QStringList{"abc", "4", "-", "."} << QStringList{"+", "+", "+", "+"} << "4";
    QTest::newRow("unknown symbol changes nothing") << QByteArray("5\r\n?\r\n3\r\n+\r\n") << QStringList{"5", "3"} << QStringList{"?", "+"} << "5";
    QTest::newRow("last symbol is not applied") << "5\r\n+\r\n3\r\n" + utf8Times + "\r\n" << QStringList{"5", "3"} << QStringList{"+", times} << "8";
    // clang-format on
}

void TestTapeFormat::read() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, symbols);
    QFETCH(QString, total);
    Calculator calc;
    QCOMPARE(loadTapeText(calc, bytes.toStdString()), 0);
    QCOMPARE(calc.lineNumber, int(entries.size()));
    QCOMPARE(calc.lastLineNumber, calc.lineNumber);
    QCOMPARE(column(calc, calc.tapeEntries), entries);
    QCOMPARE(column(calc, calc.tapeOperators), symbols);
    QCOMPARE(QString::fromStdString(calc.shown.label1), total);
    QCOMPARE(QString::fromStdString(moneyText(calc.runningTotal)), total);
    QVERIFY(calc.tapeEntries[static_cast<std::size_t>(calc.lineNumber)].empty());
    // The view shows the same tape, in no more rows than a text box lays out at once.
    QVERIFY(rowCount(calc.shown.text2) <= mostRowsShownAsStored);
    Calculator shown;
    loadTapeText(shown, calc.shown.text2);
    QCOMPARE(column(shown, shown.tapeEntries), entries);
}

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

        const std::string saved = tapeFileText(view);
        QCOMPARE(tapeFileText(saved), saved);
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
