// What the print module (tapecalc-print: reportprinter.cpp and the job watch, with Qt Print
// Support and the print system's client library) gives the program, which loads it at the
// first print (ui/printer.h, core/moduleentry.h). Both sides are built from this header
// with the same Qt.
#pragma once

#include "core/report.h"

#include <QFont>
#include <QString>

#include <vector>

namespace tapecalc {

class ReportPrinter {
  public:
    static constexpr char module[] = "tapecalc-print";

    virtual ~ReportPrinter() = default;

    // The report on the report printer, in `font`.
    virtual PrintOutcome toPaper(const std::vector<ReportLine> &lines, const QFont &font) = 0;
    // The report as a PDF in `folder`, named `name` or a free name of its stem; empty when
    // it could not be written.
    virtual QString toPdf(const std::vector<ReportLine> &lines, const QFont &font,
                          const QString &folder, const QString &name) = 0;
};

} // namespace tapecalc
