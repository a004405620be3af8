// The report on paper through QPrinter, off the window's thread: the page drawn by the
// report painter, and what became of the job asked of the print system (printjob.h).
// Built into the print module.
#include "print/reportprinter.h"

#include "print/printjob.h"
#include "print/reportpainter.h"

#include <QElapsedTimer>
#include <QPrinter>
#include <QThread>

namespace tapecalc {

namespace {

// The title of the print jobs, by which the job just sent is found among the queue's.
const QString jobTitle = QStringLiteral("TapeCalc");

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

QPrinterInfo reportPrinter() {
    // The variables lp and lpr read, so a job can be sent to a queue without changing
    // the system's default printer.
    for (const char *variable : {"PRINTER", "LPDEST"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return QPrinterInfo::printerInfo(name);
    }
    return QPrinterInfo::defaultPrinter();
}

PrintOutcome printReportOnPaper(const std::vector<ReportLine> &lines, const QFont &font,
                                const PrintWatch &watch) {
    const auto decide = [&watch](PrintOutcome outcome) {
        watch.decided(outcome);
        return outcome;
    };
    const QPrinterInfo info = reportPrinter();
    if (info.isNull())
        return decide(PrintOutcome::noPrinter);
    PrintJobWatch job(info.printerName(), jobTitle);
    if (!job.queueAcceptsJobs())
        return decide(PrintOutcome::failed);
    if (!watch.wanted())
        return PrintOutcome::failed; // the window gave up on it: nothing is sent now
    {
        // The job is sent when the painter ends, and the printer let go before it is asked after.
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName(jobTitle);
        printer.setFullPage(false);
        keepInsidePrintableArea(printer);
        if (!paintReport(printer, lines, font) || printer.printerState() == QPrinter::Error ||
            printer.printerState() == QPrinter::Aborted)
            return decide(PrintOutcome::failed);
    }
    return followJob(job, watch);
}

} // namespace tapecalc
