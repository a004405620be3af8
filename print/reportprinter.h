// Printing the report on a printer or into a PDF file, with every piece at its column on
// a grid of the font's digit width. Part of the print module (print/printmodule.h): the
// window prints through ui/printer.h.
#pragma once

#include "core/report.h"

#include <QFont>
#include <QPrinterInfo>

#include <vector>

namespace tapecalc {

// The printer reports go to: the one named by the PRINTER environment variable, else by
// LPDEST, else the system's default. Null when that printer does not exist.
QPrinterInfo reportPrinter();

// Prints on reportPrinter() in `font`, each piece at its column, new pages as they fill.
PrintOutcome printReportOnPaper(const std::vector<ReportLine> &lines, const QFont &font);

// Writes the report in `font` as a PDF into `folder` under `name`, or under the same stem
// with "-2", "-3", … when that is taken; an existing file is never replaced. The path of
// the file, or empty when it could not be written.
QString writeReportPdf(const std::vector<ReportLine> &lines, const QFont &font,
                       const QString &folder, const QString &name);

} // namespace tapecalc
