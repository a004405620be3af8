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
#include <QFile>
#include <QString>
#include <QStringList>

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

// A name as the file system holds it. On POSIX a name is bytes: one that is not UTF-8 is
// kept in a QString with each byte that UTF-8 does not take as a lone surrogate U+DC80 +
// byte, which no UTF-8 name decodes to, so every name in a folder has a text of its own
// and gives its bytes back. On Windows names are UTF-16, and these are UTF-8.
QByteArray nativePath(const QString &path);
QString pathOfNative(const QByteArray &bytes);

// The names of the regular files (through links) in `folder`, the hidden ones too when
// asked, as the file system holds them: Qt's listing leaves out a name that is not valid
// in the file system's encoding, and from Qt 6.8 ends at it. None on Windows, where Qt's
// listing is whole.
QStringList regularFileNames(const QString &folder, bool hidden);

enum class Entry { none, file, folder, other }; // what a name is, not following a link
Entry entryAt(const QString &path);
// When the entry `path` was last written: a link's own time, not its target's (a link
// that leads nowhere has one too). Invalid when there is no such entry.
QDateTime entryWritten(const QString &path);
bool removeEntry(const QString &path);

// `path` open for reading in `file` when it is a regular file (through links), else why
// not. Opening never waits (a pipe) nor acts on a device.
enum class OpenedFile { opened, missing, notAFile, unreadable };
OpenedFile openRegularFile(QFile &file, const QString &path);

enum class Moved { done, nameTaken, otherMount, failed };
// Gives the file or link `from` the name `to` in one rename that never replaces a file,
// a link or a dangling link; a rename across mounts is refused, never done as a copy.
// POSIX only: the freedesktop trash and placeAsNew are its users.
Moved moveNoReplace(const QString &from, const QString &to);

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
