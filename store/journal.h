// The journal of the tape being keyed: every change of the tape view goes to a small file
// in the data folder as it happens, and the next start after a kill, a crash, a logout or
// a power cut saves the tape it describes as a new tape file. The records are
// core/journalformat's.
#pragma once

#include "store/durablefile.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace tapecalc {

// ".tapecalc-journal-<pid>" (then "-2", "-3" for more windows in one process): hidden,
// and matched neither by the tapes' pattern nor by the save's temporaries'.
inline constexpr char journalPrefix[] = ".tapecalc-journal-";

class TapeJournal {
  public:
    explicit TapeJournal(QString dataFolder);
    // Closes the file and keeps it: only the user's own end of the program (discard)
    // gives up the tape.
    ~TapeJournal();
    TapeJournal(const TapeJournal &) = delete;
    TapeJournal &operator=(const TapeJournal &) = delete;

    // The tape view's text is now `view`. What changed since the text followed so far is
    // appended as one record, sized by the change: a tape that grows or changes its last
    // rows costs a few bytes at any length. `kept`: the new view is a tape file's content
    // (just opened), said in the same write. Returns where `view` first differs from the
    // text followed so far (its length when they are the same).
    qsizetype follow(const QString &view, bool kept = false);
    // A correction typed into the view: `removed` units at `position` gave way to
    // `inserted`. False when that does not fit the text followed so far.
    bool edited(qsizetype position, qsizetype removed, const QString &inserted);
    // The view as it stands is in a tape file (saved, or just opened).
    void kept();
    // The user ended the program: the journal goes.
    void discard();

    const QString &view() const { return m_view; }
    QString path() const { return m_path; }

  private:
    void record(qsizetype position, qsizetype removed, const QString &inserted, bool kept);
    // Starts the file over from the whole view, with `tail` appended in the same write.
    void rewrite(const std::string &tail = {});
    bool openNew();
    void append(const std::string &bytes);
    void stopSyncing();
    void syncLoop();

    QString m_folder;
    QString m_path;
    QString m_view;
    durable::LockedFile m_file;
    qint64 m_size = 0;     // bytes in the file
    bool m_kept = false;   // the file says the view is in a tape file
    bool m_behind = false; // a write failed: the file must start over from the whole view

    // Syncing runs beside the window, at most once a second, so a power cut loses at
    // most the last second of keys and no key waits for the disk.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_dirty = false;
    bool m_stop = false;
    std::thread m_syncer;
};

// At start: each journal in `dataFolder` left by a copy that has ended (its process is
// gone and its lock is free) becomes a new tape file named from `moment`, then goes. A
// journal of a blank tape, or of one that is in a file already, only goes; one whose
// tape cannot be saved stays for the next start. The names of the new tape files.
QStringList recoverJournals(const QString &dataFolder, const QDateTime &moment);

} // namespace tapecalc
