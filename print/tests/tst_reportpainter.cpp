// The report on the page, drawn by the print library itself: every piece at its column on
// the grid of the digit width, whatever width the face gives "×" and "÷", and everything
// inside the margins any printer prints. Read back from the PDF with pdftotext.
#include "core/report.h"
#include "print/reportpainter.h"
#include "print/tests/printfixtures.h"
#include "testsupport/missing.h"
#include "testsupport/runtool.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>

using namespace tapecalc;
using namespace tapecalc::printtest;

namespace {

// A word of `pdftotext -bbox`, in points from the page's top left.
struct Word {
    QString text;
    double xMin, yMin, xMax;
};

QList<Word> wordsOf(const QString &bbox) {
    static const QRegularExpression word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re");
    QList<Word> words;
    for (const QRegularExpressionMatch &m : word.globalMatch(bbox))
        words.append({m.captured(4).replace("&amp;", "&"), m.captured(1).toDouble(),
                      m.captured(2).toDouble(), m.captured(3).toDouble()});
    return words;
}

} // namespace

class TestReportPainter : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void columnsOnTheDigitGrid();
};

void TestReportPainter::columnsOnTheDigitGrid() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        TAPECALC_MISSING("pdftotext (poppler-utils) is needed to find the words on the page");
    // CJK fonts draw "×" and "÷" twice as wide as a digit; the items after them must not
    // move. The first entry is long enough to measure the digit width on the page.
    const QStringList items{"+ 1234567", "× 3",  "÷ 4.5", "× 66", "- 7",
                            "÷ 8",       "× 99", "÷ 10",  "× 2"};
    Calculator calc;
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QStringList parts = items.at(i).split(' ');
        calc.tapeOperators[std::size_t(i)] = parts.at(0).toStdString();
        calc.tapeEntries[std::size_t(i)] = parts.at(1).toStdString();
    }
    calc.lineNumber = int(items.size()) - 1;
    const std::vector<ReportLine> report = reportLines(calc, "2026/12/6 16:58:07");
    const QList<std::size_t> columns{0, 11, 23, 35, 47, 59, 71, 83};
    QCOMPARE(report.at(0).size(), std::size_t(8));
    for (int k = 0; k < 8; ++k)
        QCOMPARE(report.at(0).at(std::size_t(k)).column, columns.at(k));

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString pdf = writeReportPdf(report, programFont(), folder.path(), "grid.pdf");
    QVERIFY(!pdf.isEmpty());
    const QString bbox = runTool("pdftotext", {"-bbox", pdf, "-"});
    const QList<Word> words = wordsOf(bbox);
    // Everything, the 86 hyphens of the rule too, at least 10 mm inside the paper's edges,
    // where any printer prints.
    const QRegularExpressionMatch page =
        QRegularExpression(R"re(<page width="([\d.]+)" height="[\d.]+">)re").match(bbox);
    QVERIFY(page.hasMatch());
    const double margin = 10 / 25.4 * 72, right = page.captured(1).toDouble() - margin;
    QVERIFY(std::any_of(words.cbegin(), words.cend(),
                        [](const Word &w) { return w.text == QString(86, '-'); }));
    for (const Word &w : words)
        QVERIFY2(w.xMin >= margin && w.yMin >= margin && w.xMax <= right,
                 qPrintable(QStringLiteral("%1 at %2..%3, %4")
                                .arg(w.text)
                                .arg(w.xMin)
                                .arg(w.xMax)
                                .arg(w.yMin)));
    // The two tape rows: the operators and entries alternate, each row on its own height.
    QVERIFY2(words.size() >= 18, qPrintable(QString::number(words.size())));
    QList<Word> row;
    for (const Word &word : words)
        if (std::abs(word.yMin - words.at(0).yMin) < 1)
            row.append(word);
    std::sort(row.begin(), row.end(), [](const Word &a, const Word &b) { return a.xMin < b.xMin; });
    QCOMPARE(row.size(), 16);
    // The cell from the first and the last item of the row; every item between must then
    // stand on the same grid, which a wide "×" before it would break.
    const double left = row.at(0).xMin;
    const double cell = (row.at(14).xMin - left) / double(columns.at(7));
    QVERIFY2(cell > 5 && cell < 8, qPrintable(QString::number(cell))); // a digit at 12 pt
    for (int k = 0; k < 8; ++k) {
        const Word &op = row.at(2 * k);
        const Word &entry = row.at(2 * k + 1);
        QCOMPARE(op.text + " " + entry.text, items.at(k));
        QVERIFY2(std::abs(op.yMin - row.at(0).yMin) < 1, qPrintable(items.at(k)));
        const QString where = QStringLiteral("%1 at %2 cells, wanted %3")
                                  .arg(items.at(k))
                                  .arg((op.xMin - left) / cell)
                                  .arg(columns.at(k));
        QVERIFY2(std::abs(op.xMin - left - double(columns.at(k)) * cell) < cell / 20,
                 qPrintable(where));
        QVERIFY2(std::abs(entry.xMin - op.xMin - 2 * cell) < cell / 20, qPrintable(where));
    }
    const Word &ninth = words.at(16);
    QCOMPARE(ninth.text, QString("×"));
    QVERIFY(ninth.yMin > row.at(0).yMin + 1);
    QVERIFY(std::abs(ninth.xMin - left) < cell / 20);
}

QTEST_MAIN(TestReportPainter)
#include "tst_reportpainter.moc"
