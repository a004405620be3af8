// The report drawn on a page device (a printer's or a PDF's), every piece at its column on
// a grid of the font's digit width; and the report as a PDF file, written with Qt's own
// PDF writer, which asks the print system nothing. Qt GUI only: the program links it for
// its PDFs, and the print module draws the paper's pages with it.
#pragma once

#include "core/report.h"

#include <QFont>
#include <QString>

#include <vector>

class QPagedPaintDevice;

namespace tapecalc {

// The report stays inside what a printer can print: the page layout's margins, which a
// real printer gives as its unprintable edges, and never less than 10 mm, which most
// printers cannot print within (a PDF has no margins of its own). Painting starts at
// the top left of what is inside them.
void keepInsidePrintableArea(QPagedPaintDevice &device);

// The lines top to bottom in `font`, new pages as they fill; a page narrower than the
// report gets all of it a little smaller. False when the device fails.
bool paintReport(QPagedPaintDevice &device, const std::vector<ReportLine> &lines,
                 const QFont &font);

// Writes the report in `font` as a PDF into `folder` under `name`, or under the same stem
// with "-2", "-3", … when that is taken; an existing file is never replaced. The path of
// the file, or empty when it could not be written. Safe on any thread.
QString writeReportPdf(const std::vector<ReportLine> &lines, const QFont &font,
                       const QString &folder, const QString &name);

} // namespace tapecalc
