// Printing from the window for real, through CUPS (tools/start-cups.sh): without a printer,
// or on a queue that refuses or aborts the job or whose backend fails it (a backend of the
// test's own), the window keeps the report as a PDF of its own, whole or not at all (a
// file-size limit plays the full disk); a stalled scheduler never holds the window, nor a
// quit; two prints each follow their own job. The report on paper by the print library
// alone: print/tests/tst_reportprinter.
#include "app/printer.h"
#include "app/realplatform.h"
#include "core/actions.h"
#include "core/report.h"
#include "core/tests/recorder.h"
#include "print/tests/printfixtures.h"
#include "store/folders.h"
#include "testsupport/missing.h"
#include "testsupport/runtool.h"
#include "ui/form1.h"
#include "ui/programfont.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <optional>

using namespace tapecalc;
using namespace tapecalc::printtest;

namespace {

// The child this suite runs as: "withoutPrinter" or "keepsTheReport".
constexpr char childVariable[] = "TAPECALC_PRINT_CHILD";
constexpr char childFolderVariable[] = "TAPECALC_PRINT_CHILD_FOLDER";
constexpr char childPrintsVariable[] = "TAPECALC_PRINT_CHILD_PRINTS";

// Sets an environment variable for one scope, as a print job's PRINTER is set.
class ScopedVariable {
  public:
    ScopedVariable(const char *name, const QByteArray &value)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedVariable() {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable &) = delete;
    ScopedVariable &operator=(const ScopedVariable &) = delete;

  private:
    const char *m_name;
    bool m_wasSet;
    QByteArray m_old;
};

// The real platform with a fixed clock, quiet cues and messages kept instead of shown.
struct QuietPlatform : RealPlatform {
    QStringList messages; // "message:<text>" or "warning:<text>"
    void playCue(const QString &) override {}
    void playCueBlocking(const QString &) override {}
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 6), QTime(16, 58, 7)); }
    void showMessage(const QString &text) override { messages << "message:" + text; }
    void showWarning(const QString &text) override { messages << "warning:" + text; }
    void showNotice(const QString &text) override { messages << "notice:" + text; }
    void endProgram() override { messages << "end"; }
};

// A CUPS tool, also from sbin; false when it is missing or fails.
bool runAdmin(const QString &tool, const QStringList &arguments) {
    QProcess process;
    process.start(QStandardPaths::findExecutable(tool, {"/usr/bin", "/usr/sbin", "/sbin"}),
                  arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void reportIsSetInTheProgramFont();
    void withoutDefaultPrinterNothingIsPrinted();
    void withoutPrinterTheReportIsKeptAsPdf();
    void aStalledSchedulerNeverHoldsTheWindow_data();
    void aStalledSchedulerNeverHoldsTheWindow();
    void anUnprintedReportIsAWholePdfOrNone_data();
    void anUnprintedReportIsAWholePdfOrNone();
    void twoPrintsFollowTheirOwnJobs();
};

void TestPrint::reportIsSetInTheProgramFont() {
    // The built-in face, whatever fonts the system has; its glyphs for the report's text
    // are checked in tst_font.
    const QFont font = reportFont();
    const QFontInfo info(font);
    QCOMPARE(info.family(), programFontFamily);
    QCOMPARE(info.pointSizeF(), 12.0);
    const QFontMetrics metrics(font);
    for (const char32_t c : {U'合', U'计', U'共', U'笔', U'时', U'间', U'：'})
        QVERIFY2(metrics.inFontUcs4(c), qPrintable(QString::number(c, 16)));
}

void TestPrint::withoutDefaultPrinterNothingIsPrinted() {
    // The test runs itself again with a CUPS client that finds no scheduler, so the
    // system's printers stay as they are.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(childVariable, "withoutPrinter");
    env.insert("CUPS_SERVER", QDir::temp().filePath("tapecalc-no-cups-here.sock"));
    env.remove("PRINTER");
    env.remove("LPDEST");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    if (output.contains("a default printer is known"))
        QSKIP(qPrintable("this platform's printers do not go through CUPS:\n" + output));
    QVERIFY2(child.exitCode() == 0, qPrintable(output));
    QCOMPARE(output.trimmed(), QString("no printer: %1").arg(int(PrintOutcome::noPrinter)));
}

void TestPrint::withoutPrinterTheReportIsKeptAsPdf() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
        QStandardPaths::findExecutable("pdffonts").isEmpty())
        TAPECALC_MISSING("pdftotext and pdffonts (poppler-utils) are needed to read the PDF");
    const ScopedVariable queue("PRINTER", "TapeCalcNoSuchQueue");
    QTemporaryDir program;
    QVERIFY(program.isValid());
    QuietPlatform platform;
    Form1 form(platform, program.path());
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    QVERIFY(text1);
    QTest::keyClicks(text1, "123.45*6/4-0.5\r");
    const Calculator before = form.calculator();
    QTest::mouseClick(form.findChild<QWidget *>("Label30"), Qt::LeftButton);

    const QString pdf = QDir(form.dataFolder()).filePath("20261206$16$58$07.pdf");
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 1, 20000);
    QCOMPARE(platform.messages,
             QStringList{"message:没有找到打印机，已存为 PDF：" + QDir::toNativeSeparators(pdf)});
    QCOMPARE(form.calculator().runningTotal, before.runningTotal);
    QCOMPARE(form.calculator().lineNumber, before.lineNumber);

    // Real text: the words of the report come back out, in order.
    const auto wordsIn = [](const QString &text) {
        return text.split(QRegularExpression(R"(\s+)"), Qt::SkipEmptyParts);
    };
    QStringList expected;
    for (const ReportLine &line : reportLines(before, "2026/12/6 16:58:07"))
        expected << wordsIn(QString::fromStdString(lineText(line)));
    QCOMPARE(wordsIn(runTool("pdftotext", {"-layout", pdf, "-"})), expected);

    // Fonts embedded, so the PDF reads the same on a machine without them.
    const QStringList fonts = runTool("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(fonts.size() >= 3, qPrintable(fonts.join('\n')));
    const qsizetype emb = fonts.at(0).indexOf("emb");
    for (const QString &font : fonts.mid(2))
        QVERIFY2(font.mid(emb, 3) == "yes", qPrintable(fonts.join('\n')));
}

