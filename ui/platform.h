// The services the window asks of the system: sound, clock, browser, message box,
// printer and the end of the program. The real ones live in realplatform.h; tests
// record the requests instead.
#pragma once

#include "core/report.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <vector>

namespace tapecalc {

// The report in the form printWithColumns() takes, kept for the platforms written for it:
// text that starts at a character column of a printed line (0 is the left edge).
struct PrintPiece {
    int column = 0;
    QString text;
};
using PrintLines = QList<QList<PrintPiece>>;

// A report as printWithColumns() takes it: its text lines, and the same lines as pieces
// at their columns.
struct PrintedReport {
    QStringList lines;
    PrintLines pieces;
};

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
    // The report as text lines, each from the left edge; false when nothing was printed.
    // The window prints through printReportLines().
    virtual bool print(const QStringList &lines) = 0;
    virtual void endProgram() = 0;
    // The report with its columns kept on paper. By default the text lines go to print(),
    // whose false counts as no printer. The window prints through printReportLines().
    virtual PrintOutcome printWithColumns(const PrintedReport &report) {
        return print(report.lines) ? PrintOutcome::printed : PrintOutcome::noPrinter;
    }
    // Opens `url` like openUrl() and tells `opened` whether something took it, perhaps
    // later (a browser looked for in the background). By default openUrl() always does.
    virtual void openUrlThen(const QUrl &url, std::function<void(bool opened)> opened) {
        openUrl(url);
        opened(true);
    }
    // A message that something failed (a save, a delete, an open), with the warning sign.
    // By default a plain message.
    virtual void showWarning(const QString &text) { showMessage(text); }
    // The report on paper, every piece at its column, waited for. By default a platform
    // written for printWithColumns() gets it that way.
    virtual PrintOutcome printReportLines(const std::vector<ReportLine> &lines);
    // A notice that leaves the keys to the window (nothing to dismiss before the next key):
    // the journal of the unsaved tape stopped or started again keeping up. By default a
    // warning.
    virtual void showNotice(const QString &text) { showWarning(text); }
    // Asks, as file managers do, whether the tape file `name`, which no trash can take,
    // is deleted for good: deleteForGoodQuestion with the buttons 删除 and 取消, true for
    // 删除. By default nothing is asked and the file stays, with a warning that says so:
    // a platform that cannot ask neither loses a file nor keeps it without a word.
    virtual bool confirmDeleteForGood(const QString &name);
    // The report as a PDF in `folder`, named `name` or a free name of its stem; its path, or
    // empty when it could not be written. By default with Qt's own PDF writer in the
    // program's face (ui/printer.cpp).
    virtual QString saveReportPdf(const std::vector<ReportLine> &lines, const QString &folder,
                                  const QString &name);
    // The report on paper, and where it does not get there kept as the PDF `pdfName` in
    // `pdfFolder`: the one way the window prints. `done` gets what became of it on the
    // window's thread: once decided, and for a job that was on its way and failed after
    // all once more, late. By default printReportLines(), then saveReportPdf() when it did
    // not print, before returning; the real platform keeps the window free meanwhile.
    virtual void printReportThen(const std::vector<ReportLine> &lines, const QString &pdfFolder,
                                 const QString &pdfName,
                                 std::function<void(const PrintResult &)> done);
};

// The question of confirmDeleteForGood().
inline const QString deleteForGoodQuestion = QStringLiteral("无法移到回收站。要永久删除吗？");

inline bool Platform::confirmDeleteForGood(const QString &name) {
    showWarning(QStringLiteral("无法移到回收站，没有删除：") + name);
    return false;
}

// The report lines in the form of printWithColumns(), and back; text lines as lines of one
// piece at the left edge.
inline PrintedReport printedReport(const std::vector<ReportLine> &lines) {
    PrintedReport report;
    for (const ReportLine &line : lines) {
        report.lines << QString::fromStdString(lineText(line));
        QList<PrintPiece> pieces;
        for (const ReportPiece &piece : line)
            pieces.append({static_cast<int>(piece.column), QString::fromStdString(piece.text)});
        report.pieces.append(pieces);
    }
    return report;
}

inline std::vector<ReportLine> reportLinesOf(const PrintLines &pieces) {
    std::vector<ReportLine> lines;
    for (const QList<PrintPiece> &line : pieces) {
        ReportLine &added = lines.emplace_back();
        for (const PrintPiece &piece : line)
            added.push_back({static_cast<std::size_t>(piece.column), piece.text.toStdString()});
    }
    return lines;
}

inline std::vector<ReportLine> reportLinesOf(const QStringList &text) {
    std::vector<ReportLine> lines;
    for (const QString &line : text)
        lines.push_back({{0, line.toStdString()}});
    return lines;
}

inline PrintOutcome Platform::printReportLines(const std::vector<ReportLine> &lines) {
    return printWithColumns(printedReport(lines));
}

// Shown in message boxes and the task bar.
inline const QString programTitle = QStringLiteral("纸带计算器");

} // namespace tapecalc
