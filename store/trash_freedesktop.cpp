// The trash of the freedesktop.org trash standard, written out here because Qt 6.4's
// QFile::moveToTrash loops for ever when the trash cannot be made, and falls back to a
// "files" and "info" folder wherever the program was started: the home trash for a file
// on the disk of the home trash, the trash at the top of its own disk for any other.
#include "store/freename.h"
#include "store/platform_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace tapecalc {

namespace {

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
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

// The mount point of the disk that holds `folder`: its highest parent on the same device.
QString topDirectory(const QString &folder, dev_t device) {
    QString top = QFileInfo(folder).canonicalFilePath();
    while (!top.isEmpty() && top != QLatin1String("/")) {
        const QString parent = QFileInfo(top).path();
        struct stat info {};
        if (!statOf(parent, info) || info.st_dev != device)
            break;
        top = parent;
    }
    return top;
}

QByteArray trashInfo(const QString &recordedPath, const QDateTime &moment) {
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(recordedPath, QByteArrayLiteral("/")) +
           "\nDeletionDate=" + moment.toString(Qt::ISODate).left(19).toLatin1() + '\n';
}

// Moves `path` into the made trash `trash`, its info file naming it `recordedPath`.
bool moveInto(const QString &trash, const QString &path, const QString &recordedPath,
              const QDateTime &moment) {
    const QDir files(QDir(trash).filePath(QStringLiteral("files")));
    const QDir info(QDir(trash).filePath(QStringLiteral("info")));
    // A name free in both folders (the file's own, else "name.2.ext", "name.3.ext", …):
    // the info file is made first and exclusively, so two deletes never take the same name.
    const QString name =
        claimFreeName(QFileInfo(path).fileName(), QLatin1Char('.'), [&](const QString &candidate) {
            if (QFileInfo::exists(files.filePath(candidate)))
                return Claim::taken;
            QFile infoFile(info.filePath(candidate + QStringLiteral(".trashinfo")));
            if (!infoFile.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                if (QFileInfo::exists(infoFile.fileName()))
                    return Claim::taken;
                return Claim::failed; // the trash takes no more files
            }
            const QByteArray content = trashInfo(recordedPath, moment);
            // A full disk may take the name and not the content.
            const bool written = infoFile.write(content) == content.size() && infoFile.flush();
            infoFile.close();
            if (written && QFile::rename(path, files.filePath(candidate)))
                return Claim::done;
            infoFile.remove();
            // Another disk after all, or a folder that may not be written.
            return Claim::failed;
        });
    return !name.isEmpty();
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
    if (home.isEmpty() || !isWritableFolder(home) || !trashMade(trash) ||
        !statOf(trash, homeTrash) || !statOf(folder, where))
        return false;
    if (homeTrash.st_dev == where.st_dev)
        return moveInto(trash, path, file.absoluteFilePath(), moment);
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
        if (trashMade(ownInShared) && moveInto(ownInShared, path, recorded, moment))
            return true;
    }
    const QString own = QDir(top).filePath(QStringLiteral(".Trash-") + user);
    return trashMade(own) && moveInto(own, path, recorded, moment);
}

} // namespace tapecalc
