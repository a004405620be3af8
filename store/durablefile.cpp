// Durable writes and no-replace renames for POSIX and Windows: the only file of the
// program that calls the operating system's file functions directly.
#include "store/durablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tapecalc::durable {

namespace {

// The template's six X replaced by letters and digits.
QString temporaryName() {
    static constexpr char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString name = QString::fromLatin1(temporaryTemplate);
    const qsizetype first = name.indexOf(QLatin1String("XXXXXX"));
    for (qsizetype i = first; i < first + 6; ++i)
        name[i] = QLatin1Char(
            alphabet[QRandomGenerator::global()->bounded(static_cast<int>(sizeof alphabet - 1))]);
    return name;
}

enum class Created { written, nameTaken, failed };

struct Creation {
    Created result = Created::failed;
    int handle = -1; // the open, locked descriptor of a written file (POSIX)
};

#ifdef Q_OS_WIN

const wchar_t *native(const QString &path) {
    return reinterpret_cast<const wchar_t *>(path.utf16());
}

// A virus scanner, an indexer or a backup program opening a file for a moment makes a
// move or a delete fail with an access, sharing or lock error: tried again a few times
// with short waits (about a second in all), as SQLite does on Windows.
template <typename Operation> bool withRetries(Operation operation) {
    constexpr int attempts = 10;
    for (int n = 1;; ++n) {
        if (operation())
            return true;
        const DWORD error = GetLastError();
        const bool passing = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                             error == ERROR_LOCK_VIOLATION;
        if (!passing || n == attempts) {
            SetLastError(error);
            return false;
        }
        Sleep(static_cast<DWORD>(25 * n));
    }
}

Creation createWritten(const QString &path, const QByteArray &bytes) {
    const QString nativePath = QDir::toNativeSeparators(path);
    // No sharing while it is written: another copy cannot remove it meanwhile.
    HANDLE h = CreateFileW(native(nativePath), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return {error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::nameTaken
                                                                            : Created::failed};
    }
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    bool ok = true;
    while (ok && left > 0) {
        const DWORD chunk = static_cast<DWORD>(qMin<qsizetype>(left, 1 << 30));
        DWORD done = 0;
        ok = WriteFile(h, data, chunk, &done, nullptr) != 0 && done > 0;
        data += done;
        left -= static_cast<qsizetype>(done);
    }
    // The content must be on the disk before the file gets a name the list shows.
    ok = ok && FlushFileBuffers(h) != 0;
    ok = CloseHandle(h) != 0 && ok;
    return {ok ? Created::written : Created::failed};
}

Placed moveFile(const QString &from, const QString &to, DWORD flags) {
    const QString nativeFrom = QDir::toNativeSeparators(from);
    const QString nativeTo = QDir::toNativeSeparators(to);
    // Write-through: the move is on the disk when the call returns.
    if (withRetries([&] {
            return MoveFileExW(native(nativeFrom), native(nativeTo),
                               flags | MOVEFILE_WRITE_THROUGH) != 0;
        }))
        return Placed::done;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Placed::nameTaken
                                                                       : Placed::failed;
}

#else

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
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t done = ::write(fd, data, static_cast<std::size_t>(left));
        if (done < 0 && errno == EINTR)
            continue;
        ok = done > 0;
        if (ok) {
            data += done;
            left -= done;
        }
    }
    // The content must be on the disk before the file gets a name the list shows.
    ok = ok && syncData(fd);
    if (!ok) {
        ::close(fd);
        return {Created::failed};
    }
    return {Created::written, fd};
}

#endif

} // namespace

Temporary::Temporary(Temporary &&other) noexcept
    : m_path(std::exchange(other.m_path, {})), m_handle(std::exchange(other.m_handle, -1)) {}

Temporary &Temporary::operator=(Temporary &&other) noexcept {
    if (this != &other) {
        Temporary old(std::move(*this));
        m_path = std::exchange(other.m_path, {});
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

Temporary::~Temporary() {
#ifndef Q_OS_WIN
    if (m_handle >= 0)
        ::close(m_handle); // and with it the lock
#endif
}

Temporary writeTemporary(const QString &folder, const QByteArray &bytes) {
    constexpr int attempts = 100;
    for (int n = 0; n < attempts; ++n) {
        const QString path = QDir(folder).filePath(temporaryName());
        const Creation made = createWritten(path, bytes);
        switch (made.result) {
        case Created::written:
            return Temporary(path, made.handle);
        case Created::nameTaken:
            continue;
        case Created::failed:
            removeTemporary(path);
            return {};
        }
    }
    return {};
}

#ifdef Q_OS_WIN

Placed placeAsNew(const Temporary &temporary, const QString &path) {
    return moveFile(temporary.path(), path, 0);
}

bool replaceWith(const Temporary &temporary, const QString &path) {
    return moveFile(temporary.path(), path, MOVEFILE_REPLACE_EXISTING) == Placed::done;
}

bool removeAbandoned(const QString &path) {
    // A file another copy still writes is open without sharing: the delete fails, and is
    // not tried again.
    const QString name = QDir::toNativeSeparators(path);
    SetFileAttributesW(native(name), FILE_ATTRIBUTE_NORMAL); // read-only files refuse
    return DeleteFileW(native(name)) != 0;
}

bool removeTemporary(const QString &path) {
    const QString name = QDir::toNativeSeparators(path);
    SetFileAttributesW(native(name), FILE_ATTRIBUTE_NORMAL); // read-only files refuse
    return withRetries([&] { return DeleteFileW(native(name)) != 0; });
}

bool syncFile(const QString &path) {
    const QString nativePath = QDir::toNativeSeparators(path);
    HANDLE h = CreateFileW(native(nativePath), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = FlushFileBuffers(h) != 0;
    return CloseHandle(h) != 0 && ok;
}

void syncFolder(const QString &) {
    // The moves were made write-through; Windows offers no flush of a folder.
}

#else

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

#endif

QString placeUnderFreeName(const Temporary &temporary, const QString &folder, const QString &name) {
    const QFileInfo first(name);
    constexpr int attempts = 1000;
    for (int n = 1; n <= attempts; ++n) {
        const QString candidate = n == 1
                                      ? name
                                      : first.completeBaseName() + QLatin1Char('-') +
                                            QString::number(n) + QLatin1Char('.') + first.suffix();
        const QString path = QDir(folder).filePath(candidate);
        const Placed placed = placeAsNew(temporary, path);
        if (placed == Placed::done) {
            syncFolder(folder);
            return path;
        }
        // Only a name taken in the meantime is worth another try.
        if (placed == Placed::failed)
            break;
    }
    removeTemporary(temporary.path());
    return {};
}

} // namespace tapecalc::durable
