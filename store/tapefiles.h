// Tape files in the data folder: names, coding, save, open, delete. Files are GBK on
// disk on every platform; reading also takes valid UTF-8. The text inside is the tape
// format of core/tapeformat.h.
#pragma once

#include "core/calculator.h"
#include "core/requests.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tapecalc {

inline constexpr char tapePattern[] = "*.qtz";

// "20261206$16$58$07.qtz": date digits, "$", the 24-hour time with "$" for ":".
QString tapeFileName(const QDateTime &moment);

QByteArray encodeTapeText(const QString &text);  // GBK
QString decodeTapeText(const QByteArray &bytes); // UTF-8 (BOM or not) when valid, else GBK

// The whole file decoded; empty when it cannot be read. Never creates a file.
QString FileContent(const QString &path);

enum class SaveOutcome { savedNew, savedBack, failed };

// The save key. With no current file: a new file named from `moment` that never
// replaces an existing one, and the tape is tied to it. With one: the tape view
// `tapeView` is written back to it. Either way the file appears or changes only with
// its whole content on the disk; on failure nothing is tied.
SaveOutcome saveTape(Calculator &calc, const QString &dataFolder, const QDateTime &moment,
                     const QString &tapeView);

// What openSelectedTape does with the file's bytes, without the file: the tape, its
// total and the tape view from `bytes` decoded, tied to no file.
void loadTapeBytes(Calculator &calc, const QByteArray &bytes);

// Opens dataFolder/name: loads the pairs, recomputes the total and its per-line totals,
// and shows the file in the tape view. Does nothing for an empty name.
void openSelectedTape(Calculator &calc, const QString &dataFolder, const QString &name);

// The delete key: moves dataFolder/selectedName to the trash (removes it where there is
// none), then clears the calculator with its cues and unties the tape from its file
// (tapeDeleted). Does nothing when the tape has no file. Returns whether it acted.
bool deleteTape(Calculator &calc, Requests &out, const QString &dataFolder,
                const QString &selectedName);

// At start: removes the temporaries of saves that were cut off (only names of the
// save's own temporary form). Returns how many were removed.
int removeLeftoverTemporaries(const QString &dataFolder);

} // namespace tapecalc
