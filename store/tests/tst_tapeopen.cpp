// Opening tape files from a real disk: the coded symbols read and the totals recomputed
// (the grammar itself is core's, tst_tapeformat), the state a tape leaves, and hostile
// files (gone, a folder, a device, a pipe, too large, a row too long, outside the folder,
// binary).
#include "core/tapeformat.h"
#include "core/tests/driver.h"
#include "store/tapefiles.h"
#include "store/tests/tapefixtures.h"

#include <QFileInfo>
#include <QProcess>

#include <string>

using namespace tapecalc;
using namespace tapecalc::tapetest;

class TestTapeOpen : public TapeFolderSuite {
    Q_OBJECT

  private Q_SLOTS:
    void open_data();
    void open();
    void openFillsTotalsAndShowsFileAsStored();
    void openTwiceGivesSameState();
    void openWithEmptyNameDoesNothing();
    void openHostileFile_data();
    void openHostileFile();
    void openDoesNotLeaveFolder();
    void openBinaryFile();
    void openVeryLongLine();
    void openRowBound_data();
    void openRowBound();
    void openMoreThanTapeSlots();
};

void TestTapeOpen::open_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("symbols");
    QTest::addColumn<QString>("total");
    const QString times(QChar(0x00D7));
    const QString divide(QChar(0x00F7));
    const QByteArray example = "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n2\r\n" + gbkTimes + "\r\n";

    // clang-format off
    QTest::newRow("saved example") << example << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("utf-8 symbols") << "6\r\n" + utf8Divide + "\r\n4\r\n+\r\n" << QStringList{"6", "4"} << QStringList{divide, "+"} << "1.5";
    QTest::newRow("utf-8 with bom") << utf8Bom + "6\r\n" + utf8Times + "\r\n4\r\n+\r\n" << QStringList{"6", "4"} << QStringList{times, "+"} << "24";
    QTest::newRow("bytes of neither encoding") << QByteArray("5\r\n\x81 \x81 \r\n3\r\n+\r\n") << QStringList{"5", "3"} << QStringList{QString(QChar::ReplacementCharacter) + " " + QChar::ReplacementCharacter, "+"} << "5";
    // clang-format on
}

void TestTapeOpen::open() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, symbols);
    QFETCH(QString, total);
    const QString data = freshFolder("open");
    writeBytes(QDir(data).filePath("t.qtz"), bytes);

    Calculator calc;
    openSelectedTape(calc, data, "t.qtz");
    QCOMPARE(calc.lineNumber, int(entries.size()));
    QCOMPARE(calc.lastLineNumber, calc.lineNumber);
    QCOMPARE(entriesOf(calc, calc.lineNumber), entries);
    QCOMPARE(symbolsOf(calc, calc.lineNumber), symbols);
    QCOMPARE(QString::fromStdString(calc.shown.label1), total);
    QCOMPARE(QString::fromStdString(moneyText(calc.runningTotal)), total);
    QVERIFY(calc.tapeEntries[static_cast<std::size_t>(calc.lineNumber)].empty());
}

void TestTapeOpen::openFillsTotalsAndShowsFileAsStored() {
    const QString data = freshFolder("openState");
    const QByteArray bytes = "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n2\r\n" + gbkTimes + "\r\n\r\n";
    writeBytes(QDir(data).filePath("t.qtz"), bytes);

    Calculator calc = tapeOf({{"1", "+"}, {"1", "+"}, {"1", "+"}, {"1", "+"}, {"1", "+"}});
    calc.tapeTotals[4] = Money{990000};
    calc.tapeTotals[3] = Money{10000};
    calc.pendingOperator = Operator::multiply;
    calc.runningTotal = Money{50000};
    calc.shown = {"9", "5", "乘", "5", "old", 7};

    openSelectedTape(calc, data, "t.qtz");
    QCOMPARE(calc.lineNumber, 3);
    QCOMPARE(calc.lastLineNumber, 3);
    QCOMPARE(calc.tapeTotals[0], std::optional<Money>(Money{0}));
    QCOMPARE(calc.tapeTotals[1], std::optional<Money>(Money{50000}));
    QCOMPARE(calc.tapeTotals[2], std::optional<Money>(Money{80000}));
    QCOMPARE(calc.tapeTotals[3], std::optional<Money>());
    QCOMPARE(calc.tapeTotals[4], std::optional<Money>());
    QVERIFY(calc.tapeEntries[3].empty() && calc.tapeEntries[4].empty());
    QVERIFY(calc.tapeOperators[4].empty());
    QVERIFY(calc.tapeFromFile);
    QCOMPARE(QString::fromStdString(calc.currentTapeFile), QDir(data).filePath("t.qtz"));
    QCOMPARE(calc.shown.text1, std::string());
    QCOMPARE(calc.shown.label1, std::string("16"));
    QCOMPARE(calc.shown.text2, std::string("5\r\n+\r\n3\r\n×\r\n2\r\n×\r\n\r\n"));
    QVERIFY(calc.shown.text2Writes > 7);
    // Left as they were: the indicator, the line display and the pending operator.
    QCOMPARE(calc.shown.label2, std::string("乘"));
    QCOMPARE(calc.shown.label9, std::string("5"));
    QCOMPARE(calc.pendingOperator, Operator::multiply);
}

