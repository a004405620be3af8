// Files that reach the disk whole or not at all, the journal's locked file and the check
// for a running copy: the few system calls that differ between POSIX and Windows, each
// behind one function here and nowhere else. durablefile.cpp holds what is the same on
// both; durablefile_posix.cpp / durablefile_win.cpp and process_posix.cpp /
// process_win.cpp the rest.
#pragma once

#include "store/freename.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>
#include <string_view>
#include <utility>

namespace tapecalc::durable {

// A save writes under a name of this form first (".tapecalc-" six letters ".tmp"); no
// tape pattern matches it, so the file list never shows a half-written file.
inline constexpr char temporaryTemplate[] = ".tapecalc-XXXXXX.tmp";
inline constexpr char temporaryPattern[] = ".tapecalc-??????.tmp";
inline bool isTemporaryName(QStringView name) { // matches temporaryPattern
    constexpr QLatin1StringView start(".tapecalc-"), end(".tmp");
    return name.size() == qsizetype(sizeof temporaryTemplate - 1) &&
           name.startsWith(start, Qt::CaseInsensitive) && name.endsWith(end, Qt::CaseInsensitive);
}

// A temporary file being written and placed, which another copy of the program starting
// meanwhile leaves alone (removeAbandoned). On POSIX the object holds an advisory lock on
// the file while it lives. On Windows the file is open without sharing, so it cannot be
// deleted, only while it is written; once written it is closed, and another copy leaves
// it alone for being younger than a minute.
class Temporary {
  public:
    Temporary() = default;
    Temporary(QString path, int handle) : m_path(std::move(path)), m_handle(handle) {}
    Temporary(Temporary &&other) noexcept;
    Temporary &operator=(Temporary &&other) noexcept;
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;
    ~Temporary();

    const QString &path() const { return m_path; }
    explicit operator bool() const { return !m_path.isEmpty(); }

  private:
    QString m_path;
    int m_handle = -1; // the locked descriptor (POSIX), else -1
};

// Makes the folder `path` and those above it that are missing, each for this user alone
// (0700, as the base-directory rules ask of the data home): they hold tapes, journals and
// reports. A folder already there stays as it is. Whether `path` is a folder afterwards.
bool makeFolders(const QString &path);

// A new temporary file in `folder` holding `bytes`, on the disk before it returns; an
// empty object when it could not be written (then nothing is left behind).
Temporary writeTemporary(const QString &folder, const QByteArray &bytes);

// Removes a temporary file that no running copy is writing: one no lock is held on (POSIX),
// one last written a minute ago or earlier (Windows). Whether it was removed.
bool removeAbandoned(const QString &path);

// Removes a temporary file of this program's own (read-only or not). Whether it was.
bool removeTemporary(const QString &path);

// Makes a file's content reach the disk (a file written by another writer, such as a
// PDF). Whether that worked.
bool syncFile(const QString &path);

enum class Placed { done, nameTaken, failed };

// A placing as a claim of a free name: only a name taken in the meantime is worth trying
// the next name for.
constexpr Claim claimOf(Placed placed) {
    return placed == Placed::done        ? Claim::done
           : placed == Placed::nameTaken ? Claim::taken
                                         : Claim::failed;
}

// Gives `temporary` the name `path` unless a file of that name exists: an existing file
// is never replaced, not even by a second program saving at the same moment.
Placed placeAsNew(const Temporary &temporary, const QString &path);

// Gives `temporary` the name `name` in `folder`, or else the first free of "stem-2.ext",
// "stem-3.ext", … (freename.h), never replacing a file, and syncs the folder. The path it got, or
// empty when it could not be placed (the temporary is then removed).
QString placeUnderFreeName(const Temporary &temporary, const QString &folder, const QString &name);

// Gives `temporary` the name `path` in one step, replacing the file there: a reader sees
// the old content or the new one, never a mixture.
bool replaceWith(const Temporary &temporary, const QString &path);

// Whether replaceWith may take the place of the existing file `path`: this user may write
// the file and its folder, neither is marked read-only, and on POSIX both are this user's
// own, since the new file would be this user's and the old owner would lose it.
bool mayReplace(const QString &path);

// Makes the names given in `folder` survive a power cut, where the platform lets a
// program ask for that.
void syncFolder(const QString &folder);

// A file one copy of the program appends to while it runs (the journal of the tape being
// keyed), under an exclusive lock that the system lets go when the copy ends, however it
// ends (flock on POSIX; on Windows a lock on one byte beyond any content, so that readers
// still read it). Another copy that cannot take the lock leaves the file alone.
class LockedFile {
  public:
    LockedFile() = default;
    LockedFile(const LockedFile &) = delete;
    LockedFile &operator=(const LockedFile &) = delete;
    ~LockedFile() { close(); }

    enum class Opened {
        locked,
        held,    // another process has the lock
        failed,  // missing, removed by the copy that had the lock, or (`create`) not made
        refused, // no regular file of its own: a link, a folder, a device, a pipe; or no access
    };
    // Opens `path` for reading and appending (a new file when `create`, failing when the
    // name is taken) and takes its lock without waiting. An existing file is opened only
    // as itself: never through a link, never a device or a pipe.
    Opened open(const QString &path, bool create);
    bool isOpen() const { return m_handle != closed; }
    const QString &path() const { return m_path; }

    bool append(std::string_view bytes); // at the end, in one call where the system allows
    bool truncate(qint64 size);
    // The whole content, or nothing when it is longer than `limit` bytes or unreadable.
    std::optional<QByteArray> readAll(qint64 limit);
    bool sync(); // the content on the disk; may run on another thread than append (and
                 // then leaves diskFull() alone)
    // Makes `bytes` the content in one step: written whole and synced under a temporary
    // name (locked like this file), then put in the file's place. On failure the file is
    // as it was. Not while sync() runs on another thread.
    bool replace(std::string_view bytes);
    // Gives the file the name `path` unless a file has it; the lock stays.
    Placed moveTo(const QString &path);
    // Whether the last call that failed failed for want of space (a full disk or quota).
    bool diskFull() const { return m_diskFull; }
    // Removes the file's name while the lock is still held, then closes it. Whether the
    // name went; if not, the file stays open.
    bool remove();
    void close();

  private:
    // Puts `next` (written, synced) in this file's place and takes its handle.
    bool takeOver(LockedFile &next);
    // Keeps whether the system call that just failed wanted space (errno, GetLastError).
    void noteFailure();

    static constexpr qintptr closed = -1;
    qintptr m_handle = closed; // a file descriptor, or a HANDLE on Windows
    QString m_path;
    bool m_diskFull = false;
};

// Whether a process of that id runs on this machine and could have been running at
// `moment`: one that ended and was not yet reaped (a zombie) does not run, and one known
// to have started after `moment` is another program that got the id again.
bool processRunsSince(qint64 pid, const QDateTime &moment);

} // namespace tapecalc::durable
