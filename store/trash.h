// The desktop's trash, for the delete key: a tape deleted by mistake can be put back.
#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace tapecalc {

// What a delete did with a tape file.
enum class DeleteOutcome {
    trashed,         // in a trash
    deletedForGood,  // no trash could take it, and the answer was to delete it for good
    declined,        // no trash could take it, and the answer was to keep it
    failed,          // still there (a folder that may not be written, a file gone meanwhile)
    nothingSelected, // no file was named: nothing to delete
};

// Whether the delete key clears the calculator after it: the file is gone, or none was
// selected (the key clears the calculator as ever). Declined or failed, all stays.
constexpr bool clearsTheTape(DeleteOutcome outcome) {
    return outcome == DeleteOutcome::trashed || outcome == DeleteOutcome::deletedForGood ||
           outcome == DeleteOutcome::nothingSelected;
}

// Asked when no trash can take a file: whether to delete it for good all the same.
using ConfirmDeleteForGood = std::function<bool()>;

// Moves the file at `path` to the trash. Where no trash can take it, asks `confirm` and
// deletes the file for good only on its yes; a file that could not be deleted either is
// not asked about. Never waits on anything, never writes outside a real trash.
//
// On Linux and other free desktops this is the freedesktop.org trash: the home trash
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) for a file on its disk, else the
// trash at the top of the file's own disk ($topdir/.Trash/$uid when .Trash is a sticky
// folder and no link, else $topdir/.Trash-$uid); an info file naming the old path and
// the moment first, then the file renamed into the trash's files folder. A full disk, a
// home trash that is not a folder of this user's own, or no home means no trash. On Windows and
// macOS it is the system's (the recycle bin, the Finder's trash) through Qt.
DeleteOutcome discardFile(const QString &path, const QDateTime &moment,
                          const ConfirmDeleteForGood &confirm);

// Where the free desktops keep per-user data, the home trash among it: $XDG_DATA_HOME
// when it is an absolute path, else ~/.local/share; empty when there is no home to speak
// of (HOME unset, relative or "/", as for a service or root's cron).
QString freedesktopDataHome();

} // namespace tapecalc
