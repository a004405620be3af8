// The printed report's text: items at tab columns, eight to a row, pushed to the next
// line past their column; the rule; the summary's exact text.
#include "core/report.h"

#include <QStringList>
#include <QTest>

#include <limits>

using namespace tapecalc;

namespace {

// The report as text lines, one per printed line.
std::vector<std::string> printReport(const Calculator &calc, std::string_view moment) {
    std::vector<std::string> text;
    for (const ReportLine &line : reportLines(calc, moment))
        text.push_back(lineText(line));
    return text;
}

const std::string rule(86, '-');
const std::string moment = "2026-12-06 16:58:07";

// Items given as "symbol entry" pairs split at the first space; "" leaves a slot empty.
Calculator tapeOf(const QStringList &items, int lineNumber) {
    Calculator calc;
    for (int i = 0; i < items.size(); ++i) {
        const QString item = items.at(i);
        const qsizetype space = item.indexOf(QLatin1Char(' '));
        const auto slot = static_cast<std::size_t>(i);
        calc.tapeOperators[slot] = item.left(space).toStdString();
        calc.tapeEntries[slot] = item.mid(space + 1).toStdString();
    }
    calc.lineNumber = lineNumber;
    calc.lastLineNumber = lineNumber;
    return calc;
}

QStringList toList(const std::vector<std::string> &lines) {
    QStringList list;
    for (const auto &line : lines)
        list << QString::fromStdString(line);
    return list;
}

QString spaces(int n) {
    return QString(n, QLatin1Char(' '));
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void rows_data();
    void rows();
    void emptyTape();
    void summary_data();
    void summary();
    void lineNumberPastTheTape();
};

void TestReport::rows_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("lineNumber");
    QTest::addColumn<QStringList>("rows");

    // clang-format off
    QTest::newRow("one item") << QStringList{"+ 5"} << 1 << QStringList{"+ 5"};
    QTest::newRow("columns at 0, 11 and 23") << QStringList{"+ 5", "× 3", "× 2"} << 3 << QStringList{"+ 5" + spaces(8) + "× 3" + spaces(9) + "× 2"};

    QStringList nine;
    QString firstRow;
    for (int i = 1; i <= 9; ++i)
        nine << QStringLiteral("+ %1").arg(i);
    for (int k = 0; k < 8; ++k)
        firstRow += spaces(k == 0 ? 0 : (k == 1 ? 8 : 9)) + nine.at(k);
    QTest::newRow("nine items make two rows") << nine << 9 << QStringList{firstRow, "+ 9"};

    QTest::newRow("item of eleven characters ends at the next column") << QStringList{"+ 123456789", "- 1"} << 2 << QStringList{"+ 123456789- 1"};
    QTest::newRow("item of twelve characters pushes the next to a new line") << QStringList{"+ 1234567890", "- 1", "- 2"} << 3 << QStringList{"+ 1234567890", spaces(11) + "- 1" + spaces(9) + "- 2"};
    QTest::newRow("item past several columns") << QStringList{"+ 1234567890123456789012345678", "- 1"} << 2 << QStringList{"+ 1234567890123456789012345678", spaces(11) + "- 1"};
    QTest::newRow("long item in the middle of a row") << QStringList{"+ 1", "+ 22222222222222", "+ 3"} << 3 << QStringList{"+ 1" + spaces(8) + "+ 22222222222222", spaces(23) + "+ 3"};
    QTest::newRow("long last item of a row, then the ninth") << QStringList{"+ 1", "+ 2", "+ 3", "+ 4", "+ 5", "+ 6", "+ 7", "+ 88888888888888", "+ 9"} << 9 << QStringList{"+ 1" + spaces(8) + "+ 2" + spaces(9) + "+ 3" + spaces(9) + "+ 4" + spaces(9) + "+ 5" + spaces(9) + "+ 6" + spaces(9) + "+ 7" + spaces(9) + "+ 88888888888888", "+ 9"};
    // "×" is two bytes in UTF-8 but one character on paper.
    QTest::newRow("width counts characters, not bytes") << QStringList{"× 1234567", "÷ 2"} << 2 << QStringList{"× 1234567" + spaces(2) + "÷ 2"};
    QTest::newRow("slots with empty entries are skipped") << QStringList{"+ 5", "", "- 3"} << 3 << QStringList{"+ 5" + spaces(8) + "- 3"};
    QTest::newRow("entry left at the line number prints with its slot's symbol") << QStringList{"+ 5", "- 7"} << 1 << QStringList{"+ 5" + spaces(8) + "- 7"};
    QTest::newRow("lines past the line number are not printed") << QStringList{"+ 5", "- 7", "+ 9"} << 1 << QStringList{"+ 5" + spaces(8) + "- 7"};
    QTest::newRow("entry kept as typed") << QStringList{"+  5 "} << 1 << QStringList{"+  5 "};
    // clang-format on
}

