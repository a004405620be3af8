// Finds the program's folders: each resource folder beside the program if it is there, else
// the installed one; tapes beside the program when they can be written there, else per user.
#include "store/folders.h"

#include "store/durablefile.h"
#include "store/trash.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace tapecalc {

namespace {

// Permission bits say nothing for an administrator, nor for access lists on Windows: only a
// file actually made there tells whether the folder takes tapes.
bool takesFiles(const QString &folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".probe-XXXXXX")));
    return probe.open();
}

// The per-user folder for tapes. On the free desktops it follows the base-directory
// rules, which Qt 6.4 does not: a relative XDG_DATA_HOME is ignored (Qt would put the
// tapes under whatever folder the program was started from), and with no home to speak of
// (HOME unset or relative: a service, root's cron) there is none, rather than one under
// "/" or the current folder.
QString userDataFolder() {
    const QString app = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    const QString home = freedesktopDataHome();
    if (home.isEmpty())
        return {};
    // Qt's folder is its data home followed by the application's own part.
    const QString generic = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!QDir::isAbsolutePath(generic) && app.startsWith(generic))
        return QDir::cleanPath(home + app.mid(generic.size()) + QStringLiteral("/shujucuncu"));
#endif
    return QDir(app).filePath(QStringLiteral("shujucuncu"));
}

QString resourceFolder(const QDir &program, const QDir &shared, const QString &name) {
    const QString beside = program.filePath(name);
    if (QFileInfo(beside).isDir())
        return beside;
    const QString installed = shared.filePath(name);
    // Neither: the folder beside the program, where a portable copy would have it.
    return QFileInfo(installed).isDir() ? installed : beside;
}

} // namespace

Folders findFolders(const QString &programFolder, const QString &sharedFolder,
                    const QString &userData) {
    const QDir program(QDir(programFolder).absolutePath());
    const QDir shared(sharedFolder);
    Folders folders;
    folders.sound = resourceFolder(program, shared, QStringLiteral("shengyin"));
    folders.pictures = resourceFolder(program, shared, QStringLiteral("anniu"));
    folders.help = resourceFolder(program, shared, QStringLiteral("help"));

    // An installed program never makes a folder among the programs, even where it could
    // (an administrator, a prefix in the home folder); a folder already there is used.
    const QString beside = program.filePath(QStringLiteral("shujucuncu"));
    const bool installed = shared.exists();
    const bool made = QFileInfo(beside).isDir() || (!installed && durable::makeFolders(beside));
    // With no per-user folder either, tapes stay beside the program: where that cannot
    // be written, a save says so rather than writing anywhere else.
    folders.data = (made && takesFiles(beside)) || userData.isEmpty() ? beside : userData;
    return folders;
}

Folders findFolders(const QString &programFolder) {
    const QString shared =
        QDir(programFolder).absoluteFilePath(QStringLiteral(TAPECALC_SHARED_FROM_PROGRAM));
    return findFolders(programFolder, QDir::cleanPath(shared), userDataFolder());
}

} // namespace tapecalc
