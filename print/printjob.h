// What became of a print job. QPrinter says only that it handed the job over; where the
// printers are CUPS queues the scheduler is asked (printjob_cups.cpp), elsewhere a job
// handed over counts as printed (printjob_none.cpp). The build picks the file.
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

    // After the job was sent: none made, one ended without printing, or one left waiting
    // where it will not print by itself (a stopped queue, a printer that gave it back)
    // within a few seconds, failed, and a waiting one is taken back; one still waiting or
    // printing then is on its way.
    PrintOutcome outcome() const;

  private:
    QString m_printer;
    QString m_title;
    bool m_accepting = true;
    std::optional<int> m_newestBefore; // the newest job of ours before; none: not asked
};

} // namespace tapecalc
