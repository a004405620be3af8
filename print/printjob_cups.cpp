// The CUPS scheduler tells what became of a job, which QPrinter never says: whether the
// queue takes jobs, and the state of the job just sent, found by its title among this
// user's jobs on the queue.
#include "print/printjob.h"

#include <cups/cups.h>

namespace tapecalc {

namespace {

// A CUPS destination as Qt names it: "queue" or "queue/instance".
struct CupsQueue {
    explicit CupsQueue(const QString &printerName) {
        const QByteArray local = printerName.toLocal8Bit();
        const qsizetype slash = local.indexOf('/');
        name = slash < 0 ? local : local.left(slash); // left(-1) is empty in Qt 6
        if (slash >= 0)
            instance = local.mid(slash + 1);
    }

    // False when the scheduler says the queue refuses jobs (cupsreject) or is stopped
    // (cupsdisable, or a backend that failed under the stop-printer error policy): a job
    // sent there waits and prints nothing.
    bool takesJobs() const {
        cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                                             instance.isEmpty() ? nullptr : instance.constData());
        if (!dest)
            return true;
        const auto option = [dest](const char *key) {
            const char *value = cupsGetOption(key, dest->num_options, dest->options);
            return QByteArray(value ? value : "");
        };
        const bool refuses = option("printer-is-accepting-jobs") == "false";
        const bool stopped = option("printer-state").toInt() == IPP_PSTATE_STOPPED;
        cupsFreeDests(1, dest);
        return !refuses && !stopped;
    }

    struct Job {
        int id = 0; // 0: none
        ipp_jstate_t state = IPP_JSTATE_PENDING;
        bool processed = false; // the queue has started on it at least once
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
                newest = {jobs[i].id, jobs[i].state, jobs[i].processing_time != 0};
        cupsFreeJobs(count, jobs);
        return newest;
    }

    // Takes back a job that will not print now, so that it does not come out later
    // beside the PDF the window keeps instead.
    void cancel(int id) const { cupsCancelJob2(CUPS_HTTP_DEFAULT, name.constData(), id, 0); }

    QByteArray name;
    QByteArray instance;
};

// A job still waiting that will not print by itself: the queue has stopped (its backend
// failed under the stop-printer policy, or it was disabled), or the job came back from the
// printer (a failed backend under the retry-job policy holds it for a later try).
bool waitsInVain(const CupsQueue &queue, const CupsQueue::Job &job) {
    return job.processed || !queue.takesJobs();
}

} // namespace

PrintJobWatch::PrintJobWatch(const QString &printerName, const QString &title)
    : m_printer(printerName), m_title(title) {
    const CupsQueue queue(printerName);
    m_accepting = queue.takesJobs();
    if (!m_accepting)
        return;
    if (const std::optional<CupsQueue::Job> newest = queue.newestJob(title))
        m_newestBefore = newest->id;
}

PrintJobWatch::State PrintJobWatch::look() {
    if (!m_newestBefore)
        return State::failed; // the scheduler did not answer before the job either
    const CupsQueue queue(m_printer);
    const std::optional<CupsQueue::Job> job = queue.newestJob(m_title);
    if (!job || job->id <= *m_newestBefore)
        return State::failed; // no answer, the queue gone, or no job of ours made
    m_job = job->id;
    switch (job->state) {
    case IPP_JSTATE_STOPPED:
    case IPP_JSTATE_CANCELED:
    case IPP_JSTATE_ABORTED:
        return State::failed;
    case IPP_JSTATE_COMPLETED:
        return State::printed;
    case IPP_JSTATE_PENDING:
    case IPP_JSTATE_HELD:
        if (waitsInVain(queue, *job)) {
            queue.cancel(job->id);
            return State::failed;
        }
        return State::waiting;
    default:
        return State::waiting;
    }
}

void PrintJobWatch::cancel() {
    if (m_job == 0)
        if (const std::optional<CupsQueue::Job> job = CupsQueue(m_printer).newestJob(m_title))
            if (m_newestBefore && job->id > *m_newestBefore)
                m_job = job->id;
    if (m_job != 0)
        CupsQueue(m_printer).cancel(m_job);
}

} // namespace tapecalc
