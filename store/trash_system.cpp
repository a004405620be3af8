// The system's trash through Qt, on Windows (the recycle bin) and macOS (the Finder's).
#include "store/platform_p.h"

#include <QFile>

namespace tapecalc {

bool trashFile(const QString &path, const QDateTime &) {
    return QFile::moveToTrash(path);
}

} // namespace tapecalc
