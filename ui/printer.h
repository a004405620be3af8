// The report on paper or in a PDF file. The printing itself is in the print module
// (print/printmodule.h), loaded at the first print, so that a window that never prints never
// loads Qt Print Support and the print system's libraries.
#pragma once

#include "core/report.h"
#include "ui/platform.h"

#include <QFont>
#include <QString>

#include <vector>

namespace tapecalc {

// The report's font: the program's own face at 12 pt.
QFont reportFont();

// Prints on the report printer (PRINTER, else LPDEST, else the system's default), each
// piece at its column, new pages as they fill. Without the print module, failed.
PrintOutcome printOnPaper(const std::vector<ReportLine> &lines);

// Writes the report as a PDF into `folder` under `name`, or under the same stem with
// "-2", "-3", … when that is taken; an existing file is never replaced. The path of the
// file, or empty when it could not be written (or the print module is missing).
QString saveReportPdf(const std::vector<ReportLine> &lines, const QString &folder,
                      const QString &name);

} // namespace tapecalc
