// Everything the window says in words, in one place: for each outcome of an action, how
// it is said (a message box, one with the warning sign, or a notice that leaves the keys
// to the window) and the words; the program's title and the question before a delete for
// good.
#pragma once

#include "core/report.h"
#include "core/requests.h"
#include "store/journal.h"
#include "store/tapefiles.h"

#include <QString>

namespace tapecalc {

// Shown in message boxes and the task bar.
inline const QString programTitle = QStringLiteral("纸带计算器");

// Asked, with the buttons 删除 and 取消, before a tape no trash takes is deleted for good.
inline const QString deleteForGoodQuestion = QStringLiteral("无法移到回收站。要永久删除吗？");

enum class Tell {
    nothing,
    message, // a message box
    warning, // a message box with the warning sign: something failed
    notice,  // a box that leaves the keys to the window: nothing to dismiss first
};

struct Said {
    Tell tell = Tell::nothing;
    QString words;
};

// The calculator's own (the function keys' domain, a full tape).
Said said(Message message);
// The journal of the unsaved tape stopped, or started again, keeping up.
Said said(TapeJournal::Health health);
// The start's one word on the tapes of ended copies it recovered or set aside.
Said said(const Recovery &recovery);
// 保存; `savedAs` is the name of the file the tape is now tied to.
Said said(SaveOutcome outcome, const QString &savedAs);
// A click on a name in the list; `linesLeftOut` of a tape opened only in part.
Said said(OpenOutcome outcome, const QString &name, int linesLeftOut);
// 删除 of the selected `name`.
Said said(DeleteOutcome outcome, const QString &name);
// 打印, once decided (`late`: a job that was on its way failed after all); `pdf` is where
// the report was kept instead, empty when it printed or no PDF could be written.
Said said(PrintOutcome outcome, const QString &pdf, bool late);

// Said without an outcome of their own.
Said rowFull();                              // the tape view's row cannot grow
Said noBrowser(const QString &page);         // the help page could not be opened
Said endsOncePrinted();                      // a quit waits for the print in flight
Said notDeletedForGood(const QString &name); // a platform that cannot ask keeps the file

} // namespace tapecalc