void TestPrint::aStalledSchedulerNeverHoldsTheWindow_data() {
    QTest::addColumn<QString>("way"); // how the program is ended meanwhile; empty: it is not
    for (const char *way : {"", "退出", "Esc", "the session ending"})
        QTest::newRow(*way ? way : "the keys go on") << QString::fromUtf8(way);
}

// The scheduler stopped (SIGSTOP) while the window prints: every call to it waits, for
// minutes. The keys answer meanwhile, the print counts as failed within its bound and the
// report is kept as a PDF; once the scheduler answers again nothing comes out on paper. A
// quit meanwhile waits for that, saying so, and ends the program once the PDF is said.
void TestPrint::aStalledSchedulerNeverHoldsTheWindow() {
    QFETCH(QString, way);
#ifndef Q_OS_UNIX
    QSKIP("a scheduler is stopped with a POSIX signal");
#endif
    if (!runAdmin("lpstat", {"-p", "TapePDF"}))
        TAPECALC_MISSING("no TapePDF queue; tools/start-cups.sh sets it up");
    const QStringList schedulers = runTool("pidof", {"cupsd"}).split(' ', Qt::SkipEmptyParts);
    if (schedulers.isEmpty())
        TAPECALC_MISSING("no CUPS scheduler runs, or no pidof to find it");
    const ScopedVariable queue("PRINTER", "TapePDF");
    QTemporaryDir program;
    QuietPlatform platform;
    Form1 form(platform, program.path());
    form.show(); // a window the session's end closes
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    QTest::keyClicks(text1, "1+2\r");
    const QSet<QString> before = existingPdfs();
    const auto signal = [&schedulers](const QString &which) {
        for (const QString &pid : schedulers)
            runAdmin("kill", {which, pid.trimmed()});
    };
    signal("-STOP");
    auto resume = qScopeGuard([&signal] { signal("-CONT"); });
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(form.findChild<QWidget *>("Label30"), Qt::LeftButton);
    QTest::keyClicks(text1, "5");
    QCOMPARE(text1->text(), QString("5"));
    QVERIFY2(clock.elapsed() < printDecidedWithinMs, qPrintable(QString::number(clock.elapsed())));
    if (way == "退出")
        QTest::mouseClick(form.findChild<QWidget *>("Label28"), Qt::LeftButton);
    else if (way == "Esc")
        QTest::keyClick(text1, Qt::Key_Escape);
    else if (!way.isEmpty()) // as the session manager's end does: every window closed
        QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
    QTRY_VERIFY_WITH_TIMEOUT(!platform.messages.filter("PDF").isEmpty(), 3 * printDecidedWithinMs);
    const QString told = platform.messages.filter("PDF")[0];
    QVERIFY2(told.startsWith("warning:打印失败，已存为 PDF："), qPrintable(told));
    QVERIFY(QFile::exists(told.section("：", 1)));
    const QStringList ended{"notice:正在打印，有结果后自动退出", told, "end"};
    QCOMPARE(platform.messages, way.isEmpty() ? QStringList{told} : ended);
    resume.dismiss();
    signal("-CONT");
    // The printing thread goes on once the scheduler answers, and sends nothing.
    QTest::qWait(10000);
    QCOMPARE(runTool("lpstat", {"-o", "TapePDF"}).trimmed(), QString());
    QCOMPARE(existingPdfs(), before);
}

