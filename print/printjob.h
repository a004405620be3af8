// What became of a print job. QPrinter says only that it handed the job over; where the
// printers are CUPS queues the scheduler is asked (printjob_cups.cpp), elsewhere a job
// handed over counts as printed (printjob_none.cpp). The build picks the file. Each call
// may block as long as the print system does.
#pragma once

#include "core/report.h"

#include <QString>

#include <optional>

namespace tapecalc {

class PrintJobWatch {
  public:
    // Looks at the queue `printerName` before a job titled `title` is sent to it.
    PrintJobWatch(const QString &printerName, const QString &title);

    // False when the queue says it refuses jobs or is stopped: QPrinter would hand it the
    // job and count it printed.
    bool queueAcceptsJobs() const { return m_accepting; }

    enum class State { waiting, printed, failed };

    // One look at the job sent since: printed, failed (ended without printing, none to be
    // found, the queue gone or the scheduler not answering: no answer is no success), or
    // still waiting its turn. One left waiting where it will not print by itself (a
    // stopped queue, a printer that gave it back) is taken back and failed.
    State look();

    // Takes back the job sent since, if there is one, so that it never prints.
    void cancel();

  private:
    QString m_printer;
    QString m_title;
    bool m_accepting = true;
    std::optional<int> m_newestBefore; // the newest job of ours before; none: not asked
    int m_job = 0;                     // the job sent since, once seen
};

} // namespace tapecalc
