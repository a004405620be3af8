// The window's way to the print module: loaded at the first print, kept after it.
#include "ui/printer.h"

#include "print/printmodule.h"
#include "ui/modules.h"
#include "ui/programfont.h"

namespace tapecalc {

namespace {

ReportPrinter *printModulePrinter() {
    static const std::unique_ptr<ReportPrinter> printer = loadModule<ReportPrinter>();
    return printer.get();
}

} // namespace

QFont reportFont() {
    // The program's own face holds every character a report prints; the pieces stand on a
    // grid of its digit width, so it need not be fixed-pitch.
    registerProgramFont();
    return programFont(12.0);
}

PrintOutcome printOnPaper(const std::vector<ReportLine> &lines) {
    ReportPrinter *printer = printModulePrinter();
    return printer ? printer->toPaper(lines, reportFont()) : PrintOutcome::failed;
}

QString saveReportPdf(const std::vector<ReportLine> &lines, const QString &folder,
                      const QString &name) {
    ReportPrinter *printer = printModulePrinter();
    return printer ? printer->toPdf(lines, reportFont(), folder, name) : QString();
}

} // namespace tapecalc
