// Durable writes and no-replace renames for POSIX and Windows: the only file of the
// program that calls the operating system's file functions directly.
#include "store/durablefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <optional>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <csignal>
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
    // A file another copy still writes is open without sharing, so the delete fails; but
    // between its write and its move it is closed. A save takes milliseconds from its
    // temporary's creation to its name (a PDF of a full tape, seconds): one last written
    // a minute ago belongs to a copy that ended.
    if (QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) < 60)
        return false;
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

// The journal's locked file.

#ifdef Q_OS_WIN

namespace {
HANDLE handleOf(qintptr h) {
    return reinterpret_cast<HANDLE>(h);
}
// The lock covers one byte far beyond any content: Windows locks are mandatory for the
// bytes they cover, and readers of the journal must still read it.
constexpr DWORD lockOffsetHigh = 0x7FFFFFFF;
} // namespace

LockedFile::Opened LockedFile::open(const QString &path, bool create) {
    close();
    const QString nativePath = QDir::toNativeSeparators(path);
    HANDLE h = CreateFileW(native(nativePath), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           create ? CREATE_NEW : OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return Opened::failed;
    OVERLAPPED where{};
    where.OffsetHigh = lockOffsetHigh;
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) {
        CloseHandle(h);
        return Opened::held;
    }
    FILE_STANDARD_INFO info{};
    if (!GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info) ||
        info.DeletePending) {
        CloseHandle(h);
        return Opened::failed;
    }
    m_handle = reinterpret_cast<qintptr>(h);
    m_path = path;
    return Opened::locked;
}

bool LockedFile::append(std::string_view bytes) {
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(handleOf(m_handle), end, nullptr, FILE_END))
        return false;
    DWORD done = 0;
    return WriteFile(handleOf(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                     nullptr) &&
           done == bytes.size();
}

bool LockedFile::truncate(qint64 size) {
    LARGE_INTEGER to{};
    to.QuadPart = size;
    return SetFilePointerEx(handleOf(m_handle), to, nullptr, FILE_BEGIN) &&
           SetEndOfFile(handleOf(m_handle));
}

QByteArray LockedFile::readAll() {
    LARGE_INTEGER start{};
    LARGE_INTEGER size{};
    if (!SetFilePointerEx(handleOf(m_handle), start, nullptr, FILE_BEGIN) ||
        !GetFileSizeEx(handleOf(m_handle), &size))
        return {};
    QByteArray bytes(static_cast<qsizetype>(size.QuadPart), '\0');
    DWORD done = 0;
    if (!ReadFile(handleOf(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                  nullptr))
        return {};
    bytes.truncate(static_cast<qsizetype>(done));
    return bytes;
}

bool LockedFile::sync() {
    return FlushFileBuffers(handleOf(m_handle)) != 0;
}

void LockedFile::remove() {
    if (!isOpen())
        return;
    // The name goes when the last handle closes; shared for deletion, so this is now.
    DeleteFileW(native(QDir::toNativeSeparators(m_path)));
    close();
}

void LockedFile::close() {
    if (!isOpen())
        return;
    CloseHandle(handleOf(m_handle));
    m_handle = closed;
}

bool processRunsSince(qint64 pid, const QDateTime &moment) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (h == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
    DWORD code = 0;
    bool runs = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    FILETIME created{}, exited{}, kernel{}, user{};
    if (runs && GetProcessTimes(h, &created, &exited, &kernel, &user)) {
        // 100 ns steps since 1601; 11,644,473,600 s before 1970.
        const qint64 steps = (static_cast<qint64>(created.dwHighDateTime) << 32) |
                             static_cast<qint64>(created.dwLowDateTime);
        const qint64 startMs = steps / 10000 - 11644473600000LL;
        runs = startMs <= moment.toMSecsSinceEpoch() + 2000;
    }
    CloseHandle(h);
    return runs;
}

#else

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

namespace {

// Linux's view of a process: its state letter and its start in ms since 1970, from
// /proc; nothing where there is no /proc.
struct ProcessInfo {
    char state = '?';
    qint64 startMs = 0;
};

std::optional<ProcessInfo> procInfo(qint64 pid) {
    QFile statFile(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile bootFile(QStringLiteral("/proc/stat"));
    if (!statFile.open(QIODevice::ReadOnly) || !bootFile.open(QIODevice::ReadOnly))
        return std::nullopt;
    // "pid (name) state ppid …": the name may hold spaces and parentheses.
    const QByteArray stat = statFile.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20 || fields[0].isEmpty())
        return std::nullopt;
    ProcessInfo info;
    info.state = fields[0][0];
    qint64 bootSeconds = 0;
    for (const QByteArray &line : bootFile.readAll().split('\n'))
        if (line.startsWith("btime "))
            bootSeconds = line.mid(6).toLongLong();
    const long ticks = ::sysconf(_SC_CLK_TCK);
    if (bootSeconds > 0 && ticks > 0)
        info.startMs = bootSeconds * 1000 + fields[19].toLongLong() * 1000 / ticks;
    return info;
}

} // namespace

bool processRunsSince(qint64 pid, const QDateTime &moment) {
    if (pid <= 0)
        return false;
    // Signal 0 only asks; EPERM means the process is there but another user's.
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM)
        return false;
    const std::optional<ProcessInfo> info = procInfo(pid);
    if (!info)
        return true;
    if (info->state == 'Z' || info->state == 'X')
        return false;
    // The start is known to the clock tick and the boot time to the second.
    return info->startMs == 0 || info->startMs <= moment.toMSecsSinceEpoch() + 2000;
}

#endif

} // namespace tapecalc::durable
