// Tape files in the data folder: names, coding, save, open, delete. Files are GBK on
// disk on every platform, or UTF-8 for a tape GBK cannot hold unmistakably; reading takes
// both. The text inside is the tape format of core/tapeformat.h.
#pragma once

#include "core/calculator.h"
#include "core/requests.h"
#include "store/trash.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <string_view>

namespace tapecalc {

inline constexpr char tapePattern[] = "*.qtz";
bool isTapeFileName(QStringView name); // matches tapePattern

// The names of the regular files (and links to them) in `folder` that `keep` takes, in
// name order; `more` adds hidden files, and system entries (devices, pipes, sockets and
// links to them or to nothing). A test of the name in place of QDir's name filters, which would
// bring the regular-expression library (half a megabyte) into every start of the program.
QStringList fileNamesIn(const QString &folder, bool (*keep)(QStringView name),
                        QDir::Filters more = {});

// The largest file opened as a tape: 30,001 lines of entry and symbol with room for long
// entries (an exponent result, a pasted number), some 140 bytes a line; a full tape of the
// numbers the keys make takes under a megabyte. Anything larger is no tape of ours, and
// the window would take longer than a key may to show every change of it.
inline constexpr qint64 largestTapeFile = 4 * 1024 * 1024;

// What a tape file may be, one rule for the open and the save: at most largestTapeFile
// bytes, no row longer than longestTapeRow characters. The open refuses any other file, so
// the save writes none: what the program writes, it opens again.
enum class TapeFit { fits, tooLarge, rowTooLong };
TapeFit tapeFit(const QByteArray &bytes, std::string_view text);

// "20261206$16$58$07.qtz": date digits, "$", the 24-hour time with "$" for ":".
QString tapeFileName(const QDateTime &moment);

// One rule both ways, so that a tape reads back as exactly the text it was written
// with. Reading: UTF-8 when the bytes are valid UTF-8 (a byte-order mark in front or
// not), else GBK (a UTF-8 byte-order mark in front of GBK bytes dropped); `lossy`, when
// given, tells whether bytes were valid in neither and were replaced. Writing: GBK when
// GBK holds every character and its bytes read back as the text, else UTF-8 with a
// byte-order mark, so a save never turns a character into "?" or into another one.
QByteArray encodeTapeText(const QString &text);
QString decodeTapeText(const QByteArray &bytes, bool *lossy = nullptr);

// A new tape file in `dataFolder` holding `bytes`, named from `moment` ("-2", "-3", …
// when the name is taken), never replacing a file. It gets its name only once its whole
// content is on the disk, so a save cut off at any moment leaves the whole tape or no
// tape file. Its path, or empty when it could not be written.
QString saveNewTapeFile(const QString &dataFolder, const QDateTime &moment,
                        const QByteArray &bytes);

enum class SaveOutcome {
    savedNew,  // a new file, named from the moment
    savedBack, // the tape view written back to its own file
    // A new file instead of writing back, the file left as it was:
    savedNewFileChanged, // someone else changed the file since it was opened or saved
    // The file may not be written in place: not writable by this user, it or its folder
    // another user's (a rename would change its owner), or the write was refused.
    savedNewFileReadOnly,
    savedNewFilePartial, // the file was not opened whole (too many lines, unreadable bytes)
    failed,
    // Nothing written: the file would be one the open refuses (see tapeFit).
    refusedTooLarge,
    refusedRowTooLong,
};

// Whether the save wrote the tape to a file (its own or a new one): not when it failed or
// was refused.
constexpr bool tapeWritten(SaveOutcome outcome) {
    return outcome != SaveOutcome::failed && outcome != SaveOutcome::refusedTooLarge &&
           outcome != SaveOutcome::refusedRowTooLong;
}

// The save key. Whatever it writes is the tape view as the screen shows it, in the form
// of tapeFileText, so a save, a save back and the journal's recovery of one view agree:
// `tapeView` (the window passes its view and `viewShown`), or for a new tape without
// `viewShown` (a caller with no window) the tape text of every recorded line, which is
// what the view shows in a review too. With no current file: a new file named from
// `moment` that never replaces an existing one, and the tape is tied to it. With one: the
// view is written back to it (through links, to the file at the end of the chain),
// unless that would write over something or cannot be done in place (see SaveOutcome),
// when it goes to a new file as above and the tape is tied to that. Either way a file
// appears or changes only with its whole content on the disk; on failure nothing is tied.
// A text the open would refuse is not written at all (refused…): the tape stays as it is.
SaveOutcome saveTape(Calculator &calc, const QString &dataFolder, const QDateTime &moment,
                     const QString &tapeView, bool viewShown = false);

// What openSelectedTape does with the file's bytes, without the file: the tape, its
// total and the tape view from `bytes` decoded, tied to no file. Returns how many lines
// the tape could not take.
int loadTapeBytes(Calculator &calc, const QByteArray &bytes);

enum class OpenOutcome {
    opened,
    noName,     // nothing selected: nothing happens
    notATape,   // no regular file (a folder, a device, a pipe) or a name that leaves the folder
    tooLarge,   // larger than largestTapeFile
    rowTooLong, // a row longer than longestTapeRow characters
    unreadable, // gone, no permission, a read error
};
struct Opened {
    OpenOutcome outcome = OpenOutcome::noName;
    int linesLeftOut = 0; // lines beyond the 30,001 the tape holds
};

// Opens dataFolder/name: loads the pairs, recomputes the total and its per-line totals,
// and shows the file in the tape view. Any name of a file in the folder opens; only a
// regular file (or a link to one) of at most largestTapeFile bytes is read, and only one
// with no row longer than longestTapeRow characters is opened. Anything but
// `opened` leaves the calculator as it was.
Opened openSelectedTape(Calculator &calc, const QString &dataFolder, const QString &name);

// The delete key's file: moves dataFolder/selectedName to the trash. Where no trash can
// take it, `confirm` is asked, and only its yes deletes the file for good (with no one to
// ask, the file stays). Only a tape file of the folder is deleted: a folder, or a name
// that leaves the folder, fails. The calculator is the caller's (clearsTheTape).
DeleteOutcome deleteTape(const QString &dataFolder, const QString &selectedName,
                         const QDateTime &moment, const ConfirmDeleteForGood &confirm = {});

// At start: removes the temporaries of saves that were cut off (only names of the
// save's own temporary form, and none that a running copy is still writing). Returns how
// many were removed.
int removeLeftoverTemporaries(const QString &dataFolder);

} // namespace tapecalc