void TestTapeOpen::openTwiceGivesSameState() {
    const QString data = freshFolder("openTwice");
    writeBytes(QDir(data).filePath("t.qtz"), "5\r\n+\r\n3\r\n-\r\n");
    Calculator once;
    openSelectedTape(once, data, "t.qtz");
    Calculator twice;
    openSelectedTape(twice, data, "t.qtz");
    openSelectedTape(twice, data, "t.qtz");
    QCOMPARE(twice.lineNumber, once.lineNumber);
    QCOMPARE(twice.runningTotal, once.runningTotal);
    QCOMPARE(twice.tapeEntries, once.tapeEntries);
    QCOMPARE(twice.tapeOperators, once.tapeOperators);
    QCOMPARE(twice.tapeTotals, once.tapeTotals);
    QCOMPARE(twice.shown.text2, once.shown.text2);
    QCOMPARE(twice.currentTapeFile, once.currentTapeFile);
}

void TestTapeOpen::openWithEmptyNameDoesNothing() {
    Calculator calc = tapeOf({{"5", "+"}});
    calc.shown.text1 = "3";
    calc.runningTotal = Money{50000};
    openSelectedTape(calc, folder(), QString());
    QCOMPARE(calc.lineNumber, 1);
    QCOMPARE(calc.tapeEntries[0], std::string("5"));
    QCOMPARE(calc.shown.text1, std::string("3"));
    QVERIFY(!calc.tapeFromFile);
    QCOMPARE(calc.runningTotal, Money{50000});
}

void TestTapeOpen::openHostileFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outcome");
    // clang-format off
    QTest::newRow("file removed after listing") << "gone.qtz" << int(OpenOutcome::unreadable);
    QTest::newRow("data folder missing") << "missing/x.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("name is a folder") << "folder.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("link to a device") << "zero.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("named pipe") << "pipe.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("one byte over the largest tape") << "sparse.qtz" << int(OpenOutcome::tooLarge);
    QTest::newRow("name that leaves the folder") << "../outside.qtz" << int(OpenOutcome::notATape);
    // clang-format on
}

// Whatever the list shows, opening it never takes the tape on screen with it: the
// calculator stays as it was, and the outcome says why.
void TestTapeOpen::openHostileFile() {
    QFETCH(QString, name);
    const QString base = freshFolder("hostile");
    const QString data = QDir(base).filePath("data");
    QDir().mkpath(QDir(data).filePath("folder.qtz"));
    writeBytes(QDir(base).filePath("outside.qtz"), "5\r\n+\r\n");
#ifdef Q_OS_WIN
    if (name == "zero.qtz" || name == "pipe.qtz")
        QSKIP("no devices or named pipes among a folder's files on Windows");
#else
    QFile::link("/dev/zero", QDir(data).filePath("zero.qtz"));
    QVERIFY(QProcess::execute("mkfifo", {QDir(data).filePath("pipe.qtz")}) == 0);
#endif
    {
        QFile sparse(QDir(data).filePath("sparse.qtz"));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(largestTapeFile + 1));
    }

    Calculator calc = tapeOf({{"5", "+"}, {"3", "-"}});
    calc.runningTotal = Money{80000};
    calc.shown.label1 = "8";
    calc.shown.text2 = "5\r\n+\r\n3\r\n-\r\n";
    calc.currentTapeFile = "elsewhere.qtz";
    const Calculator before = calc;
    QCOMPARE(int(openSelectedTape(calc, data, name).outcome), FETCHED(int, outcome));
    QCOMPARE(calc.lineNumber, before.lineNumber);
    QVERIFY(calc.tapeEntries == before.tapeEntries);
    QCOMPARE(calc.runningTotal, before.runningTotal);
    QCOMPARE(calc.shown.text2, before.shown.text2);
    QCOMPARE(calc.currentTapeFile, before.currentTapeFile);
    QCOMPARE(calc.tapeFromFile, before.tapeFromFile);
    QVERIFY(!QFileInfo::exists(QDir(data).filePath("gone.qtz")));
}

void TestTapeOpen::openDoesNotLeaveFolder() {
    const QString base = freshFolder("escape");
    const QString data = QDir(base).filePath("data");
    QDir().mkpath(data + "/sub");
    writeBytes(QDir(base).filePath("outside.qtz"), "5\r\n+\r\n");
    writeBytes(QDir(data).filePath("sub/inner.qtz"), "6\r\n+\r\n");
    const QStringList names{"../outside.qtz",
                            "..",
                            QDir(base).filePath("outside.qtz"),
                            "sub/inner.qtz",
                            "sub\\inner.qtz",
                            "..\\outside.qtz"};
    for (const QString &name : names) {
        Calculator calc;
        openSelectedTape(calc, data, name);
        QVERIFY2(calc.lineNumber == 0, qPrintable(name));
        QVERIFY2(calc.shown.text2.empty(), qPrintable(name));
        QVERIFY2(calc.currentTapeFile.empty(), qPrintable(name));
    }
}

