// The window's way to paper and PDF: the print module loaded at the first print and kept
// after it; each print on a thread of its own, followed from the window's thread.
#include "app/printer.h"

#include "modules/modules.h"
#include "print/printmodule.h"
#include "print/reportpainter.h"
#include "ui/programfont.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace tapecalc {

namespace {

ReportPrinter *printModulePrinter() {
    static const std::unique_ptr<ReportPrinter> printer = loadModule<ReportPrinter>();
    return printer.get();
}

// The print threads at work (the PDF's too): endNowIfPrintsRun() looks at them.
std::atomic<int> printThreads{0};

// A thread that deletes itself when done; one the print system holds for ever is left to
// the end of the program.
template <class Work> void runOffThread(Work work) {
    ++printThreads;
    QThread *thread = QThread::create([work = std::move(work)] {
        work();
        --printThreads;
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

// What the window's thread and a printing thread share of one print.
struct PrintRun {
    std::atomic<bool> decided{false}; // the first decision has gone to the window
    std::atomic<bool> givenUp{false}; // the window stopped waiting for it
};

// The queue named by the variables lp and lpr read, so that a job can be sent to a queue
// without changing the system's default printer; empty for the default.
QString reportQueue() {
    for (const char *variable : {"PRINTER", "LPDEST"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return {};
}

} // namespace

void endNowIfPrintsRun(int status) {
    if (printThreads == 0)
        return;
    std::fflush(nullptr);
    std::_Exit(status);
}

void printReportOffThread(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                          const QString &pdfName, std::function<void(const PrintResult &)> done) {
    const QFont font = reportFont(); // made here: the face is registered on this thread
    const QString queue = reportQueue();
    const auto run = std::make_shared<PrintRun>();
    // Back on the window's thread, unless the program is ending.
    const QPointer<QCoreApplication> application(QCoreApplication::instance());
    const auto deliver = [application, done](const PrintResult &result) {
        if (application)
            QMetaObject::invokeMethod(
                application, [done, result] { done(result); }, Qt::QueuedConnection);
    };
    const auto keepAsPdf = [lines, font, pdfFolder, pdfName](PrintOutcome outcome, bool late) {
        return PrintResult{outcome, writeReportPdf(lines, font, pdfFolder, pdfName), late};
    };
    runOffThread([run, lines, font, queue, deliver, keepAsPdf] {
        bool onItsWay = false;
        const PrintWatch watch{
            [&](PrintOutcome outcome) {
                if (run->decided.exchange(true))
                    return; // the window has given up on it
                onItsWay = outcome == PrintOutcome::printed;
                deliver(onItsWay ? PrintResult{outcome, {}, false} : keepAsPdf(outcome, false));
            },
            [run] { return !run->givenUp; }};
        ReportPrinter *printer = printModulePrinter();
        const PrintOutcome outcome =
            printer ? printer->toPaper(lines, font, queue, watch) : PrintOutcome::failed;
        if (!printer)
            watch.decided(outcome);
        else if (onItsWay && outcome != PrintOutcome::printed)
            deliver(keepAsPdf(outcome, true));
    });
    // A print system that does not answer (a stalled scheduler holds every call to it for
    // minutes) is not waited for: the report is kept as a PDF, and a job sent once it
    // answers again is taken back.
    QTimer::singleShot(
        printDecidedWithinMs, QCoreApplication::instance(), [run, deliver, keepAsPdf] {
            if (run->decided.exchange(true))
                return;
            run->givenUp = true;
            runOffThread([deliver, keepAsPdf] { deliver(keepAsPdf(PrintOutcome::failed, false)); });
        });
}

} // namespace tapecalc
