// What a platform does by default for the services it leaves to them (platform.h).
#include "ui/platform.h"

#include "print/reportpainter.h"
#include "ui/messages.h"
#include "ui/programfont.h"

namespace tapecalc {

void Platform::openUrlThen(const QUrl &url, std::function<void(bool opened)> opened) {
    openUrl(url);
    opened(true);
}

void Platform::showWarning(const QString &text) {
    showMessage(text);
}

void Platform::showNotice(const QString &text) {
    showWarning(text);
}

bool Platform::confirmDeleteForGood(const QString &name) {
    showWarning(notDeletedForGood(name).words);
    return false;
}

PrintOutcome Platform::printReportLines(const std::vector<ReportLine> &) {
    return PrintOutcome::noPrinter;
}

QString Platform::saveReportPdf(const std::vector<ReportLine> &lines, const QString &folder,
                                const QString &name) {
    return writeReportPdf(lines, reportFont(), folder, name);
}

void Platform::printReportThen(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                               const QString &pdfName,
                               std::function<void(const PrintResult &)> done) {
    const PrintOutcome outcome = printReportLines(lines);
    done({outcome,
          outcome == PrintOutcome::printed ? QString() : saveReportPdf(lines, pdfFolder, pdfName)});
}

} // namespace tapecalc
