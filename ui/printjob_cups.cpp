// The CUPS scheduler tells what became of a job, which QPrinter never says: whether the
// queue takes jobs, and the state of the job just sent, found by its title among this
// user's jobs on the queue.
#include "ui/printjob.h"

#include <QThread>

#include <cups/cups.h>

namespace tapecalc {

namespace {

// A CUPS destination as Qt names it: "queue" or "queue/instance".
struct CupsQueue {
    explicit CupsQueue(const QString &printerName) {
        const QByteArray local = printerName.toLocal8Bit();
        const qsizetype slash = local.indexOf('/');
        name = local.left(slash);
        if (slash >= 0)
            instance = local.mid(slash + 1);
    }

    // False only when the scheduler says the queue refuses jobs (cupsreject).
    bool acceptsJobs() const {
        cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                                             instance.isEmpty() ? nullptr : instance.constData());
        if (!dest)
            return true;
        const char *accepting =
            cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
        const bool refuses = accepting && qstrcmp(accepting, "false") == 0;
        cupsFreeDests(1, dest);
        return !refuses;
    }

    struct Job {
        int id = 0; // 0: none
        ipp_jstate_t state = IPP_JSTATE_PENDING;
    };

    // This user's newest job on the queue titled `title`; nothing when the scheduler
    // cannot be asked.
    std::optional<Job> newestJob(const QString &title) const {
        cups_job_t *jobs = nullptr;
        const int count =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, name.constData(), 1, CUPS_WHICHJOBS_ALL);
        if (count < 0)
            return std::nullopt;
        const QByteArray wanted = title.toLocal8Bit();
        Job newest;
        for (int i = 0; i < count; ++i)
            if (jobs[i].id > newest.id && jobs[i].title && wanted == jobs[i].title)
                newest = {jobs[i].id, jobs[i].state};
        cupsFreeJobs(count, jobs);
        return newest;
    }

    QByteArray name;
    QByteArray instance;
};

} // namespace

PrintJobWatch::PrintJobWatch(const QString &printerName, const QString &title)
    : m_printer(printerName), m_title(title) {
    const CupsQueue queue(printerName);
    m_accepting = queue.acceptsJobs();
    if (!m_accepting)
        return;
    if (const std::optional<CupsQueue::Job> newest = queue.newestJob(title))
        m_newestBefore = newest->id;
}

PrintOutcome PrintJobWatch::outcome() const {
    if (!m_newestBefore)
        return PrintOutcome::printed; // left to QPrinter, which said so
    const CupsQueue queue(m_printer);
    constexpr int waitMs = 3000;
    constexpr int stepMs = 100;
    for (int waited = 0;; waited += stepMs) {
        const std::optional<CupsQueue::Job> job = queue.newestJob(m_title);
        if (!job)
            return PrintOutcome::printed; // left to QPrinter, which said so
        if (job->id <= *m_newestBefore)
            return PrintOutcome::failed;
        switch (job->state) {
        case IPP_JSTATE_STOPPED:
        case IPP_JSTATE_CANCELED:
        case IPP_JSTATE_ABORTED:
            return PrintOutcome::failed;
        case IPP_JSTATE_COMPLETED:
            return PrintOutcome::printed;
        default:
            break;
        }
        if (waited >= waitMs)
            return PrintOutcome::printed;
        QThread::msleep(stepMs);
    }
}

} // namespace tapecalc
