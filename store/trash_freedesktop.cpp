// The trash of the freedesktop.org trash standard, written out here because Qt 6.4's
// QFile::moveToTrash loops for ever when the trash cannot be made, and falls back to a
// "files" and "info" folder wherever the program was started: the home trash for a file
// on the disk of the home trash, the trash at the top of its own disk (or mount) for any
// other. A file only ever moves by a rename: nothing is copied, nothing written through a
// link.
#include "store/freename.h"
#include "store/platform_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tapecalc {

namespace {

QByteArray native(const QString &path) {
    return durable::nativePath(path);
}

bool statOf(const QString &path, struct stat &info) {
    return ::stat(native(path).constData(), &info) == 0;
}

// A folder that this user may write into, and no link to one elsewhere.
bool isWritableFolder(const QString &path) {
    struct stat info {};
    return ::lstat(native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(native(path).constData(), W_OK | X_OK) == 0;
}

// A trash folder as the standard wants it: writable, no link, and this user's own.
bool isOwnFolder(const QString &path) {
    struct stat info {};
    return isWritableFolder(path) && ::lstat(native(path).constData(), &info) == 0 &&
           info.st_uid == ::geteuid();
}

// `path` made where missing (for this user alone), then whether it is a folder of this
// user's own.
bool ownFolderMade(const QString &path) {
    if (::mkdir(native(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return isOwnFolder(path);
}

// The data folder made where it is missing, its missing parents too, for this user alone,
// as the base-directory rules say; never the home itself (a service's home that does not
// exist stays so).
bool dataFolderMade(const QString &path) {
    struct stat info {};
    if (::lstat(native(path).constData(), &info) == 0)
        return isWritableFolder(path);
    const QString parent = QFileInfo(path).path();
    if (parent == path || QDir::cleanPath(path) == QDir::cleanPath(qEnvironmentVariable("HOME")) ||
        !dataFolderMade(parent))
        return false;
    return (::mkdir(native(path).constData(), 0700) == 0 || errno == EEXIST) &&
           isWritableFolder(path);
}

// The trash folder `trash` with its "files" and "info", each checked before anything is
// made inside it.
bool trashMade(const QString &trash) {
    return ownFolderMade(trash) && ownFolderMade(trash + QStringLiteral("/files")) &&
           ownFolderMade(trash + QStringLiteral("/info"));
}

// The shared trash at the top of a disk ($topdir/.Trash) is used only when it is a folder
// with the sticky bit, so that no user can remove another's files, and no link.
bool isStickyFolder(const QString &path) {
    struct stat info {};
    return ::lstat(native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           (info.st_mode & S_ISVTX) != 0;
}

// Which mount holds `path` (another mount of the same disk has the same device), or 0
// where the system does not say.
quint64 mountOf(const QString &path) {
#ifdef STATX_MNT_ID
    struct statx info {};
    if (::statx(AT_FDCWD, native(path).constData(), 0, STATX_MNT_ID, &info) == 0 &&
        (info.stx_mask & STATX_MNT_ID) != 0)
        return info.stx_mnt_id;
#else
    Q_UNUSED(path);
#endif
    return 0;
}

// The mount point of the disk that holds `folder`: its highest parent on the same device
// and mount.
QString topDirectory(const QString &folder, dev_t device) {
    QString top = QFileInfo(folder).canonicalFilePath();
    const quint64 mount = mountOf(top);
    while (!top.isEmpty() && top != QLatin1String("/")) {
        const QString parent = QFileInfo(top).path();
        struct stat info {};
        if (!statOf(parent, info) || info.st_dev != device || mountOf(parent) != mount)
            break;
        top = parent;
    }
    return top;
}

// A name in use: a file, a folder, a link (one that leads nowhere too).
bool nameTaken(const QString &path) {
    struct stat info {};
    return ::lstat(native(path).constData(), &info) == 0;
}

// The new file `path` holding `bytes`, for this user alone; never through a link.
enum class Written { done, nameTaken, failed };
Written writeNew(const QString &path, const QByteArray &bytes) {
    const int fd = ::open(native(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno == EEXIST ? Written::nameTaken : Written::failed;
    // A full disk may take the name and not the content.
    const bool whole = ::write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) ==
                       static_cast<ssize_t>(bytes.size());
    return ::close(fd) == 0 && whole ? Written::done : Written::failed;
}

QByteArray trashInfo(const QString &recordedPath, const QDateTime &moment) {
    // The name's own bytes, whatever their encoding.
    return "[Trash Info]\nPath=" + native(recordedPath).toPercentEncoding(QByteArrayLiteral("/")) +
           "\nDeletionDate=" + moment.toString(Qt::ISODate).left(19).toLatin1() + '\n';
}

enum class Move { done, otherMount, failed };

// Moves `path` into the made trash `trash`, its info file naming it `recordedPath`.
Move moveInto(const QString &trash, const QString &path, const QString &recordedPath,
              const QDateTime &moment) {
    const QDir files(QDir(trash).filePath(QStringLiteral("files")));
    const QDir info(QDir(trash).filePath(QStringLiteral("info")));
    Move failure = Move::failed;
    // A name free in both folders (the file's own, else "name.2.ext", "name.3.ext", …):
    // the info file is made first and exclusively, so two deletes never take the same name.
    const QString name =
        claimFreeName(QFileInfo(path).fileName(), QLatin1Char('.'), [&](const QString &candidate) {
            if (nameTaken(files.filePath(candidate)))
                return Claim::taken;
            const QString infoFile = info.filePath(candidate + QStringLiteral(".trashinfo"));
            switch (writeNew(infoFile, trashInfo(recordedPath, moment))) {
            case Written::done:
                break;
            case Written::nameTaken:
                return Claim::taken;
            case Written::failed:
                durable::removeEntry(infoFile);
                return Claim::failed; // the trash takes no more files
            }
            const durable::Moved moved = durable::moveNoReplace(path, files.filePath(candidate));
            if (moved == durable::Moved::done)
                return Claim::done;
            durable::removeEntry(infoFile);
            if (moved == durable::Moved::nameTaken) // a name claimed meanwhile
                return Claim::taken;
            if (moved == durable::Moved::otherMount)
                failure = Move::otherMount;
            return Claim::failed;
        });
    return name.isEmpty() ? failure : Move::done;
}

} // namespace

bool trashFile(const QString &path, const QDateTime &moment) {
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    // Without a home trash (no home, one that is no folder of this user's, a broken
    // trash) there is no trash at all: no trash is made at the top of a disk for a user
    // whose own does not work.
    const QString home = freedesktopDataHome();
    const QString trash = QDir(home).filePath(QStringLiteral("Trash"));
    struct stat where {};
    struct stat homeTrash {};
    if (home.isEmpty() || !dataFolderMade(home) || !trashMade(trash) || !statOf(trash, homeTrash) ||
        !statOf(folder, where))
        return false;
    // The same disk, seen through another mount (a bind mount) that no rename crosses:
    // the trash at the top of that mount.
    if (homeTrash.st_dev == where.st_dev) {
        const Move moved = moveInto(trash, path, file.absoluteFilePath(), moment);
        if (moved != Move::otherMount)
            return moved == Move::done;
    }
    // Another disk: the trash at its top, where a rename takes the file. Its info files
    // name the file from there.
    const QString top = topDirectory(folder, where.st_dev);
    if (top.isEmpty())
        return false;
    const QString recorded = QDir(top).relativeFilePath(
        QDir(QFileInfo(folder).canonicalFilePath()).filePath(file.fileName()));
    const QString user = QString::number(::geteuid());
    const QString shared = QDir(top).filePath(QStringLiteral(".Trash"));
    if (isStickyFolder(shared)) {
        const QString ownInShared = QDir(shared).filePath(user);
        if (trashMade(ownInShared) && moveInto(ownInShared, path, recorded, moment) == Move::done)
            return true;
    }
    const QString own = QDir(top).filePath(QStringLiteral(".Trash-") + user);
    return trashMade(own) && moveInto(own, path, recorded, moment) == Move::done;
}

} // namespace tapecalc
