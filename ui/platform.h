// The services the window asks of the system: sound, clock, browser, message box,
// printer and the end of the program. The real ones live in realplatform.h; tests
// record the requests instead.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace tapecalc {

// Text that starts at a character column of a printed line (0 is the left edge).
struct PrintPiece {
    int column = 0;
    QString text;
};
using PrintLines = QList<QList<PrintPiece>>;

// A printed report: its text lines, and the same lines as pieces at their columns for a
// printer that places each piece itself.
struct PrintedReport {
    QStringList lines;
    PrintLines pieces;
};

enum class PrintOutcome { printed, noPrinter, failed };

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
    virtual bool print(const QStringList &lines) = 0; // the printed report line by line; false when
                                                      // nothing was printed
    virtual void endProgram() = 0;
    // The report with its columns kept on paper. By default the text lines go to print(),
    // whose false counts as no printer.
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
};

// Shown in message boxes and the task bar.
inline const QString programTitle = QStringLiteral("纸带计算器");

} // namespace tapecalc
