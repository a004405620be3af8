// Loading the program's modules: each by its full path, never through the system's search
// (where another program's file of that name could be found first).
#include "ui/modules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace tapecalc {

QFunctionPointer moduleEntry(const QString &module, const char *symbol) {
    // A library stays loaded for the life of the program (QLibrary unloads nothing unless
    // asked), so a second call finds it loaded.
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString &folder :
         {program.path(), program.filePath(QStringLiteral(TAPECALC_MODULES_FROM_PROGRAM))}) {
        // The file name as the build makes it: tapecalc-print.so, tapecalc-print.dll …
        const QString file = QDir(folder).filePath(module + QStringLiteral(TAPECALC_MODULE_SUFFIX));
        if (!QFileInfo::exists(file))
            continue;
        QLibrary library(file);
        if (const QFunctionPointer entry = library.resolve(symbol))
            return entry;
    }
    return nullptr;
}

} // namespace tapecalc
