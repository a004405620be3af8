// Tape files in the data folder: names, GBK coding, durable save, open, delete to the
// trash. What the text holds is core/tapeformat's.
#include "store/tapefiles.h"

#include "core/actions.h"
#include "core/tapeformat.h"
#include "store/durablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <string>

namespace tapecalc {

namespace {

constexpr char gbkName[] = "GBK";

// A selected name must stay inside the data folder: no separators, no drive, no "..".
bool isPlainFileName(const QString &name) {
    if (name.isEmpty() || name == QLatin1String(".") || name.contains(QLatin1String("..")))
        return false;
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QLatin1Char(':'));
}

QString pathInFolder(const QString &dataFolder, const QString &name) {
    return QDir(dataFolder).filePath(name);
}

// The content goes to a temporary first and reaches its final name only once it is on
// the disk, so a save cut off at any moment leaves the whole tape or no tape file. A name
// already taken gives "-2", "-3", …
QString saveNewFile(const QString &dataFolder, const QDateTime &moment, const QByteArray &bytes) {
    const QString temporary = durable::writeTemporary(dataFolder, bytes);
    if (temporary.isEmpty())
        return {};
    return durable::placeUnderFreeName(temporary, dataFolder, tapeFileName(moment));
}

// The old content stays until the new one is on the disk, then is replaced in one step.
bool saveBack(const QString &path, const QByteArray &bytes) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath();
    const QString temporary = durable::writeTemporary(folder, bytes);
    if (temporary.isEmpty())
        return false;
    if (target.exists())
        QFile::setPermissions(temporary, target.permissions());
    if (!durable::replaceWith(temporary, path)) {
        QFile::remove(temporary);
        return false;
    }
    durable::syncFolder(folder);
    return true;
}

// The desktop's trash keeps a tape deleted by mistake; where there is none (or it cannot
// take the file), the file is removed for good.
void discardFile(const QString &path) {
    if (!QFileInfo(path).isFile())
        return;
    if (!QFile::moveToTrash(path))
        QFile::remove(path);
}

} // namespace

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
    QStringEncoder encoder(gbkName);
    // A Qt without GBK still writes files that open again: reading takes UTF-8 too.
    if (!encoder.isValid())
        return text.toUtf8();
    return encoder.encode(text);
}

QString decodeTapeText(const QByteArray &bytes) {
    // Stateless: a sequence cut off at the end of the file is an error, not pending input.
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text; // the decoder drops a leading BOM
    QStringDecoder gbk(gbkName, QStringConverter::Flag::Stateless);
    if (!gbk.isValid())
        return text; // UTF-8 with replacement characters
    return gbk.decode(bytes);
}

QString FileContent(const QString &path) {
    QFile file(path);
    // Read-only: a missing file stays missing.
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeTapeText(file.readAll());
}

SaveOutcome saveTape(Calculator &calc, const QString &dataFolder, const QDateTime &moment,
                     const QString &tapeView) {
    if (!calc.currentTapeFile.empty()) {
        const QString path = QString::fromStdString(calc.currentTapeFile);
        const std::string text = savedBackText(tapeView.toStdString());
        if (!saveBack(path, encodeTapeText(QString::fromStdString(text))))
            return SaveOutcome::failed;
        calc.tapeFromFile = false;
        return SaveOutcome::savedBack;
    }

    const QString path =
        saveNewFile(dataFolder, moment, encodeTapeText(QString::fromStdString(tapeText(calc))));
    if (path.isEmpty())
        return SaveOutcome::failed;
    calc.currentTapeFile = path.toStdString();
    return SaveOutcome::savedNew;
}

void loadTapeBytes(Calculator &calc, const QByteArray &bytes) {
    loadTapeText(calc, decodeTapeText(bytes).toStdString());
}

void openSelectedTape(Calculator &calc, const QString &dataFolder, const QString &name) {
    if (name.isEmpty())
        return;
    QByteArray bytes;
    bool readable = false;
    if (isPlainFileName(name)) {
        QFile file(pathInFolder(dataFolder, name));
        if (file.open(QIODevice::ReadOnly)) {
            bytes = file.readAll();
            readable = file.error() == QFileDevice::NoError;
        }
    }
    if (!readable) {
        // Gone since the list was read (or not a name in the folder): an empty tape
        // that belongs to no file.
        loadTapeText(calc, {});
        calc.shown.label1.clear();
        return;
    }
    loadTapeBytes(calc, bytes);
    calc.currentTapeFile = pathInFolder(dataFolder, name).toStdString();
}

bool deleteTape(Calculator &calc, Requests &out, const QString &dataFolder,
                const QString &selectedName) {
    if (calc.currentTapeFile.empty())
        return false;
    if (isPlainFileName(selectedName))
        discardFile(pathInFolder(dataFolder, selectedName));
    tapeDeleted(calc, out);
    return true;
}

int removeLeftoverTemporaries(const QString &dataFolder) {
    const QDir folder(dataFolder);
    int removed = 0;
    for (const QString &name : folder.entryList({QString::fromLatin1(durable::temporaryPattern)},
                                                QDir::Files | QDir::Hidden | QDir::System))
        removed += QFile::remove(folder.filePath(name)) ? 1 : 0;
    return removed;
}

} // namespace tapecalc
