// What the print module (tapecalc-print: reportprinter.cpp and the job watch, with Qt Print
// Support and the print system's client library) gives the program, which loads it at the
// first print (app/printer.h, modules/moduleentry.h). Both sides are built from this header
// with the same Qt.
#pragma once

#include "core/report.h"

#include <QFont>
#include <QString>

#include <functional>
#include <vector>

namespace tapecalc {

// How the caller follows a print that runs off its thread. Both are called on the
// printing thread.
struct PrintWatch {
    // Told once, as soon as the job has failed (noPrinter, failed) or is on its way
    // (printed).
    std::function<void(PrintOutcome)> decided;
    // False once the caller no longer waits for the decision: no job is sent after that,
    // and one already sent is taken back.
    std::function<bool()> wanted;
};

class ReportPrinter {
  public:
    static constexpr char module[] = "tapecalc-print";

    virtual ~ReportPrinter() = default;

    // The report on the queue `queue` (empty: the system's default printer), in `font`,
    // followed as printReportOnPaper() (print/reportprinter.h) says. Call it off the
    // window's thread.
    virtual PrintOutcome toPaper(const std::vector<ReportLine> &lines, const QFont &font,
                                 const QString &queue, const PrintWatch &watch) = 0;
};

} // namespace tapecalc