void TestTapeOpen::openBinaryFile() {
    const QString data = freshFolder("binary");
    QByteArray bytes;
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.append(static_cast<char>(seed >> 24));
    }
    writeBytes(QDir(data).filePath("b.qtz"), bytes);
    Calculator calc;
    openSelectedTape(calc, data, "b.qtz");
    // Random bytes hold some line ends and commas; what matters is a sane tape.
    QVERIFY(calc.lineNumber > 0);
    QCOMPARE(calc.lastLineNumber, calc.lineNumber);
    QCOMPARE(calc.tapeEntries.size(), std::size_t(tapeSlots));
    QCOMPARE(calc.shown.label1, moneyText(calc.runningTotal));
    QVERIFY(!calc.shown.text2.empty());
}

void TestTapeOpen::openVeryLongLine() {
    const QString data = freshFolder("longLine");
    const QByteArray digits(qsizetype(longestTapeRow), '7');
    const QByteArray letters(qsizetype(longestTapeRow), 'x');
    writeBytes(QDir(data).filePath("l.qtz"),
               digits + "\r\n+\r\n5\r\n+\r\n" + letters + "\r\n+\r\n2\r\n+\r\n");
    Calculator calc;
    openSelectedTape(calc, data, "l.qtz");
    QCOMPARE(calc.lineNumber, 4);
    QCOMPARE(calc.tapeEntries[0].size(), longestTapeRow);
    QCOMPARE(calc.tapeEntries[2].size(), longestTapeRow);
    // Tens of thousands of digits are out of range (read as 0); letters are no number (0).
    QCOMPARE(calc.shown.label1, std::string("7"));
}

// The bound counts characters, not bytes or line ends; a row past it anywhere refuses the
// file and leaves the tape as it was.
void TestTapeOpen::openRowBound_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("opens");
    const auto row = qsizetype(longestTapeRow);
    // clang-format off
    QTest::newRow("the longest row, CR LF")     << QByteArray(row, '7') + "\r\n+\r\n"    << true;
    QTest::newRow("the longest row of GBK ×")   << gbkTimes.repeated(row) + "\r\n+\r\n"  << true;
    QTest::newRow("the longest row, CR alone")  << QByteArray(row, '7') + "\r+\r"        << true;
    QTest::newRow("one more")                   << QByteArray(row + 1, '7') + "\r\n+\r\n" << false;
    QTest::newRow("one more of UTF-8 ×")        << "5\r\n" + utf8Times.repeated(row + 1) << false;
    QTest::newRow("one more, last, no line end") << "5\r\n+\r\n" + QByteArray(row + 1, '7') << false;
    // clang-format on
}

void TestTapeOpen::openRowBound() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    const QString data = freshFolder("rowBound");
    writeBytes(QDir(data).filePath("r.qtz"), bytes);
    Calculator calc = tapeOf({{"5", "+"}});
    const Calculator before = calc;
    QCOMPARE(int(openSelectedTape(calc, data, "r.qtz").outcome),
             int(opens ? OpenOutcome::opened : OpenOutcome::rowTooLong));
    QCOMPARE(calc.tapeEntries == before.tapeEntries, !opens);
}

void TestTapeOpen::openMoreThanTapeSlots() {
    const QString data = freshFolder("tooLong");
    const int pairs = tapeSlots + 9;
    QByteArray bytes;
    for (int i = 0; i < pairs; ++i)
        bytes += QByteArray::number(i % 10) + "\r\n+\r\n";
    writeBytes(QDir(data).filePath("long.qtz"), bytes);

    Calculator calc;
    const Opened opened = openSelectedTape(calc, data, "long.qtz");
    // The tape takes what it holds; the rest is counted, and the total, the view and a
    // saved file all hold the same lines.
    QCOMPARE(opened.linesLeftOut, pairs - tapeSlots);
    QCOMPARE(calc.lineNumber, tapeSlots);
    QCOMPARE(calc.lastLineNumber, tapeSlots);
    QCOMPARE(calc.tapeEntries[tapeSlots - 1], std::to_string((tapeSlots - 1) % 10));
    long long sum = 0;
    for (int i = 0; i < tapeSlots; ++i)
        sum += i % 10;
    QCOMPARE(calc.shown.label1, std::to_string(sum));
    QCOMPARE(calc.shown.text2, tapeText(calc));

    // A save never writes the shorter tape over the longer file.
    QCOMPARE(saveTape(calc, data, moment, QString::fromStdString(calc.shown.text2)),
             SaveOutcome::savedNewFilePartial);
    QCOMPARE(readBytes(QDir(data).filePath("long.qtz")), bytes);
    Calculator reopened;
    QCOMPARE(openSelectedTape(reopened, data, tapeFileName(moment)).linesLeftOut, 0);
    QCOMPARE(reopened.shown.label1, calc.shown.label1);
}

QTEST_GUILESS_MAIN(TestTapeOpen)
#include "tst_tapeopen.moc"