void TestReport::rows() {
    QFETCH(QStringList, items);
    QFETCH(int, lineNumber);
    QFETCH(QStringList, rows);
    const Calculator calc = tapeOf(items, lineNumber);
    const QStringList lines = toList(printReport(calc, moment));
    QCOMPARE(lines.mid(0, lines.size() - 2), rows);
    QCOMPARE(lines.at(lines.size() - 2).toStdString(), rule);
    // The printer places each piece at its column: pieces must come in order, apart.
    for (const ReportLine &line : reportLines(calc, moment))
        for (std::size_t i = 1; i < line.size(); ++i)
            QVERIFY(line[i].column >=
                    line[i - 1].column + QString::fromStdString(line[i - 1].text).size());
}

void TestReport::emptyTape() {
    const QStringList lines = toList(printReport(Calculator(), moment));
    QCOMPARE(lines, QStringList({"", QString::fromStdString(rule),
                                 "    合计： 0       共计： 0 笔。时间:2026-12-06 16:58:07   "}));
}

void TestReport::summary_data() {
    QTest::addColumn<qint64>("units");
    QTest::addColumn<int>("lineNumber");
    QTest::addColumn<QString>("line");
    // clang-format off
    QTest::newRow("sixteen after three lines") << qint64(160000) << 3 << "    合计： 16       共计： 3 笔。时间:2026-12-06 16:58:07   ";
    QTest::newRow("negative total has no sign space") << qint64(-122500) << 12 << "    合计：-12.25       共计： 12 笔。时间:2026-12-06 16:58:07   ";
    QTest::newRow("fraction") << qint64(5) << 1 << "    合计： 0.0005       共计： 1 笔。时间:2026-12-06 16:58:07   ";
    QTest::newRow("largest total") << std::numeric_limits<qint64>::max() << 30001 << "    合计： 922337203685477.5807       共计： 30001 笔。时间:2026-12-06 16:58:07   ";
    QTest::newRow("smallest total") << std::numeric_limits<qint64>::min() << 2 << "    合计：-922337203685477.5808       共计： 2 笔。时间:2026-12-06 16:58:07   ";
    // clang-format on
}

void TestReport::summary() {
    QFETCH(qint64, units);
    QFETCH(int, lineNumber);
    QFETCH(QString, line);
    Calculator calc;
    calc.runningTotal = Money{units};
    calc.lineNumber = lineNumber;
    const std::vector<std::string> lines = printReport(calc, moment);
    QCOMPARE(QString::fromStdString(lines.back()), line);
}

void TestReport::lineNumberPastTheTape() {
    // A line number past the tape's 30,001 slots: the report reads no further, and counts
    // only the lines it lists.
    Calculator calc;
    for (std::size_t i = 0; i < std::size_t(tapeSlots); ++i) {
        calc.tapeEntries[i] = "1";
        calc.tapeOperators[i] = "+";
    }
    calc.lineNumber = tapeSlots + 5;
    const std::vector<std::string> lines = printReport(calc, moment);
    QCOMPARE(lines.size(), std::size_t((tapeSlots + 7) / 8 + 2));
    QCOMPARE(lines.at(lines.size() - 3), std::string("+ 1"));
    QVERIFY(QString::fromStdString(lines.back())
                .contains(QStringLiteral("共计： %1 笔。").arg(tapeSlots)));
}

QTEST_APPLESS_MAIN(TestReport)
#include "tst_report.moc"
