// The file calls of a save and of the journal on POSIX systems: a temporary locked with
// flock while it lives, a rename that never replaces (renameat2 or link), fdatasync
// (F_FULLFSYNC on macOS), and the journal's flock.
#include "store/durablefile.h"
#include "store/platform_p.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
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
    const QByteArray name = nativePath(path);
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
    switch (moveNoReplace(temporary.path(), path)) {
    case Moved::done:
        return Placed::done;
    case Moved::nameTaken:
        return Placed::nameTaken;
    case Moved::otherMount:
    case Moved::failed:
        break;
    }
    return Placed::failed;
}

Moved moveNoReplace(const QString &from, const QString &to) {
    const QByteArray source = nativePath(from);
    const QByteArray target = nativePath(to);
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    // One step, so no moment exists in which both names are there.
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return Moved::done;
    if (errno == EEXIST)
        return Moved::nameTaken;
    if (errno == EXDEV)
        return Moved::otherMount;
    // A file system without that rename (some network ones) still takes a hard link.
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return Moved::failed;
#endif
    // link() fails on an existing name (a dangling link too) instead of replacing it; a
    // kill before the unlink leaves the whole file under both names.
    if (::link(source.constData(), target.constData()) != 0)
        return errno == EEXIST  ? Moved::nameTaken
               : errno == EXDEV ? Moved::otherMount
                                : Moved::failed;
    ::unlink(source.constData());
    return Moved::done;
}

QByteArray nativePath(const QString &path) {
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype run = 0; // start of the characters not yet encoded
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t unit = path.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < path.size() &&
            QChar::isLowSurrogate(path.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        if (unit < 0xDC80 || unit > 0xDCFF)
            continue;
        bytes += QStringView(path).mid(run, i - run).toUtf8();
        bytes += static_cast<char>(unit - 0xDC00);
        run = i + 1;
    }
    return bytes + QStringView(path).mid(run).toUtf8();
}

QString pathOfNative(const QByteArray &bytes) {
    QString text;
    text.reserve(bytes.size());
    const auto *b = reinterpret_cast<const unsigned char *>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        // The length of the sequence b[i] starts, and the least character it may hold.
        char32_t c = b[i];
        qsizetype length = 0;
        char32_t least = 0;
        if (c < 0x80)
            length = 1;
        else if (c >= 0xC2 && c <= 0xDF)
            length = 2, c &= 0x1F, least = 0x80;
        else if (c >= 0xE0 && c <= 0xEF)
            length = 3, c &= 0x0F, least = 0x800;
        else if (c >= 0xF0 && c <= 0xF4)
            length = 4, c &= 0x07, least = 0x10000;
        bool valid = length > 0 && i + length <= n;
        for (qsizetype k = 1; valid && k < length; ++k) {
            valid = (b[i + k] & 0xC0) == 0x80;
            c = (c << 6) | (b[i + k] & 0x3Fu);
        }
        if (valid && c >= least && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF)) {
            text += QStringView(QChar::fromUcs4(c));
            i += length;
        } else {
            text += QChar(static_cast<char16_t>(0xDC00 + b[i]));
            ++i;
        }
    }
    return text;
}

QStringList regularFileNames(const QString &folder, bool hidden) {
    QStringList names;
    const QByteArray path = nativePath(folder);
    DIR *listing = ::opendir(path.constData());
    if (!listing)
        return names;
    while (const dirent *entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name == "." || name == ".." || (!hidden && name.startsWith('.')))
            continue;
        bool regular = entry->d_type == DT_REG;
        // A link, or a file system whose listing gives no type: what the name leads to.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            regular = ::stat((path + '/' + name).constData(), &info) == 0 && S_ISREG(info.st_mode);
        }
        if (regular)
            names << pathOfNative(name);
    }
    ::closedir(listing);
    return names;
}

Entry entryAt(const QString &path) {
    struct stat info {};
    if (::lstat(nativePath(path).constData(), &info) != 0)
        return Entry::none;
    return S_ISREG(info.st_mode)   ? Entry::file
           : S_ISDIR(info.st_mode) ? Entry::folder
                                   : Entry::other;
}

QDateTime entryWritten(const QString &path) {
    struct stat info {};
    if (::lstat(nativePath(path).constData(), &info) != 0)
        return {};
    return QDateTime::fromSecsSinceEpoch(info.st_mtime);
}

bool removeEntry(const QString &path) {
    return ::unlink(nativePath(path).constData()) == 0;
}

OpenedFile openRegularFile(QFile &file, const QString &path) {
    const QByteArray name = nativePath(path);
    struct stat named {};
    if (::stat(name.constData(), &named) != 0)
        return errno == ENOENT ? OpenedFile::missing : OpenedFile::unreadable;
    // Looked at before it is opened: opening a device can act on it.
    if (!S_ISREG(named.st_mode))
        return OpenedFile::notAFile;
    // Without waiting, should the name have become a pipe since.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat opened {};
    if (fd < 0 || ::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        return fd < 0 ? OpenedFile::unreadable : OpenedFile::notAFile;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return OpenedFile::unreadable;
    }
    return OpenedFile::opened;
}

bool replaceWith(const Temporary &temporary, const QString &path) {
    return ::rename(nativePath(temporary.path()).constData(), nativePath(path).constData()) == 0;
}

bool mayReplace(const QString &path) {
    const QByteArray file = nativePath(path);
    const QByteArray folder = nativePath(QFileInfo(path).absolutePath());
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
    const QByteArray name = nativePath(path);
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
    return ::unlink(nativePath(path).constData()) == 0;
}

bool syncFile(const QString &path) {
    const int fd = ::open(nativePath(path).constData(), O_WRONLY | O_CLOEXEC);
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
    const int fd = ::open(nativePath(folder).constData(), flags);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

// The journal's locked file: a descriptor under flock.

LockedFile::Opened LockedFile::open(const QString &path, bool create) {
    close();
    const QByteArray name = nativePath(path);
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
    if (::rename(nativePath(next.m_path).constData(), nativePath(m_path).constData()) != 0)
        return false;
    ::close(static_cast<int>(m_handle));
    m_handle = std::exchange(next.m_handle, closed);
    next.m_path.clear();
    return true;
}

bool LockedFile::remove() {
    if (!isOpen())
        return true;
    if (::unlink(nativePath(m_path).constData()) != 0)
        return false;
    close();
    return true;
}

void LockedFile::close() {
    if (!isOpen())
        return;
    ::close(static_cast<int>(m_handle));
    m_handle = closed;
}

} // namespace tapecalc::durable
