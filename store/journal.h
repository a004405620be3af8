// The journal of the tape being keyed: every change of the tape view goes to a small file
// in the data folder as it happens, and the next start after a kill, a crash, a logout or
// a power cut saves the tape it describes as a new tape file. The records are
// core/journalformat's.
#pragma once

#include "core/journalformat.h"
#include "store/durablefile.h"
#include "store/tapefiles.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tapecalc {

// ".tapecalc-journal-<pid>" (then "-2", "-3" for more windows in one process): hidden,
// and matched neither by the tapes' pattern nor by the save's temporaries'.
inline constexpr char journalPrefix[] = ".tapecalc-journal-";
// A journal being recovered, named for the tape file it becomes ("…-20261206$16$58$07-2"
// for "20261206$16$58$07-2.qtz"), so that a start after a kill mid-way finds that file
// instead of making a second one.
inline constexpr char recoveringPrefix[] = ".tapecalc-recovering-";
// A journal with bytes that could not be read after a damaged record: what could be read
// became a tape; the rest stays here, for a person to look at.
inline constexpr char damagedPrefix[] = ".tapecalc-damaged-journal-";
// A journal left by an ended copy that is none this program can read (a link, a device,
// another version's, too large): renamed so that it is named at one start only.
inline constexpr char unknownPrefix[] = ".tapecalc-unknown-journal-";
// Journals set aside (damaged or unknown) kept at most, besides those of this start: the
// newest by their last write.
inline constexpr int keptAsideJournals = 8;

// The largest journal read, and written: from the tape bound. The view of the largest tape
// file is at most that many units, two bytes each in the journal, and the changes may
// outweigh it as much again before the file starts over; only a longer view typed by hand
// is too long to be kept.
inline constexpr qint64 largestJournal = 4 * largestTapeFile;

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
    // The user ended the program, or cleared the tape: the journal goes. Where its name
    // cannot go, the file is emptied (and kept for what follows), so no later start
    // brings the tape back. False when not even that could be done.
    bool discard();

    const QString &view() const { return m_view; }
    QString path() const { return m_path; }

    // Whether the file follows the view: when it does not, a kill now loses the changes
    // since it last did (the file still holds the last view it was written whole with).
    enum class Health { keepsUp, diskFull, cannotWrite, tooLong };
    Health health() const { return m_health; }
    // Called when the file stops following the view, and when it follows again; not for
    // each write that fails meanwhile.
    void onHealthChange(std::function<void(Health)> handler) { m_onHealth = std::move(handler); }

  private:
    void record(qsizetype position, qsizetype removed, const QString &inserted, bool kept);
    // Writes what the file lacks: the change given, or (behind) the whole view in place
    // of the view the file has; then the kept mark. Never cuts what the file holds.
    void store(qsizetype position, qsizetype removed, const QString &inserted,
               const std::string &keptMark);
    qint64 sizeLimit() const;
    bool appendRecords(const std::string &bytes);
    // The file made anew from the whole view and the kept mark, put in place whole.
    void startOver(const std::string &keptMark);
    void wrote(qint64 size, const journal::Work &work);
    void failed(Health why);
    bool openNew();
    void startSyncing();
    void stopSyncing();
    void syncLoop();

    QString m_folder;
    QString m_path;
    QString m_view;
    durable::LockedFile m_file;
    qint64 m_size = 0;         // bytes in the file, all whole records
    journal::Work m_work;      // the work a replay of the file does
    qsizetype m_fileUnits = 0; // length of the view the file replays to
    bool m_kept = false;       // the view is in a tape file
    bool m_behind = false;     // the file lacks the latest changes
    bool m_torn = false;       // a failed write left bytes that could not be cut off
    Health m_health = Health::keepsUp;
    std::function<void(Health)> m_onHealth;

    // Syncing runs beside the window, at most once a second, so a power cut loses at
    // most the last second of keys and no key waits for the disk.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_dirty = false;
    bool m_stop = false;
    std::thread m_syncer;
};

struct Recovery {
    QStringList tapes; // tape files made of journals, at this start or one cut off before it
    QStringList left;  // journals that could not be read or replayed whole, as they are named now
    // Journals whose tape is larger than a tape file may be, or has a row longer than a
    // tape's (tapeFit): such a file would not open. Set aside as they are, as they are
    // named now.
    QStringList tooLarge;
    QStringList rowTooLong;
};

// At start: each journal in `dataFolder` left by a copy that has ended (its process is
// gone and its lock is free) becomes a new tape file named from `moment`, then goes. A
// journal of a blank tape, or of one that is in a file already, only goes; one whose
// tape cannot be saved stays for the next start, as does a file this user may not open
// (another user's, in a shared folder). One that is no regular file, is larger than
// largestJournal, is of another version, or holds a tape the open would refuse
// (Recovery::tooLarge) is renamed aside as it is (unknownPrefix); a damaged one gives the
// tape up to the damage and is renamed aside (damagedPrefix). Those set aside at this start
// stay, and of the earlier ones the newest, up to keptAsideJournals in all. A kill at any
// moment of it
// never gives a journal's tape twice.
Recovery recoverJournals(const QString &dataFolder, const QDateTime &moment);

} // namespace tapecalc
