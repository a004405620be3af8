// Tape files in the data folder: names, GBK coding, durable save, open, delete to the
// trash. What the text holds is core/tapeformat's.
#include "store/tapefiles.h"

#include "core/actions.h"
#include "core/tapeformat.h"
#include "store/durablefile.h"
#include "store/platform_p.h"
#include "store/textcoding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <string>

namespace tapecalc {

namespace {

constexpr char utf8Bom[] = "\xEF\xBB\xBF";

// A name in the list stays inside the data folder: it is a name, not a path. On Linux "\\"
// and ":" are characters like any other, and ".." inside a name is no path step.
bool isPlainFileName(const QString &name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
#ifdef Q_OS_WIN
    if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char(':')))
        return false;
#endif
    return !name.contains(QLatin1Char('/'));
}

QString pathInFolder(const QString &dataFolder, const QString &name) {
    return QDir(dataFolder).filePath(name);
}

// What a tape file's content is known by while the program runs: its size and a hash of
// its bytes. It only tells a change by someone else from none, and is never stored.
std::string stampOf(const QByteArray &bytes) {
    return std::to_string(bytes.size()) + ':' + std::to_string(qHash(bytes, 0));
}

struct ReadBytes {
    OpenOutcome outcome = OpenOutcome::unreadable;
    QByteArray bytes;
};

// A tape file's bytes: only a regular file (through a link too), only up to the largest
// tape, and only when every byte could be read.
ReadBytes readTapeFile(const QString &path) {
    QFile file;
    switch (durable::openRegularFile(file, path)) {
    case durable::OpenedFile::opened:
        break;
    case durable::OpenedFile::notAFile:
        return {OpenOutcome::notATape, {}};
    case durable::OpenedFile::missing:
    case durable::OpenedFile::unreadable:
        return {OpenOutcome::unreadable, {}};
    }
    if (file.size() > largestTapeFile)
        return {OpenOutcome::tooLarge, {}};
    // Read no more than the bound, however the file grows meanwhile.
    QByteArray bytes = file.read(largestTapeFile + 1);
    if (file.error() != QFileDevice::NoError)
        return {OpenOutcome::unreadable, {}};
    if (bytes.size() > largestTapeFile)
        return {OpenOutcome::tooLarge, {}};
    return {OpenOutcome::opened, std::move(bytes)};
}

// The old content stays until the new one is on the disk, then is replaced in one step.
bool saveBack(const QString &path, const QByteArray &bytes) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    const durable::Temporary temporary = durable::writeTemporary(folder, bytes);
    if (!temporary)
        return false;
    if (target.exists())
        QFile::setPermissions(temporary.path(), target.permissions());
    if (!durable::replaceWith(temporary, path)) {
        durable::removeTemporary(temporary.path());
        return false;
    }
    durable::syncFolder(folder);
    return true;
}

// Where a save back writes: the file at the end of a chain of links, so every link stays
// a link; the path itself for a file gone meanwhile; empty for a link that leads nowhere.
QString writtenPath(const QString &path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return info.exists() ? info.canonicalFilePath() : path;
    return info.exists() ? info.canonicalFilePath() : QString();
}

enum class Held { same, changed, unreadable };

// Whether the file at `path` still holds the bytes of `stamp`. Its size tells first: one of
// another size has changed, however large it grew, and none is read past the size it had
// (the open's bound is no part of this: a file too large to open is no file of the tape).
Held compareWithStamp(const QString &path, const std::string &stamp) {
    qint64 size = -1;
    std::from_chars(stamp.data(), stamp.data() + stamp.size(), size);
    QFile file;
    switch (durable::openRegularFile(file, path)) {
    case durable::OpenedFile::opened:
        break;
    case durable::OpenedFile::missing:
    case durable::OpenedFile::notAFile:
        return Held::changed;
    case durable::OpenedFile::unreadable:
        return Held::unreadable;
    }
    if (file.size() != size)
        return Held::changed;
    const QByteArray bytes = file.read(size + 1);
    if (file.error() != QFileDevice::NoError)
        return Held::unreadable;
    return stampOf(bytes) == stamp ? Held::same : Held::changed;
}

