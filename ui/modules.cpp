// Loading the program's modules: each by its full path in the one folder the program's
// layout gives, checked before the system maps it, never through the system's search
// (where another program's file of that name could be found first).
#include "ui/modules.h"

#include "core/moduleentry.h"
#include "ui/modulefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace tapecalc {

QString moduleFolder(const QString &programFolder) {
    const QDir program(QDir(programFolder).absolutePath());
    const auto isDir = [&program](const QString &path) {
        return QFileInfo(program.filePath(path)).isDir();
    };
    // bin/ as the install makes it, with the installed data beside it and none beside the
    // program: a copy of a program folder (which has its cues) is never taken for one,
    // wherever it is put.
    const bool installed = program.dirName() == QStringLiteral(TAPECALC_PROGRAM_FOLDER) &&
                           !isDir(QStringLiteral("shengyin")) &&
                           isDir(QStringLiteral(TAPECALC_SHARED_FROM_PROGRAM));
    return QDir::cleanPath(installed
                               ? program.filePath(QStringLiteral(TAPECALC_MODULES_FROM_PROGRAM))
                               : program.path());
}

QFunctionPointer moduleEntry(const QString &module) {
    // The file name as the build makes it: tapecalc-print.so, tapecalc-print.dll …
    const QString file = QDir(moduleFolder(QCoreApplication::applicationDirPath()))
                             .filePath(module + QStringLiteral(TAPECALC_MODULE_SUFFIX));
    if (!QFileInfo::exists(file))
        return nullptr;
    if (!wholeModuleFile(file)) {
        qWarning("%s is damaged or not for this system: not loaded", qPrintable(file));
        return nullptr;
    }
    // A library stays loaded for the life of the program (QLibrary unloads nothing unless
    // asked), so a second call finds it loaded. One of another build stays too, unused:
    // loading it set up the libraries it brought, and unloading them again crashed the
    // program a moment later under wine, in code no longer there.
    QLibrary library(file);
    const QFunctionPointer entry = library.resolve(moduleEntrySymbol);
    if (!entry)
        qWarning("%s is not of this build of the program: not used", qPrintable(file));
    return entry;
}

} // namespace tapecalc