void TestPrint::anUnprintedReportIsAWholePdfOrNone_data() {
    QTest::addColumn<QString>("queue");  // the test's own, on `device`; empty: no printer
    QTest::addColumn<QString>("device"); // "failing…:", "removing:": a backend of the test's own
    QTest::addColumn<QString>("policy"); // the queue's printer-error-policy
    QTest::addColumn<bool>("refusing");  // the queue takes no jobs (cupsreject)
    QTest::addColumn<QString>("limit");  // the child's file-size limit in KiB (ulimit -f)
    QTest::addColumn<int>("prints");     // clicks on the print key, one after the other
    QTest::addColumn<QString>("told");   // each print's; %1 its PDF; without it no file may be left
    // clang-format off
    QTest::newRow("no printer: the whole PDF")               << ""           << ""                          << "abort-job"    << false << "unlimited" << 1 << "message:没有找到打印机，已存为 PDF：%1";
    QTest::newRow("no printer, 0 KiB: not one byte")         << ""           << ""                          << "abort-job"    << false << "0"         << 1 << "warning:没有找到打印机，也无法存为 PDF";
    QTest::newRow("no printer, 4 KiB: cut off at the start") << ""           << ""                          << "abort-job"    << false << "4"         << 1 << "warning:没有找到打印机，也无法存为 PDF";
    QTest::newRow("no printer, 7 of 7.6 KiB: no trailer")    << ""           << ""                          << "abort-job"    << false << "7"         << 1 << "warning:没有找到打印机，也无法存为 PDF";
    QTest::newRow("a queue refusing jobs")                   << "TapeReject" << "cups-pdf:/"                << "abort-job"    << true  << "unlimited" << 1 << "warning:打印失败，已存为 PDF：%1";
    QTest::newRow("a queue refusing jobs, 4 KiB")            << "TapeReject" << "cups-pdf:/"                << "abort-job"    << true  << "4"         << 1 << "warning:打印失败，也无法存为 PDF";
    QTest::newRow("a port that is not there: job aborted")   << "TapeAbort"  << "serial:/dev/tapecalc-none" << "abort-job"    << false << "unlimited" << 1 << "warning:打印失败，已存为 PDF：%1";
    QTest::newRow("failing backend: the queue stops")        << "TapeStop"   << "failing:"                  << "stop-printer" << false << "unlimited" << 2 << "warning:打印失败，已存为 PDF：%1";
    QTest::newRow("failing backend: the job held for retry") << "TapeRetry"  << "failing:"                  << "retry-job"    << false << "unlimited" << 2 << "warning:打印失败，已存为 PDF：%1";
    QTest::newRow("a backend failing after 6 s: the queue stops") << "TapeLate" << "failing-late:" << "stop-printer" << false << "unlimited" << 1 << "notice:打印失败，已存为 PDF：%1";
    QTest::newRow("the queue removed while its job prints")    << "TapeGone" << "removing:"     << "abort-job"    << false << "unlimited" << 1 << "warning:打印失败，已存为 PDF：%1";
    // clang-format on
}

