// Printing the report on a printer or into a PDF file, with every piece at its column on
// a grid of the font's digit width.
#pragma once

#include "core/report.h"
#include "ui/platform.h"

#include <QFont>
#include <QPrinterInfo>

#include <vector>

namespace tapecalc {

// The report's font: the program's own face at 12 pt.
QFont reportFont();

// The printer reports go to: the one named by the PRINTER environment variable, else by
// LPDEST, else the system's default. Null when that printer does not exist.
QPrinterInfo reportPrinter();

// Prints on reportPrinter(), each piece at its column, new pages as they fill.
PrintOutcome printOnPaper(const std::vector<ReportLine> &lines);

// Writes the report as a PDF into `folder` under `name`, or under the same stem with
// "-2", "-3", … when that is taken; an existing file is never replaced. The path of the
// file, or empty when it could not be written.
QString saveReportPdf(const std::vector<ReportLine> &lines, const QString &folder,
                      const QString &name);

} // namespace tapecalc
