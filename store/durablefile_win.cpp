// The file calls of a save and of the journal on Windows: a temporary written without
// sharing, write-through moves that replace only when asked, retries while a scanner
// holds a file, and the journal's byte-range lock.
#include "store/durablefile.h"
#include "store/platform_p.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <windows.h>

#include <utility>

namespace tapecalc::durable {

namespace {

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

} // namespace

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
    // Closed once written: no handle is kept, and removeAbandoned goes by the file's age.
    return {ok ? Created::written : Created::failed};
}

void closeTemporary(int) {
    // createWritten keeps no handle here.
}

// The system's calls take UTF-16; as bytes, a name is kept in UTF-8, which holds any.
QByteArray nativePath(const QString &path) {
    return path.toUtf8();
}

QString pathOfNative(const QByteArray &bytes) {
    return QString::fromUtf8(bytes);
}

QStringList regularFileNames(const QString &, bool) {
    return {}; // every UTF-16 name is a QString, and Qt lists them all
}

Entry entryAt(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Entry::none;
    return info.isSymLink() ? Entry::other
           : info.isDir()   ? Entry::folder
           : info.isFile()  ? Entry::file
                            : Entry::other;
}

QDateTime entryWritten(const QString &path) {
    // Of a link (a reparse point), its own times: the attributes are not followed.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(native(QDir::toNativeSeparators(path)), GetFileExInfoStandard, &data))
        return {};
    const qint64 ticks = (qint64(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime; // 100 ns since 1601
    constexpr qint64 unixEpochTicks = 116444736000000000;
    return QDateTime::fromMSecsSinceEpoch((ticks - unixEpochTicks) / 10000);
}

bool removeEntry(const QString &path) {
    return QFile::remove(path);
}

OpenedFile openRegularFile(QFile &file, const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return OpenedFile::missing;
    if (!info.isFile())
        return OpenedFile::notAFile;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly) ? OpenedFile::opened : OpenedFile::unreadable;
}

Placed placeAsNew(const Temporary &temporary, const QString &path) {
    return moveFile(temporary.path(), path, 0);
}

bool replaceWith(const Temporary &temporary, const QString &path) {
    return moveFile(temporary.path(), path, MOVEFILE_REPLACE_EXISTING) == Placed::done;
}

bool mayReplace(const QString &path) {
    // Ownership does not change on a replace here; what counts is the read-only flag and
    // the access list, which only an attempt to open for writing tells.
    const QString nativePath = QDir::toNativeSeparators(path);
    const DWORD attributes = GetFileAttributesW(native(nativePath));
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return false;
    HANDLE h = CreateFileW(native(nativePath), GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        // A scanner holding the file for a moment is no refusal: the replace waits for it.
        return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return true;
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

// The journal's locked file: a HANDLE shared for reading, writing and deleting, with a
// lock on one byte.

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
    // An existing file is opened as itself: a link or junction is not followed.
    HANDLE h = CreateFileW(
        native(nativePath), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        create ? CREATE_NEW : OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        noteFailure();
        const DWORD error = GetLastError();
        const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                          error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return gone || create ? Opened::failed : Opened::refused;
    }
    // Only a file on a disk, and no link: a device or a pipe is no journal.
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileType(h) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) ||
        (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        CloseHandle(h);
        return Opened::refused;
    }
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
    DWORD done = 0;
    if (SetFilePointerEx(handleOf(m_handle), end, nullptr, FILE_END) &&
        WriteFile(handleOf(m_handle), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                  nullptr) &&
        done == bytes.size())
        return true;
    noteFailure();
    return false;
}

bool LockedFile::truncate(qint64 size) {
    LARGE_INTEGER to{};
    to.QuadPart = size;
    return SetFilePointerEx(handleOf(m_handle), to, nullptr, FILE_BEGIN) &&
           SetEndOfFile(handleOf(m_handle));
}

std::optional<QByteArray> LockedFile::readAll(qint64 limit) {
    LARGE_INTEGER start{};
    LARGE_INTEGER size{};
    if (!SetFilePointerEx(handleOf(m_handle), start, nullptr, FILE_BEGIN) ||
        !GetFileSizeEx(handleOf(m_handle), &size) || size.QuadPart > limit)
        return std::nullopt;
    // One byte more than the size: a file that grew meanwhile beyond the limit is seen.
    QByteArray bytes(static_cast<qsizetype>(size.QuadPart) + 1, '\0');
    qsizetype got = 0;
    for (;;) {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(qMin<qsizetype>(bytes.size() - got, 1 << 30));
        if (!ReadFile(handleOf(m_handle), bytes.data() + got, chunk, &done, nullptr))
            return std::nullopt;
        got += static_cast<qsizetype>(done);
        if (done == 0 || got == bytes.size())
            break;
    }
    if (got > limit)
        return std::nullopt;
    bytes.truncate(got);
    return bytes;
}

bool LockedFile::sync() {
    return FlushFileBuffers(handleOf(m_handle)) != 0;
}

void LockedFile::noteFailure() {
    const DWORD error = GetLastError();
    m_diskFull = error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

bool LockedFile::takeOver(LockedFile &next) {
    // Windows replaces no name whose file is open, however it is shared: this file's
    // handle goes first. A running copy's journal is still left alone for its process.
    const QString path = m_path;
    close();
    if (moveFile(next.m_path, path, MOVEFILE_REPLACE_EXISTING) != Placed::done) {
        open(path, false); // as it was
        return false;
    }
    m_handle = std::exchange(next.m_handle, closed);
    m_path = path;
    next.m_path.clear();
    return true;
}

bool LockedFile::remove() {
    if (!isOpen())
        return true;
    // The name goes when the last handle closes; shared for deletion, so this is now.
    if (!DeleteFileW(native(QDir::toNativeSeparators(m_path))))
        return false;
    close();
    return true;
}

void LockedFile::close() {
    if (!isOpen())
        return;
    CloseHandle(handleOf(m_handle));
    m_handle = closed;
}

} // namespace tapecalc::durable
