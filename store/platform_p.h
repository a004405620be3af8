// What each platform's files in store give the files shared by all platforms. The build
// picks one file of each pair (store/CMakeLists.txt):
//   durablefile_posix.cpp | durablefile_win.cpp     the file calls of durablefile.h
//   process_posix.cpp     | process_win.cpp         durable::processRunsSince
//   textcoding_icu.cpp    | textcoding_win.cpp      GBK through Qt's converters or code page 936
//   trash_freedesktop.cpp | trash_system.cpp        the home trash, or the system's through Qt
// Besides the functions below, the durablefile_ pair defines the functions and LockedFile
// that durablefile.h declares and durablefile.cpp does not.
#pragma once

#include "store/trash.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace tapecalc {

namespace durable {

enum class Created { written, nameTaken, failed };

struct Creation {
    Created result = Created::failed;
    int handle = -1; // a descriptor the temporary keeps open (and locked), where one is kept
};

// Makes the new file `path` (never an existing one) holding `bytes`, on the disk before it
// returns; a file that could not be written whole may be left for the caller to remove.
Creation createWritten(const QString &path, const QByteArray &bytes);

// Lets go of a handle that createWritten kept, and of its lock.
void closeTemporary(int handle);

} // namespace durable

namespace gbk {

// The text of GBK bytes, or nothing when some of them are no GBK.
std::optional<QString> decodeStrict(const QByteArray &bytes);

// The text of a run of bytes that decode() cut out, in which each lead byte has a byte
// that can follow it; what the converter makes of a pair GBK does not assign.
QString decodeRun(const QByteArray &bytes);

} // namespace gbk

// Moves the existing file at `path` to the desktop's trash. Whether a trash took it (if
// not, the file is where it was).
bool trashFile(const QString &path, const QDateTime &moment);

} // namespace tapecalc
