// Files that reach the disk whole or not at all: the few file-system calls that differ
// between POSIX and Windows, each behind one function here and nowhere else.
#pragma once

#include <QByteArray>
#include <QString>

#include <utility>

namespace tapecalc::durable {

// A save writes under a name of this form first (".tapecalc-" six letters ".tmp"); no
// tape pattern matches it, so the file list never shows a half-written file.
inline constexpr char temporaryTemplate[] = ".tapecalc-XXXXXX.tmp";
inline constexpr char temporaryPattern[] = ".tapecalc-??????.tmp";

// A temporary file being written and placed. While the object lives the file is locked
// as in use (an advisory lock on POSIX; on Windows a file being written cannot be
// deleted), so another copy of the program starting meanwhile leaves it alone.
class Temporary {
  public:
    Temporary() = default;
    Temporary(QString path, int handle) : m_path(std::move(path)), m_handle(handle) {}
    Temporary(Temporary &&other) noexcept;
    Temporary &operator=(Temporary &&other) noexcept;
    Temporary(const Temporary &) = delete;
    Temporary &operator=(const Temporary &) = delete;
    ~Temporary();

    const QString &path() const { return m_path; }
    explicit operator bool() const { return !m_path.isEmpty(); }

  private:
    QString m_path;
    int m_handle = -1; // the locked descriptor, where the platform has one
};

// A new temporary file in `folder` holding `bytes`, on the disk before it returns; an
// empty object when it could not be written (then nothing is left behind).
Temporary writeTemporary(const QString &folder, const QByteArray &bytes);

// Removes a temporary file that no running copy is writing. Whether it was removed.
bool removeAbandoned(const QString &path);

// Removes a temporary file of this program's own (read-only or not). Whether it was.
bool removeTemporary(const QString &path);

// Makes a file's content reach the disk (a file written by another writer, such as a
// PDF). Whether that worked.
bool syncFile(const QString &path);

enum class Placed { done, nameTaken, failed };

// Gives `temporary` the name `path` unless a file of that name exists: an existing file
// is never replaced, not even by a second program saving at the same moment.
Placed placeAsNew(const Temporary &temporary, const QString &path);

// Gives `temporary` the name `name` in `folder`, or else the first free of "stem-2.ext",
// "stem-3.ext", …, never replacing a file, and syncs the folder. The path it got, or
// empty when it could not be placed (the temporary is then removed).
QString placeUnderFreeName(const Temporary &temporary, const QString &folder, const QString &name);

// Gives `temporary` the name `path` in one step, replacing the file there: a reader sees
// the old content or the new one, never a mixture.
bool replaceWith(const Temporary &temporary, const QString &path);

// Makes the names given in `folder` survive a power cut, where the platform lets a
// program ask for that.
void syncFolder(const QString &folder);

} // namespace tapecalc::durable