void TestPrint::anUnprintedReportIsAWholePdfOrNone() {
    QFETCH(QString, queue);
    QFETCH(QString, device);
    QFETCH(QString, policy);
    QFETCH(bool, refusing);
    QFETCH(QString, limit);
    QFETCH(int, prints);
    QFETCH(QString, told);
#ifndef Q_OS_UNIX
    QSKIP("the file-size limit is set by a POSIX shell");
#endif
    // Names of this run's own, so that nothing of the machine's is touched.
    const QString own = QString::number(QCoreApplication::applicationPid());
    if (!queue.isEmpty())
        queue += own;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LPDEST");
    env.insert("PRINTER", queue);
    if (queue.isEmpty())
        env.insert("CUPS_SERVER", QDir::temp().filePath("tapecalc-no-cups-here.sock"));
    else if (!runAdmin("lpstat", {"-p", "TapePDF"}))
        TAPECALC_MISSING("no TapePDF queue; tools/start-cups.sh sets it up");
    else if (runAdmin("lpstat", {"-p", queue}))
        QFAIL(qPrintable("a queue " + queue + " is there already; it is left alone"));
    // A backend that fails every job, as an unplugged or unreachable printer's does, at
    // once or after a while; or one that removes its queue (as root: CUPS runs a backend
    // that others cannot read as root). CUPS runs backends only from its own folder.
    const QHash<QString, QByteArray> backends{
        {"failing:", "exit 1\n"},
        {"failing-late:", "sleep 6\nexit 1\n"},
        {"removing:", "/usr/sbin/lpadmin -x \"$PRINTER\"\nexit 1\n"}};
    QString backend;
    if (backends.contains(device)) {
        const QString serverBin = runTool("cups-config", {"--serverbin"}).trimmed();
        backend = QDir(serverBin.isEmpty() ? "/usr/lib/cups" : serverBin)
                      .filePath("backend/tapecalc-failing-" + own);
        QFile script(backend);
        if (!script.open(QIODevice::WriteOnly))
            TAPECALC_MISSING(
                qPrintable("a backend cannot be added as " + backend + " (needs root)"));
        // Without arguments CUPS asks what devices it finds: none.
        script.write("#!/bin/sh\n[ $# -eq 0 ] && exit 0\n" + backends.value(device));
        script.close();
        const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
        script.setPermissions(device == "removing:" ? owner
                                                    : owner | QFile::ReadGroup | QFile::ExeGroup |
                                                          QFile::ReadOther | QFile::ExeOther);
        device = "tapecalc-failing-" + own + ":/";
    }
    // Removed with its jobs however the test ends, so the machine's printers stay.
    const auto removeQueue = qScopeGuard([&] {
        if (!queue.isEmpty()) {
            runAdmin("cancel", {"-a", "-x", queue});
            runAdmin("lpadmin", {"-x", queue});
        }
        if (!backend.isEmpty())
            QFile::remove(backend);
    });
    if (!queue.isEmpty()) {
        QVERIFY(runAdmin("lpadmin", {"-p", queue, "-v", device, "-E", "-m",
                                     "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd", "-o",
                                     "printer-error-policy=" + policy}));
        QVERIFY(!refusing || runAdmin("cupsreject", {queue}));
    }
    QTemporaryDir program;
    QVERIFY(program.isValid());
    env.insert(childVariable, "keepsTheReport");
    env.insert(childFolderVariable, program.path());
    env.insert(childPrintsVariable, QString::number(prints));
    QProcess child;
    child.setProcessEnvironment(env);
    // A write past the limit fails with EFBIG, as on a full disk, rather than ending the
    // child with SIGXFSZ: an ignored signal stays ignored across exec.
    child.start("bash", {"-c", R"(trap '' XFSZ && ulimit -f "$1" && exec "$2")", "bash", limit,
                         QCoreApplication::applicationFilePath()});
    QVERIFY(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    QVERIFY2(child.exitCode() == 0, qPrintable(output));

    // The whole PDF under its name, or nothing at all: no part named, no temporary.
    QStringList left;
    for (QDirIterator it(program.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        left << it.next();
    left.sort();
    const QString data = findFolders(program.path()).data;
    const bool saved = told.contains("%1");
    QStringList pdfs;
    QStringList messages;
    for (int k = 1; k <= prints; ++k) {
        const QString suffix = k == 1 ? QString() : "-" + QString::number(k);
        pdfs << QDir(data).filePath("20261206$16$58$07" + suffix + ".pdf");
        messages << (saved ? told.arg(QDir::toNativeSeparators(pdfs.last())) : told);
    }
    QVERIFY2(output.contains("told " + messages.join('|') + "\n"), qPrintable(output));
    pdfs.sort();
    QCOMPARE(left, saved ? pdfs : QStringList());
    // A failed job is not left to print later beside its PDF.
    if (!queue.isEmpty())
        QCOMPARE(runTool("lpstat", {"-o", queue}).trimmed(), QString());
    if (!saved)
        return;
    const QString &pdf = pdfs.first();
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("%PDF-") && bytes.trimmed().endsWith("%%EOF"));
    // The permissions of any new file of the user, as a tape gets.
    QFile probe(program.filePath("probe"));
    QVERIFY(probe.open(QIODevice::WriteOnly));
    QCOMPARE(file.permissions(), probe.permissions());
}

// Two prints on one queue that holds their jobs: the first one's job taken back, that print
// alone fails and keeps its report, and the second one's job is left as it was.
void TestPrint::twoPrintsFollowTheirOwnJobs() {
    const QString queue = "TapeHeld" + QString::number(QCoreApplication::applicationPid());
    if (!runAdmin("lpadmin",
                  {"-p", queue, "-v", "cups-pdf:/", "-E", "-m", "lsb/usr/cups-pdf/CUPS-PDF_opt.ppd",
                   "-o", "job-hold-until-default=indefinite"}))
        TAPECALC_MISSING("no CUPS with cups-pdf to add a queue to, as root");
    const auto remove = qScopeGuard([&queue] { runAdmin("lpadmin", {"-x", queue}); });
    const ScopedVariable printer("PRINTER", queue.toUtf8());
    QTemporaryDir program;
    QuietPlatform platform;
    Form1 form(platform, program.path());
    const auto jobs = [&queue] {
        return runTool("lpstat", {"-o", queue}).split('\n', Qt::SkipEmptyParts);
    };
    for (const char *keys : {"1+2\r", "+5\r"}) {
        QTest::keyClicks(form.findChild<QLineEdit *>("Text1"), keys);
        const qsizetype sent = jobs().size();
        // 打印 again does nothing until the print before is on its way (3 s after its job).
        QTRY_VERIFY_WITH_TIMEOUT(
            (QTest::mouseClick(form.findChild<QWidget *>("Label30"), Qt::LeftButton),
             QTest::qWait(1000), jobs().size() > sent),
            30000);
    }
    const QStringList held = jobs();
    QVERIFY(held.size() == 2 && runAdmin("cancel", {held[0].section(' ', 0, 0)}));
    QTRY_COMPARE_WITH_TIMEOUT(platform.messages.size(), 1, 20000);
    QTest::qWait(2000); // the other print is followed on meanwhile: it must not fail too
    QVERIFY2(platform.messages.size() == 1 &&
                 platform.messages[0].contains("打印失败，已存为 PDF："),
             qPrintable(platform.messages.join('\n')));
    QCOMPARE(jobs(), QStringList{held[1]});
}

namespace {

// The child of withoutDefaultPrinterNothingIsPrinted, with a CUPS client that finds no
// scheduler: what the window's way gives.
int childWithoutPrinter() {
    if (!QPrinterInfo::defaultPrinter().isNull()) {
        std::printf("a default printer is known without the CUPS scheduler\n");
        return 0;
    }
    RealPlatform platform;
    std::optional<PrintResult> result;
    platform.printReportThen(smallReport(), QString(), QString(),
                             [&result](const PrintResult &r) { result = r; });
    (void)QTest::qWaitFor([&result] { return result.has_value(); }, 20000);
    std::printf("no printer: %d\n", result ? int(result->outcome) : -1);
    return 0;
}

// The child of anUnprintedReportIsAWholePdfOrNone: prints, each once the last is decided,
// and tells what it was told once every print is over (a late failure comes after).
int childKeepsTheReport() {
    QuietPlatform platform;
    Form1 form(platform, qEnvironmentVariable(childFolderVariable));
    QTest::keyClicks(form.findChild<QLineEdit *>("Text1"), "123.45*6/4-0.5\r");
    const int prints = qMax(1, qEnvironmentVariableIntValue(childPrintsVariable));
    // What the prints said (the journal may have said that it cannot keep up, too).
    const auto printMessages = [&platform] { return platform.messages.filter("PDF"); };
    for (int k = 0; k < prints; ++k) {
        if (k > 0) // two clicks, not a double-click
            QTest::qWait(QApplication::doubleClickInterval() + 100);
        QTest::mouseClick(form.findChild<QWidget *>("Label30"), Qt::LeftButton);
        (void)QTest::qWaitFor([&] { return printMessages().size() > k; }, 30000);
    }
    std::printf("told %s\n", printMessages().join('|').toUtf8().constData());
    return 0;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    const QByteArray child = qgetenv(childVariable);
    if (child == "withoutPrinter")
        return childWithoutPrinter();
    if (child == "keepsTheReport")
        return childKeepsTheReport();
    TestPrint test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_print.moc"
