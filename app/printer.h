// The report on paper or in a PDF file, never holding up the window. The paper is the
// print module's (print/printmodule.h), loaded at the first print, so that a window that
// never prints never loads Qt Print Support and the print system's libraries; the PDF is
// written with Qt's own PDF writer (print/reportpainter.h), which needs neither.
#pragma once

#include "core/report.h"
#include "ui/platform.h"

#include <QFont>
#include <QString>

#include <functional>
#include <vector>

namespace tapecalc {

// How long the window waits for the print system to take a job (or say it cannot) before
// it counts the print as failed and keeps the report as a PDF instead.
inline constexpr int printDecidedWithinMs = 8000;

// Prints on the report printer (the queue named by PRINTER, else LPDEST, else the system's
// default; the variables are read in this call, never on the print thread), each piece at
// its column, new pages as they fill, on a thread of its own, and keeps the report as the
// PDF `pdfName` in `pdfFolder` when it does not reach paper (that PDF on a thread of its
// own too). `done` gets what became of it on the window's thread: once decided (the job
// on its way, failed, no printer, or no answer from the print system within
// printDecidedWithinMs), and once more, late, when a job on its way fails after all (it
// is then taken back). Without the print module, failed.
void printReportOffThread(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                          const QString &pdfName, std::function<void(const PrintResult &)> done);

// Ends the process at once with `status` while a print thread is still at work; returns
// otherwise. Call it where the program ends, once the window is gone: a thread the print
// system holds (a scheduler that does not answer holds it for minutes) can be neither
// stopped nor waited for, and Qt and the print module's libraries must not be torn down
// under code still running in them.
void endNowIfPrintsRun(int status);

} // namespace tapecalc