// Why the tape's own file must not be written back, or savedBack when it may.
SaveOutcome writeBackCheck(const Calculator &calc, const QString &path) {
    if (calc.currentTapeStamp.empty())
        return SaveOutcome::savedNewFilePartial;
    if (path.isEmpty())
        return SaveOutcome::savedNewFileChanged; // a link whose file was taken away
    if (durable::entryAt(path) == durable::Entry::none)
        return SaveOutcome::savedBack; // gone meanwhile: written again, nothing is lost
    switch (compareWithStamp(path, calc.currentTapeStamp)) {
    case Held::same:
        break;
    case Held::changed:
        return SaveOutcome::savedNewFileChanged;
    case Held::unreadable: // not written over unseen
        return SaveOutcome::savedNewFileReadOnly;
    }
    if (!durable::mayReplace(path))
        return SaveOutcome::savedNewFileReadOnly;
    return SaveOutcome::savedBack;
}

// The tape text of every recorded line, as the view shows it during a review too (the
// review only moves the line cursor).
std::string wholeTapeText(Calculator &calc) {
    const int reviewed = calc.lineNumber;
    calc.lineNumber = std::max(calc.lineNumber, calc.lastLineNumber);
    std::string text = tapeText(calc);
    calc.lineNumber = reviewed;
    return text;
}

void tieTo(Calculator &calc, const QString &path, const QByteArray &bytes) {
    calc.currentTapeFile = durable::nativePath(path).toStdString(); // any name, as it is
    calc.currentTapeStamp = stampOf(bytes);
}

} // namespace

TapeFit tapeFit(const QByteArray &bytes, std::string_view text) {
    if (bytes.size() > largestTapeFile)
        return TapeFit::tooLarge;
    return longestRow(text) > longestTapeRow ? TapeFit::rowTooLong : TapeFit::fits;
}

QString tapeFileName(const QDateTime &moment) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    const QLatin1Char zero('0');
    return QStringLiteral("%1%2%3$%4$%5$%6.qtz")
        .arg(date.year())
        .arg(date.month(), 2, 10, zero)
        .arg(date.day(), 2, 10, zero)
        .arg(time.hour())
        .arg(time.minute(), 2, 10, zero)
        .arg(time.second(), 2, 10, zero);
}

QByteArray encodeTapeText(const QString &text) {
    // GBK, as tape files have always been, unless its bytes would be read as other text:
    // "说" is CB B5 in GBK, which is valid UTF-8 too ("˵"), and GBK that starts with the
    // bytes of a byte-order mark would lose them. Such a text, and one GBK cannot hold,
    // goes as UTF-8 behind a byte-order mark, which the reader takes as UTF-8 whatever
    // follows: never as "?".
    if (const std::optional<QByteArray> bytes = gbk::encode(text);
        bytes && decodeTapeText(*bytes) == text)
        return *bytes;
    return utf8Bom + text.toUtf8();
}

QString decodeTapeText(const QByteArray &bytes, bool *lossy) {
    // Stateless: a sequence cut off at the end of the file is an error, not pending input.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (lossy)
            *lossy = false;
        return text; // the decoder drops a leading BOM
    }
    // An editor may have put a UTF-8 byte-order mark in front of GBK text.
    bool valid = true;
    text = gbk::decode(bytes.startsWith(utf8Bom) ? bytes.mid(3) : bytes, &valid);
    if (lossy)
        *lossy = !valid;
    return text;
}

QString saveNewTapeFile(const QString &dataFolder, const QDateTime &moment,
                        const QByteArray &bytes) {
    const durable::Temporary temporary = durable::writeTemporary(dataFolder, bytes);
    if (!temporary)
        return {};
    return durable::placeUnderFreeName(temporary, dataFolder, tapeFileName(moment));
}

