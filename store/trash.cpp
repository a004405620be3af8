// The delete key's trash, the same on every platform: which files it takes, when it asks
// before deleting for good, and where the free desktops keep per-user data. The trash
// itself is in trash_freedesktop.cpp or trash_system.cpp.
#include "store/trash.h"

#include "store/platform_p.h"

#include <QDir>
#include <QFileInfo>

namespace tapecalc {

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

DeleteOutcome discardFile(const QString &path, const QDateTime &moment,
                          const ConfirmDeleteForGood &confirm) {
    const QFileInfo file(path);
    if (durable::entryAt(path) == durable::Entry::none)
        return DeleteOutcome::failed;
    if (trashFile(path, moment))
        return DeleteOutcome::trashed;
#ifndef Q_OS_WIN // a folder's read-only flag on Windows says nothing about its files
    // A folder that takes no change (read-only, another user's): a yes could not help.
    if (!QFileInfo(file.absolutePath()).isWritable())
        return DeleteOutcome::failed;
#endif
    if (!confirm || !confirm())
        return DeleteOutcome::declined;
    return durable::removeEntry(path) ? DeleteOutcome::deletedForGood : DeleteOutcome::failed;
}

} // namespace tapecalc
