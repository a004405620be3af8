// The report on paper through QPrinter, off the window's thread: the page drawn by the
// report painter, and what became of the job asked of the print system (printjob.h).
// Built into the print module.
#include "print/reportprinter.h"

#include "print/printjob.h"
#include "print/reportpainter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QThread>

#include <atomic>

namespace tapecalc {

namespace {

// The title of a print's job, by which its job is found among the queue's: one that no
// other print of this copy (a count) or of another running copy (its process id) has. A
// former copy's job of the same title is older than the look before the job (printjob.h).
QString newJobTitle() {
    static std::atomic<unsigned> prints{0};
    return QStringLiteral("TapeCalc %1.%2").arg(QCoreApplication::applicationPid()).arg(++prints);
}

// The queue `queue`, or the system's default printer; null when there is no such printer.
QPrinterInfo reportPrinter(const QString &queue) {
    return queue.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(queue);
}

// The job just sent, until it has printed or failed. The first seconds decide most jobs
// (a queue that aborts it, a backend that fails at once); one still waiting then is on
// its way, and watched on until it has printed or failed. One that fails later is taken
// back, so that it never comes out beside the PDF the window keeps instead.
PrintOutcome followJob(PrintJobWatch &job, const PrintWatch &watch) {
    constexpr int firstMs = 3000;
    constexpr int watchMs = 10 * 60 * 1000;
    constexpr int stepMs = 200;
    QElapsedTimer clock;
    clock.start();
    bool toldOnItsWay = false;
    for (;;) {
        const PrintJobWatch::State state = job.look();
        if (!watch.wanted()) {
            job.cancel();
            return PrintOutcome::failed;
        }
        if (state != PrintJobWatch::State::waiting) {
            const PrintOutcome outcome = state == PrintJobWatch::State::printed
                                             ? PrintOutcome::printed
                                             : PrintOutcome::failed;
            if (!toldOnItsWay)
                watch.decided(outcome);
            return outcome;
        }
        if (!toldOnItsWay && clock.elapsed() >= firstMs) {
            toldOnItsWay = true;
            watch.decided(PrintOutcome::printed);
        }
        if (clock.elapsed() >= watchMs)
            return PrintOutcome::printed; // waiting its turn on a queue that prints
        QThread::msleep(stepMs);
    }
}

} // namespace

PrintOutcome printReportOnPaper(const std::vector<ReportLine> &lines, const QFont &font,
                                const QString &queue, const PrintWatch &watch) {
    const auto decide = [&watch](PrintOutcome outcome) {
        watch.decided(outcome);
        return outcome;
    };
    const QPrinterInfo info = reportPrinter(queue);
    if (info.isNull())
        return decide(PrintOutcome::noPrinter);
    const QString title = newJobTitle();
    PrintJobWatch job(info.printerName(), title);
    if (!job.queueAcceptsJobs())
        return decide(PrintOutcome::failed);
    if (!watch.wanted())
        return PrintOutcome::failed; // the window gave up on it: nothing is sent now
    {
        // The job is sent when the painter ends, and the printer let go before it is asked after.
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName(title);
        printer.setFullPage(false);
        keepInsidePrintableArea(printer);
        if (!paintReport(printer, lines, font) || printer.printerState() == QPrinter::Error ||
            printer.printerState() == QPrinter::Aborted)
            return decide(PrintOutcome::failed);
    }
    return followJob(job, watch);
}

} // namespace tapecalc
