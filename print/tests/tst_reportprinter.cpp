// The report on paper for real, by the print library alone: the job goes through CUPS to
// the cups-pdf queue TapePDF (tools/start-cups.sh), named for it, and is checked in the
// PDF that comes out: its text, and its pages.
#include "print/reportprinter.h"
#include "print/tests/printfixtures.h"
#include "testsupport/missing.h"
#include "testsupport/runtool.h"

#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

using namespace tapecalc;
using namespace tapecalc::printtest;

class TestReportPrinter : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void cleanup();
    void printsReportToPdf();
    void longReportFillsSeveralPages();

  private:
    QString printAndFetch(const std::vector<ReportLine> &lines);
    QStringList printed_; // PDFs of this test's jobs, removed after each test
};

void TestReportPrinter::cleanup() {
    for (const QString &pdf : std::as_const(printed_))
        QFile::remove(pdf);
    printed_.clear();
}

// Printed on TapePDF, never on paper, whatever the default printer is; followed on a
// thread of its own as the program does, and the PDF it gives fetched.
QString TestReportPrinter::printAndFetch(const std::vector<ReportLine> &lines) {
    const QSet<QString> before = existingPdfs();
    std::atomic<int> decided{-1};
    QThread *printing = QThread::create([&] {
        printReportOnPaper(
            lines, programFont(), QStringLiteral("TapePDF"),
            {[&](PrintOutcome outcome) { decided = int(outcome); }, [] { return true; }});
    });
    printing->start();
    const bool told = QTest::qWaitFor([&] { return decided >= 0; }, 60000);
    printing->wait();
    delete printing;
    if (told && decided == int(PrintOutcome::noPrinter))
        return "skip:no TapePDF queue; tools/start-cups.sh sets it up";
    if (!told || decided != int(PrintOutcome::printed))
        return "fail:the print reported a failed job";
    const QString pdf = waitForNewPdf(before);
    if (pdf.isEmpty())
        return "fail:no new PDF within a minute in " + pdfFolders().join(", ");
    printed_ << pdf;
    return pdf;
}

void TestReportPrinter::printsReportToPdf() {
    const Calculator calc = smallTape();
    const std::vector<ReportLine> lines = smallReport();
    QCOMPARE(lineText(lines.front()), "+ 123.45   × 67        - 2         + 0.5");

    const QString pdf = printAndFetch(lines);
    if (pdf.startsWith("skip:"))
        TAPECALC_MISSING(qPrintable(pdf.mid(5)));
    QVERIFY2(!pdf.startsWith("fail:"), qPrintable(pdf.mid(5)));

    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.startsWith("%PDF-"), bytes.left(16).constData());
    QVERIFY2(bytes.size() > 2000, QByteArray::number(bytes.size()).constData());

    const QString text = runTool("pdftotext", {"-layout", pdf, "-"});
    if (text.contains("123.45")) {
        for (const char *expected : {"× 67", "- 2", "+ 0.5", "合计", "共计： 4 笔"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)),
                     qPrintable(QString::fromUtf8(expected) + " missing in:\n" + text));
        QVERIFY(text.contains(QString::fromStdString(moneyText(calc.runningTotal))));
        return;
    }
    // The queue may re-render the fonts so that no text can be extracted: then the page
    // must at least carry ink where the lines are.
    QTemporaryDir render;
    QVERIFY(render.isValid());
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        TAPECALC_MISSING("the PDF holds no extractable text and pdftoppm is missing to render it");
    runTool("pdftoppm", {"-png", "-r", "50", "-f", "1", "-l", "1", pdf, render.filePath("page")});
    const QStringList pages = QDir(render.path()).entryList({"page*.png"});
    QVERIFY(!pages.isEmpty());
    const QImage page(render.filePath(pages.first()));
    // Three bands of ink: the items, the rule and the summary, each on its own line.
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < page.height() / 4; ++y) {
        bool ink = false;
        for (int x = 0; x < page.width() && !ink; ++x)
            ink = qGray(page.pixel(x, y)) < 128;
        bands += ink && !inBand;
        inBand = ink;
    }
    QCOMPARE(bands, 3);
}

void TestReportPrinter::longReportFillsSeveralPages() {
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
        TAPECALC_MISSING("pdfinfo (poppler-utils) is needed to count the pages");
    std::vector<ReportLine> lines;
    for (int i = 1; i <= 200; ++i)
        lines.push_back({{0, "+ " + std::to_string(i)}});
    const QString pdf = printAndFetch(lines);
    if (pdf.startsWith("skip:"))
        TAPECALC_MISSING(qPrintable(pdf.mid(5)));
    QVERIFY2(!pdf.startsWith("fail:"), qPrintable(pdf.mid(5)));

    const QString info = runTool("pdfinfo", {pdf});
    const QRegularExpressionMatch pages =
        QRegularExpression(R"(Pages:\s+(\d+))", QRegularExpression::MultilineOption).match(info);
    QVERIFY2(pages.hasMatch(), qPrintable(info));
    // 200 lines at 12 pt (about 17 pt a line) need four A4 or Letter pages; a layout
    // that never starts a new page would give one.
    QVERIFY2(pages.captured(1).toInt() >= 3, qPrintable(info));
    QVERIFY2(pages.captured(1).toInt() <= 6, qPrintable(info));
}

QTEST_MAIN(TestReportPrinter)
#include "tst_reportprinter.moc"
