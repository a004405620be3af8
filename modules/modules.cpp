// Loading the program's modules: each by its path in the one folder the program's layout
// gives, from files no one but the administrator and the program's owner can change,
// checked before the system maps them, never through the system's search (where another
// program's file of that name could be found first). The system's part is in
// modulefile.h; here the layout, the words for a refusal, and each module loaded once.
#include "modules/modules.h"

#include "modules/moduleentry.h"
#include "modules/modulefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>

#include <map>

namespace tapecalc {

namespace {

// What the system's part found, said once on the standard error.
void sayWhy(const QString &file, const ModuleLoad &load) {
    const QByteArray path = QDir::toNativeSeparators(file).toLocal8Bit();
    const char *why = load.why.c_str();
    switch (load.fault) {
    case ModuleFault::none:
    case ModuleFault::missing:
        break;
    case ModuleFault::notRegular:
        qWarning("%s is not a regular file (%s): not loaded", path.constData(), why);
        break;
    case ModuleFault::notOurs:
        qWarning("%s could be changed by another user (%s): not loaded", path.constData(), why);
        break;
    case ModuleFault::damaged:
        qWarning("%s is damaged or not for this system (%s): not loaded", path.constData(), why);
        break;
    case ModuleFault::otherBuild:
        qWarning("%s is of another build of the program: not used", path.constData());
        break;
    case ModuleFault::notLoadable:
        qWarning("%s could not be loaded (%s)", path.constData(), why);
        break;
    }
}

} // namespace

QString moduleFolder(const QString &programFolder) {
    const QDir program(QDir(programFolder).absolutePath());
    const auto isDir = [&program](const QString &path) {
        return QFileInfo(program.filePath(path)).isDir();
    };
    // bin/ as the install makes it, with the installed data beside it and none beside the
    // program: a copy of a program folder (which has its cues) is never taken for one,
    // wherever it is put. (Whoever made share/tapecalc/ beside a copy's bin/, the modules
    // are then taken only from folders that its owner alone could have written.)
    const bool installed = program.dirName() == QStringLiteral(TAPECALC_PROGRAM_FOLDER) &&
                           !isDir(QStringLiteral("shengyin")) &&
                           isDir(QStringLiteral(TAPECALC_SHARED_FROM_PROGRAM));
    return QDir::cleanPath(installed
                               ? program.filePath(QStringLiteral(TAPECALC_MODULES_FROM_PROGRAM))
                               : program.path());
}

QFunctionPointer moduleEntry(const QString &module) {
    // Once each, whichever thread asks first (the print thread, the window's).
    static QMutex mutex;
    static std::map<QString, QFunctionPointer> loaded;
    const QMutexLocker lock(&mutex);
    if (const auto found = loaded.find(module); found != loaded.end())
        return found->second;

    // The folders checked run from the program's folder, or from the installation's prefix
    // that holds both bin/ and the module folder, down to the file.
    const QString program = QDir::cleanPath(QCoreApplication::applicationDirPath());
    const QString folder = moduleFolder(program);
    QString root = program;
    while (folder != root && !folder.startsWith(root.endsWith(u'/') ? root : root + u'/')) {
        const QString up = QFileInfo(root).path();
        if (up == root)
            break;
        root = up;
    }
    // The file name as the build makes it: tapecalc-print.so, tapecalc-print.dll …
    const QString file = QDir(folder).filePath(module + QStringLiteral(TAPECALC_MODULE_SUFFIX));
    const ModuleLoad load =
        loadModuleFile(QFileInfo(QCoreApplication::applicationFilePath()).filesystemFilePath(),
                       QDir(root).filesystemPath(),
                       QDir(root).relativeFilePath(file).toStdU16String(), moduleEntrySymbol);
    sayWhy(file, load);
    return loaded[module] = load.entry;
}

} // namespace tapecalc
