// The home trash of the freedesktop.org trash standard, written out here because
// Qt 6.4's QFile::moveToTrash loops for ever when the trash cannot be made, and falls
// back to a "files" and "info" folder wherever the program was started.
#include "store/freename.h"
#include "store/platform_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QUrl>

namespace tapecalc {

namespace {

// A folder that is what it says: a real directory (not a link to one elsewhere) that this
// user may write.
bool isOwnFolder(const QString &path) {
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink() && info.isWritable();
}

// The home trash, made where missing, or empty when none can be had for `path`.
QString homeTrashFor(const QString &path) {
    const QString home = freedesktopDataHome();
    if (home.isEmpty() || !isOwnFolder(home))
        return {};
    const QString trash = QDir(home).filePath(QStringLiteral("Trash"));
    // Each folder is checked before anything is made inside it.
    for (const QString &folder : {trash, QDir(trash).filePath(QStringLiteral("files")),
                                  QDir(trash).filePath(QStringLiteral("info"))}) {
        if (!QFileInfo::exists(folder) && !QFileInfo(folder).isSymLink() && !QDir().mkdir(folder))
            return {};
        if (!isOwnFolder(folder))
            return {};
    }
    // The trash takes a file by renaming it, which only works on the same disk.
    if (QStorageInfo(trash).device() != QStorageInfo(QFileInfo(path).absolutePath()).device())
        return {};
    return trash;
}

QByteArray trashInfo(const QString &path, const QDateTime &moment) {
    return "[Trash Info]\nPath=" +
           QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), QByteArrayLiteral("/")) +
           "\nDeletionDate=" + moment.toString(Qt::ISODate).left(19).toLatin1() + '\n';
}

} // namespace

Discarded trashFile(const QString &path, const QDateTime &moment) {
    const QString trash = homeTrashFor(path);
    if (trash.isEmpty())
        return QFile::remove(path) ? Discarded::removed : Discarded::failed;
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
            const bool written = infoFile.write(trashInfo(path, moment)) >= 0 && infoFile.flush();
            infoFile.close();
            if (written && QFile::rename(path, files.filePath(candidate)))
                return Claim::done;
            infoFile.remove();
            // The folder the tape is in may not be written: removing fails the same way.
            return Claim::failed;
        });
    if (!name.isEmpty())
        return Discarded::trashed;
    return QFile::remove(path) ? Discarded::removed : Discarded::failed;
}

} // namespace tapecalc
