// The report on a printer, with every piece at its column on a grid of the font's digit
// width. Part of the print module (print/printmodule.h): the window prints through
// app/printer.h.
#pragma once

#include "core/report.h"
#include "print/printmodule.h"

#include <QFont>
#include <QString>

#include <vector>

namespace tapecalc {

// Prints on the queue `queue` (empty: the system's default printer) in `font`, each piece
// at its column, new pages as they fill, and follows the job, found by a title no other
// print has: `watch.decided` is told once, as soon as the job has failed or is on its way;
// the call returns once it has printed or failed, or after minutes of waiting its turn on
// a queue that prints (printed). A job that fails after it was told to be on its way is
// taken back and returns failed. Blocks for as long as the print system does: call it off
// the window's thread.
PrintOutcome printReportOnPaper(const std::vector<ReportLine> &lines, const QFont &font,
                                const QString &queue, const PrintWatch &watch);

} // namespace tapecalc
