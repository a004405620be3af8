// The services the window asks of the system: sound, clock, browser, message box,
// printer and the end of the program. The real ones live in realplatform.h; tests
// record the requests instead. Every default is in platform.cpp.
#pragma once

#include "core/report.h"

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <functional>
#include <vector>

namespace tapecalc {

// What became of a report sent to paper: the PDF it was kept in instead (empty when it
// printed, or when no PDF could be written), and whether it failed late, after it was on
// its way.
struct PrintResult {
    PrintOutcome outcome = PrintOutcome::printed;
    QString pdf;
    bool late = false;
};

class Platform {
  public:
    virtual ~Platform() = default;
    virtual void
    playCue(const QString &path) = 0; // asynchronous; cuts the sounding cue; empty path allowed
    virtual void playCueBlocking(const QString &path) = 0; // returns when the cue has ended
    virtual QDateTime now() const = 0;
    virtual void openUrl(const QUrl &url) = 0;
    virtual void
    showMessage(const QString &text) = 0; // modal, OK only, titled with the program's title
    virtual void endProgram() = 0;

    // Opens `url` like openUrl() and tells `opened` whether something took it, perhaps
    // later (a browser looked for in the background). By default openUrl() always does.
    virtual void openUrlThen(const QUrl &url, std::function<void(bool opened)> opened);
    // A message that something failed (a save, a delete, an open), with the warning sign.
    // By default a plain message.
    virtual void showWarning(const QString &text);
    // A notice that leaves the keys to the window (nothing to dismiss before the next key):
    // the journal of the unsaved tape stopped or started again keeping up. By default a
    // warning.
    virtual void showNotice(const QString &text);
    // Asks, as file managers do, whether the tape file `name`, which no trash can take,
    // is deleted for good (the question of ui/messages.h, with the buttons 删除 and 取消),
    // true for 删除. By default nothing is asked and the file stays, with a warning that
    // says so: a platform that cannot ask neither loses a file nor keeps it without a word.
    virtual bool confirmDeleteForGood(const QString &name);

    // The report on paper, each piece at its column, waited for. By default there is no
    // printer.
    virtual PrintOutcome printReportLines(const std::vector<ReportLine> &lines);
    // The report as a PDF in `folder`, named `name` or a free name of its stem; its path, or
    // empty when it could not be written. By default with Qt's own PDF writer in the
    // program's face.
    virtual QString saveReportPdf(const std::vector<ReportLine> &lines, const QString &folder,
                                  const QString &name);
    // The window's way to print: the report on paper, and where it does not get there
    // kept as the PDF `pdfName` in `pdfFolder`. `done` gets what became of it on the
    // window's thread: once decided, and for a job that was on its way and failed after
    // all once more, late. By default printReportLines(), then saveReportPdf() when it did
    // not print, before returning; the real platform keeps the window free meanwhile.
    virtual void printReportThen(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                                 const QString &pdfName,
                                 std::function<void(const PrintResult &)> done);
};

} // namespace tapecalc
