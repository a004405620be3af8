// The print module's entry point.
#include "ui/printmodule.h"

#include "ui/reportprinter.h"

#include <QtGlobal>

namespace {

class Printer final : public tapecalc::ReportPrinter {
  public:
    tapecalc::PrintOutcome toPaper(const std::vector<tapecalc::ReportLine> &lines,
                                   const QFont &font) override {
        return tapecalc::printReportOnPaper(lines, font);
    }
    QString toPdf(const std::vector<tapecalc::ReportLine> &lines, const QFont &font,
                  const QString &folder, const QString &name) override {
        return tapecalc::writeReportPdf(lines, font, folder, name);
    }
};

} // namespace

extern "C" Q_DECL_EXPORT tapecalc::ReportPrinter *tapecalc_report_printer_1() {
    static Printer printer;
    return &printer;
}