SaveOutcome saveTape(Calculator &calc, const QString &dataFolder, const QDateTime &moment,
                     const QString &tapeView, bool viewShown) {
    // A save back always writes the view it is given.
    const bool fromView = viewShown || !calc.currentTapeFile.empty();
    const std::string text = tapeFileText(fromView ? tapeView.toStdString() : wholeTapeText(calc));
    const QByteArray bytes = encodeTapeText(QString::fromStdString(text));
    switch (tapeFit(bytes, text)) {
    case TapeFit::fits:
        break;
    case TapeFit::tooLarge:
        return SaveOutcome::refusedTooLarge;
    case TapeFit::rowTooLong:
        return SaveOutcome::refusedRowTooLong;
    }
    SaveOutcome outcome = SaveOutcome::savedNew;
    if (!calc.currentTapeFile.empty()) {
        const QString path =
            writtenPath(durable::pathOfNative(QByteArray::fromStdString(calc.currentTapeFile)));
        outcome = writeBackCheck(calc, path);
        if (outcome == SaveOutcome::savedBack) {
            if (saveBack(path, bytes)) {
                calc.tapeFromFile = false;
                calc.currentTapeStamp = stampOf(bytes);
                return outcome;
            }
            // Refused in place (a folder that turned read-only, a full disk there): the
            // tape goes to a file of its own all the same.
            outcome = SaveOutcome::savedNewFileReadOnly;
        }
    }
    const QString path = saveNewTapeFile(dataFolder, moment, bytes);
    if (path.isEmpty())
        return SaveOutcome::failed;
    if (outcome != SaveOutcome::savedNew)
        calc.tapeFromFile = false; // the opened tape is written, if not over its file
    tieTo(calc, path, bytes);
    return outcome;
}

int loadTapeBytes(Calculator &calc, const QByteArray &bytes) {
    return loadTapeText(calc, decodeTapeText(bytes).toStdString());
}

Opened openSelectedTape(Calculator &calc, const QString &dataFolder, const QString &name) {
    if (name.isEmpty())
        return {OpenOutcome::noName, 0};
    if (!isPlainFileName(name))
        return {OpenOutcome::notATape, 0};
    const QString path = pathInFolder(dataFolder, name);
    const ReadBytes read = readTapeFile(path);
    if (read.outcome != OpenOutcome::opened)
        return {read.outcome, 0};
    bool lossy = false;
    const std::string text = decodeTapeText(read.bytes, &lossy).toStdString();
    switch (tapeFit(read.bytes, text)) {
    case TapeFit::fits:
        break;
    case TapeFit::tooLarge:
        return {OpenOutcome::tooLarge, 0};
    case TapeFit::rowTooLong:
        return {OpenOutcome::rowTooLong, 0};
    }
    const int leftOut = loadTapeText(calc, text);
    tieTo(calc, path, read.bytes);
    // A file the tape does not hold as it is must not be written over by what it holds.
    if (lossy || leftOut > 0)
        calc.currentTapeStamp.clear();
    return {OpenOutcome::opened, leftOut};
}

DeleteOutcome deleteTape(const QString &dataFolder, const QString &selectedName,
                         const QDateTime &moment, const ConfirmDeleteForGood &confirm) {
    if (selectedName.isEmpty())
        return DeleteOutcome::nothingSelected;
    if (!isPlainFileName(selectedName))
        return DeleteOutcome::failed;
    const QString path = pathInFolder(dataFolder, selectedName);
    // Only tape files: a folder of a tape's name is no tape.
    if (QFileInfo(path).isDir() || durable::entryAt(path) == durable::Entry::folder)
        return DeleteOutcome::failed;
    return discardFile(path, moment, confirm);
}

bool isTapeFileName(QStringView name) {
    return name.endsWith(QLatin1String(tapePattern + 1), Qt::CaseInsensitive);
}

QStringList fileNamesIn(const QString &folder, bool (*keep)(QStringView name), QDir::Filters more) {
    QStringList names;
    // Qt lists links to devices and pipes among the files: only what opens as a file
    // (a regular one, through links too), unless the system's entries are asked for.
    for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::Files | more, QDir::Name))
        if (more.testFlag(QDir::System) || info.isFile())
            names << info.fileName();
    // Qt's listing leaves out a name that is not valid in the file system's encoding (and
    // from Qt 6.8 every name listed after it): the system's listing gives them.
    const QSet<QString> listed(names.begin(), names.end());
    const qsizetype before = names.size();
    for (const QString &name : durable::regularFileNames(folder, more.testFlag(QDir::Hidden)))
        if (!listed.contains(name))
            names << name;
    if (names.size() != before)
        names.sort();
    names.removeIf([keep](const QString &name) { return !keep(name); });
    return names;
}

int removeLeftoverTemporaries(const QString &dataFolder) {
    int removed = 0;
    for (const QString &name :
         fileNamesIn(dataFolder, durable::isTemporaryName, QDir::Hidden | QDir::System))
        removed += durable::removeAbandoned(QDir(dataFolder).filePath(name)) ? 1 : 0;
    return removed;
}

} // namespace tapecalc
