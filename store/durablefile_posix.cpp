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
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | (create ? O_CREAT | O_EXCL : 0);
    const int fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
    if (fd < 0)
        return Opened::failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? Opened::held : Opened::failed;
    }
    // The copy that had the lock may have removed the file before letting go of it.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_nlink == 0) {
        ::close(fd);
        return Opened::failed;
    }
    m_handle = fd;
    m_path = path;
    return Opened::locked;
}

bool LockedFile::append(std::string_view bytes) {
    return writeAll(static_cast<int>(m_handle), bytes.data(), bytes.size());
}

bool LockedFile::truncate(qint64 size) {
    return ::ftruncate(static_cast<int>(m_handle), static_cast<off_t>(size)) == 0;
}

QByteArray LockedFile::readAll() {
    QByteArray bytes;
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t done = ::pread(static_cast<int>(m_handle), buffer, sizeof buffer, at);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return bytes;
        bytes.append(buffer, static_cast<qsizetype>(done));
        at += done;
    }
}

bool LockedFile::sync() {
    return syncData(static_cast<int>(m_handle));
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
