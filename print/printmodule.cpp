// The print module's entry point.
#include "print/printmodule.h"

#include "modules/moduleentry.h"
#include "print/reportprinter.h"

namespace {

class Printer final : public tapecalc::ReportPrinter {
  public:
    tapecalc::PrintOutcome toPaper(const std::vector<tapecalc::ReportLine> &lines,
                                   const QFont &font, const QString &queue,
                                   const tapecalc::PrintWatch &watch) override {
        return tapecalc::printReportOnPaper(lines, font, queue, watch);
    }
};

} // namespace

TAPECALC_MODULE_ENTRY(tapecalc::ReportPrinter) {
    return new Printer;
}
