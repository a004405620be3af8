// Printing on the real default printer: a report goes through CUPS to the cups-pdf
// queue (tools/start-cups.sh) and is checked in the PDF that comes out.
#include "core/actions.h"
#include "tape/report.h"
#include "tests/recorder.h"
#include "ui/printer.h"
#include "ui/programfont.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tapecalc;

namespace {

constexpr char childVariable[] = "TAPECALC_PRINT_CHILD";

// Where cups-pdf may put the job of this user (its "Out" setting, or the folder of
// anonymous jobs); TAPECALC_PDF_DIR names another.
QStringList pdfFolders() {
    const QString chosen = qEnvironmentVariable("TAPECALC_PDF_DIR");
    if (!chosen.isEmpty())
        return {chosen};
    return {QDir::homePath() + "/PDF", "/var/spool/cups-pdf/ANONYMOUS"};
}

QSet<QString> existingPdfs() {
    QSet<QString> found;
    for (const QString &folder : pdfFolders())
        for (const QFileInfo &info : QDir(folder).entryInfoList({"*.pdf"}, QDir::Files))
            found.insert(info.absoluteFilePath());
    return found;
}

// The first PDF that was not there before and has stopped growing; empty after a minute.
QString waitForNewPdf(const QSet<QString> &before) {
    QElapsedTimer clock;
    clock.start();
    QString candidate;
    qint64 lastSize = -1;
    while (clock.elapsed() < 60000) {
        if (candidate.isEmpty()) {
            const QSet<QString> now = existingPdfs();
            for (const QString &path : now)
                if (!before.contains(path))
                    candidate = path;
        } else {
            const qint64 size = QFileInfo(candidate).size();
            if (size > 0 && size == lastSize)
                return candidate;
            lastSize = size;
        }
        QTest::qWait(250);
    }
    return {};
}

QString runTool(const QString &tool, const QStringList &arguments) {
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

Calculator smallTape() {
    Calculator calc;
    Recorder out;
    for (const auto &[entry, key] : std::vector<std::pair<std::string, Operator>>{
             {"123.45", add}, {"67", multiply}, {"2", subtract}, {"0.5", add}}) {
        calc.shown.text1 = entry;
        operatorKey(calc, out, key);
    }
    return calc;
}

QStringList reportLines(const Calculator &calc) {
    QStringList lines;
    for (const std::string &line : printReport(calc, "2026-12-06 16:58:07"))
        lines << QString::fromStdString(line);
    return lines;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void cleanup();
    void reportIsSetInTheProgramFont();
    void printsReportToPdf();
    void longReportFillsSeveralPages();
    void withoutDefaultPrinterNothingIsPrinted();
    void childWithoutPrinter();

  private:
    QString printAndFetch(const QStringList &lines);
    QStringList printed_; // PDFs of this test's jobs, removed after each test
};

void TestPrint::cleanup() {
    for (const QString &pdf : std::as_const(printed_))
        QFile::remove(pdf);
    printed_.clear();
}

void TestPrint::reportIsSetInTheProgramFont() {
    // The built-in face, whatever fonts the system has; its glyphs for the report's text
    // are checked in tst_font.
    const QFont font = reportFont();
    const QFontInfo info(font);
    QCOMPARE(info.family(), programFontFamily());
    QCOMPARE(info.pointSizeF(), 12.0);
    const QFontMetrics metrics(font);
    for (const char32_t c : {U'合', U'计', U'共', U'笔', U'时', U'间', U'：'})
        QVERIFY2(metrics.inFontUcs4(c), qPrintable(QString::number(c, 16)));
}

QString TestPrint::printAndFetch(const QStringList &lines) {
    const QPrinterInfo printer = QPrinterInfo::defaultPrinter();
    if (printer.isNull())
        return "skip:no default printer; tools/start-cups.sh sets up the TapePDF queue";
    // Never paper: only the PDF queue is used.
    if (printer.printerName() != "TapePDF")
        return "skip:the default printer is " + printer.printerName() + ", not TapePDF";
    const QSet<QString> before = existingPdfs();
    if (!printLines(lines))
        return "fail:printLines reported a failed job";
    const QString pdf = waitForNewPdf(before);
    if (pdf.isEmpty())
        return "fail:no new PDF within a minute in " + pdfFolders().join(", ");
    printed_ << pdf;
    return pdf;
}

void TestPrint::printsReportToPdf() {
    const Calculator calc = smallTape();
    const QStringList lines = reportLines(calc);
    QCOMPARE(lines.first(), "+ 123.45   × 67        - 2         + 0.5");

    const QString pdf = printAndFetch(lines);
    if (pdf.startsWith("skip:"))
        QSKIP(qPrintable(pdf.mid(5)));
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
        QSKIP("the PDF holds no extractable text and pdftoppm is missing to render it");
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

void TestPrint::longReportFillsSeveralPages() {
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
        QSKIP("pdfinfo (poppler-utils) is needed to count the pages");
    QStringList lines;
    for (int i = 1; i <= 200; ++i)
        lines << QStringLiteral("+ %1").arg(i);
    const QString pdf = printAndFetch(lines);
    if (pdf.startsWith("skip:"))
        QSKIP(qPrintable(pdf.mid(5)));
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

void TestPrint::withoutDefaultPrinterNothingIsPrinted() {
    // The test runs itself again with a CUPS client that finds no scheduler, so the
    // system's printers stay as they are.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(childVariable, "1");
    env.insert("CUPS_SERVER", QDir::temp().filePath("tapecalc-no-cups-here.sock"));
    env.remove("PRINTER");
    env.remove("LPDEST");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"childWithoutPrinter"});
    QVERIFY(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    if (output.contains("SKIP   : TestPrint::childWithoutPrinter"))
        QSKIP(qPrintable("this platform's printers do not go through CUPS:\n" + output));
    QVERIFY2(child.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains("PASS   : TestPrint::childWithoutPrinter"), qPrintable(output));
}

void TestPrint::childWithoutPrinter() {
    if (!qEnvironmentVariableIsSet(childVariable))
        QSKIP("runs only as the child of withoutDefaultPrinterNothingIsPrinted");
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("a default printer is known without the CUPS scheduler");
    QVERIFY(!printLines(reportLines(smallTape())));
}

QTEST_MAIN(TestPrint)
#include "tst_print.moc"
