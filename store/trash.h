// The desktop's trash, for the delete key: a tape deleted by mistake can be put back.
#pragma once

#include <QDateTime>
#include <QString>

namespace tapecalc {

enum class Discarded {
    trashed, // in the desktop's trash
    removed, // no trash could take it: removed for good
    failed,  // still there (a folder that may not be written, a file gone meanwhile)
};

// Moves the file at `path` to the trash, or removes it where no trash can take it. Never
// waits on anything, never writes outside a real trash.
//
// On Linux and other free desktops this is the home trash of the freedesktop.org trash
// standard ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash): an info file naming
// the old path and the moment first, then the file renamed into Trash/files. A file on
// another disk than the home trash, a home that cannot hold a trash or a trash that is
// not a plain folder of its own means no trash. On Windows and macOS it is the system's
// (the recycle bin, the Finder's trash) through Qt.
Discarded discardFile(const QString &path, const QDateTime &moment);

// Where the free desktops keep per-user data, the home trash among it: $XDG_DATA_HOME
// when it is an absolute path, else ~/.local/share; empty when there is no home to speak
// of (HOME unset, relative or "/", as for a service or root's cron).
QString freedesktopDataHome();

} // namespace tapecalc
