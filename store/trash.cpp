// The delete key's trash, the same on every platform: which files it takes, and where the
// free desktops keep per-user data. The trash itself is in trash_freedesktop.cpp or
// trash_system.cpp.
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

Discarded discardFile(const QString &path, const QDateTime &moment) {
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink())
        return Discarded::failed;
    return trashFile(path, moment);
}

} // namespace tapecalc
