// The home trash of the freedesktop.org trash standard, written out here because
// Qt 6.4's QFile::moveToTrash loops for ever when the trash cannot be made, and falls
// back to a "files" and "info" folder wherever the program was started.
#include "store/trash.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QUrl>

namespace tapecalc {

namespace {

#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)

Discarded systemTrash(const QString &path) {
    if (QFile::moveToTrash(path))
        return Discarded::trashed;
    return QFile::remove(path) ? Discarded::removed : Discarded::failed;
}

#else

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

Discarded homeTrash(const QString &path, const QDateTime &moment) {
    const QString trash = homeTrashFor(path);
    if (trash.isEmpty())
        return QFile::remove(path) ? Discarded::removed : Discarded::failed;
    const QDir files(QDir(trash).filePath(QStringLiteral("files")));
    const QDir info(QDir(trash).filePath(QStringLiteral("info")));
    const QFileInfo original(path);
    // A name free in both folders: the info file is made first and exclusively, so two
    // deletes never take the same name.
    constexpr int attempts = 1000;
    for (int n = 1; n <= attempts; ++n) {
        const QString name = n == 1 ? original.fileName()
                                    : original.completeBaseName() + QLatin1Char('.') +
                                          QString::number(n) + QLatin1Char('.') + original.suffix();
        if (QFileInfo::exists(files.filePath(name)))
            continue;
        QFile infoFile(info.filePath(name + QStringLiteral(".trashinfo")));
        if (!infoFile.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            if (QFileInfo::exists(infoFile.fileName()))
                continue;
            break; // the trash takes no more files
        }
        const bool written = infoFile.write(trashInfo(path, moment)) >= 0 && infoFile.flush();
        infoFile.close();
        if (written && QFile::rename(path, files.filePath(name)))
            return Discarded::trashed;
        infoFile.remove();
        // The folder the tape is in may not be written: removing fails the same way.
        break;
    }
    return QFile::remove(path) ? Discarded::removed : Discarded::failed;
}

#endif

} // namespace

QString freedesktopDataHome() {
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty() || !QDir::isAbsolutePath(home) ||
        QDir::cleanPath(home) == QLatin1String("/"))
        return {};
    return QDir(home).filePath(QStringLiteral(".local/share"));
}

Discarded discardFile(const QString &path, const QDateTime &moment) {
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink())
        return Discarded::failed;
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    Q_UNUSED(moment);
    return systemTrash(path);
#else
    return homeTrash(path, moment);
#endif
}

} // namespace tapecalc
