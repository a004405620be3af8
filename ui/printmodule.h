// What the print module (tapecalc-print: reportprinter.cpp and the job watch, with Qt Print
// Support and the print system's client library) gives the program, which loads it at the
// first print (ui/printer.h). Both sides are built from this header with the same Qt.
#pragma once

#include "core/report.h"
#include "ui/platform.h"

#include <QFont>
#include <QString>

#include <vector>

namespace tapecalc {

class ReportPrinter {
  public:
    // The report on the report printer, in `font`.
    virtual PrintOutcome toPaper(const std::vector<ReportLine> &lines, const QFont &font) = 0;
    // The report as a PDF in `folder`, named `name` or a free name of its stem; empty when
    // it could not be written.
    virtual QString toPdf(const std::vector<ReportLine> &lines, const QFont &font,
                          const QString &folder, const QString &name) = 0;

  protected:
    ~ReportPrinter() = default;
};

// The module's one entry point: its printer, which lives as long as the program. The
// number is that of this interface: a module built for another one is not used.
using ReportPrinterEntry = ReportPrinter *(*)();
inline constexpr char reportPrinterSymbol[] = "tapecalc_report_printer_1";

} // namespace tapecalc
