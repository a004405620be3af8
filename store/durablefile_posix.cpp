// The file calls of a save and of the journal on POSIX systems: a temporary locked with
// flock while it lives, a rename that never replaces (renameat2 or link), fdatasync
// (F_FULLFSYNC on macOS), and the journal's flock.
#include "store/durablefile.h"
#include "store/platform_p.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace tapecalc::durable {

namespace {

// All of `size` bytes, however many calls the system takes for them.
bool writeAll(int fd, const char *data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

bool syncData(int fd) {
#ifdef __APPLE__
    // fsync leaves the data in the drive's cache on macOS; F_FULLFSYNC does not.
    if (fcntl(fd, F_FULLFSYNC) == 0)
        return true;
    return fsync(fd) == 0;
#else
    return fdatasync(fd) == 0;
#endif
}

} // namespace

Creation createWritten(const QString &path, const QByteArray &bytes) {
    const QByteArray name = QFile::encodeName(path);
    // 0666 less the umask: the permissions any new file of this user gets.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {errno == EEXIST ? Created::nameTaken : Created::failed};
    // Locked as in use until it has its final name. Another copy's start-up clean-up may
    // have locked and removed it in the instant since it was made: then another name.
    struct stat made {};
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &made) != 0 || made.st_nlink == 0) {
        ::close(fd);
        return {Created::nameTaken};
    }
    // The content must be on the disk before the file gets a name the list shows.
    if (!writeAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) || !syncData(fd)) {
        ::close(fd);
        return {Created::failed};
    }
    return {Created::written, fd};
}

void closeTemporary(int handle) {
    ::close(handle); // and with it the lock
}

Placed placeAsNew(const Temporary &temporary, const QString &path) {
    const QByteArray from = QFile::encodeName(temporary.path());
    const QByteArray to = QFile::encodeName(path);
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    // One step, so no moment exists in which both names are there.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return Placed::done;
    if (errno == EEXIST)
        return Placed::nameTaken;
    // A file system without that rename (some network ones) still takes a hard link.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return Placed::failed;
#endif
    // link() fails on an existing name instead of replacing it; a kill before the unlink
    // leaves the whole file under both names, and the next start removes the temporary.
    if (::link(from.constData(), to.constData()) != 0)
        return errno == EEXIST ? Placed::nameTaken : Placed::failed;
    ::unlink(from.constData());
    return Placed::done;
}

bool replaceWith(const Temporary &temporary, const QString &path) {
    return ::rename(QFile::encodeName(temporary.path()).constData(),
                    QFile::encodeName(path).constData()) == 0;
}

bool mayReplace(const QString &path) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct stat fileInfo {};
    struct stat folderInfo {};
    const uid_t user = ::geteuid();
    // An administrator may write anything: the owner's write bit still marks a file or a
    // folder its owner made read-only.
    return ::stat(file.constData(), &fileInfo) == 0 &&
           ::stat(folder.constData(), &folderInfo) == 0 && fileInfo.st_uid == user &&
           folderInfo.st_uid == user && (fileInfo.st_mode & S_IWUSR) != 0 &&
           (folderInfo.st_mode & S_IWUSR) != 0 && ::access(file.constData(), W_OK) == 0 &&
           ::access(folder.constData(), W_OK | X_OK) == 0;
}

bool removeAbandoned(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    // A copy still writing it holds the lock. Unlinked only while locked here, and only
    // the very file that was locked.
    bool removed = false;
    struct stat locked {};
    struct stat named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &locked) == 0 &&
        ::lstat(name.constData(), &named) == 0 && locked.st_dev == named.st_dev &&
        locked.st_ino == named.st_ino)
        removed = ::unlink(name.constData()) == 0;
    ::close(fd);
    return removed;
}

bool removeTemporary(const QString &path) {
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

bool syncFile(const QString &path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = syncData(fd);
    return ::close(fd) == 0 && ok;
}

void syncFolder(const QString &folder) {
    int flags = O_RDONLY | O_CLOEXEC;
#ifdef O_DIRECTORY
    flags |= O_DIRECTORY;
#endif
    const int fd = ::open(QFile::encodeName(folder).constData(), flags);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The journal's locked file: a descriptor under flock.

LockedFile::Opened LockedFile::open(const QString &path, bool create) {
    close();
    const QByteArray name = QFile::encodeName(path);
    // A file left by another copy is looked at before it is opened: opening a device can
    // act on it, and a pipe would wait for a writer.
    struct stat named {};
    if (!create && ::lstat(name.constData(), &named) != 0)
        return errno == ENOENT ? Opened::failed : Opened::refused;
    if (!create && !S_ISREG(named.st_mode))
        return Opened::refused;
    const int flags =
        O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | (create ? O_CREAT | O_EXCL : 0);
    const int fd = ::open(name.constData(), flags, 0600);
    if (fd < 0) {
        noteFailure();
        return errno == ENOENT || errno == EEXIST || create ? Opened::failed : Opened::refused;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Opened::held : Opened::failed;
    }
    // The copy that had the lock may have removed the file before letting go of it; and
    // the name may have been given to another file since it was looked at.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_nlink == 0) {
        ::close(fd);
        return Opened::failed;
    }
    if (!S_ISREG(info.st_mode) ||
        (!create && (info.st_dev != named.st_dev || info.st_ino != named.st_ino))) {
        ::close(fd);
        return Opened::refused;
    }
    m_handle = fd;
    m_path = path;
    return Opened::locked;
}

bool LockedFile::append(std::string_view bytes) {
    if (writeAll(static_cast<int>(m_handle), bytes.data(), bytes.size()))
        return true;
    noteFailure();
    return false;
}

bool LockedFile::truncate(qint64 size) {
    return ::ftruncate(static_cast<int>(m_handle), static_cast<off_t>(size)) == 0;
}

std::optional<QByteArray> LockedFile::readAll(qint64 limit) {
    const int fd = static_cast<int>(m_handle);
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size > limit)
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(info.st_size));
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t done = ::pread(fd, buffer, sizeof buffer, at);
        if (done < 0 && errno == EINTR)
            continue;
        if (done < 0)
            return std::nullopt;
        if (done == 0)
            return bytes;
        // Grown since it was measured: still no longer than the limit.
        if (bytes.size() + done > limit)
            return std::nullopt;
        bytes.append(buffer, static_cast<qsizetype>(done));
        at += done;
    }
}

bool LockedFile::sync() {
    return syncData(static_cast<int>(m_handle));
}

void LockedFile::noteFailure() {
    m_diskFull = errno == ENOSPC || errno == EDQUOT;
}

bool LockedFile::takeOver(LockedFile &next) {
    // The name passes to the new file in one step; the old file keeps its lock until then.
    if (::rename(QFile::encodeName(next.m_path).constData(),
                 QFile::encodeName(m_path).constData()) != 0)
        return false;
    ::close(static_cast<int>(m_handle));
    m_handle = std::exchange(next.m_handle, closed);
    next.m_path.clear();
    return true;
}

void LockedFile::remove() {
    if (!isOpen())
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    close();
}

void LockedFile::close() {
    if (!isOpen())
        return;
    ::close(static_cast<int>(m_handle));
    m_handle = closed;
}

} // namespace tapecalc::durable
