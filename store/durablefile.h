// Files that reach the disk whole or not at all: the few file-system calls that differ
// between POSIX and Windows, each behind one function here and nowhere else.
#pragma once

#include <QByteArray>
#include <QString>

namespace tapecalc::durable {

// A save writes under a name of this form first (".tapecalc-" six letters ".tmp"); no
// tape pattern matches it, so the file list never shows a half-written file.
inline constexpr char temporaryTemplate[] = ".tapecalc-XXXXXX.tmp";
inline constexpr char temporaryPattern[] = ".tapecalc-??????.tmp";

// A new temporary file in `folder` holding `bytes`, on the disk before it returns. Its
// path, or empty when it could not be written (then nothing is left behind).
QString writeTemporary(const QString &folder, const QByteArray &bytes);

enum class Placed { done, nameTaken, failed };

// Gives `temporary` the name `path` unless a file of that name exists: an existing file
// is never replaced, not even by a second program saving at the same moment.
Placed placeAsNew(const QString &temporary, const QString &path);

// Gives `temporary` the name `name` in `folder`, or else the first free of "stem-2.ext",
// "stem-3.ext", …, never replacing a file, and syncs the folder. The path it got, or
// empty when it could not be placed (the temporary is then removed).
QString placeUnderFreeName(const QString &temporary, const QString &folder, const QString &name);

// Gives `temporary` the name `path` in one step, replacing the file there: a reader sees
// the old content or the new one, never a mixture.
bool replaceWith(const QString &temporary, const QString &path);

// Makes the names given in `folder` survive a power cut, where the platform lets a
// program ask for that.
void syncFolder(const QString &folder);

} // namespace tapecalc::durable
