// The system's trash through Qt, on Windows (the recycle bin) and macOS (the Finder's).
#include "store/platform_p.h"

#include <QFile>

namespace tapecalc {

Discarded trashFile(const QString &path, const QDateTime &) {
    if (QFile::moveToTrash(path))
        return Discarded::trashed;
    return QFile::remove(path) ? Discarded::removed : Discarded::failed;
}

} // namespace tapecalc
