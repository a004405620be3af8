// The print module's entry point.
#include "print/printmodule.h"

#include "core/moduleentry.h"
#include "print/reportprinter.h"

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

TAPECALC_MODULE_ENTRY(tapecalc::ReportPrinter) {
    return new Printer;
}
