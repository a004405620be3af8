// Tape files in the data folder: names, GBK encoding, durable save, open with the total
// recomputed from the file's pairs, delete to the trash, and the tape view's key filter.
#include "tape/tapefiles.h"

#include "core/actions.h"
#include "core/cues.h"
#include "core/tapetext.h"
#include "tape/durablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>
#include <string>
#include <string_view>

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

// A text box hands over "\n" (or paragraph separators); files always hold CR LF.
QString withCrLf(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar(QChar::ParagraphSeparator), QLatin1Char('\n'));
    text.replace(QChar(QChar::LineSeparator), QLatin1Char('\n'));
    return text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
}

// The view as it goes back to its file: leading spaces and every trailing blank or line
// end dropped, then exactly one line end, so saving back never grows an empty line.
QString savedBackText(const QString &view) {
    qsizetype first = 0;
    while (first < view.size() && view.at(first) == QLatin1Char(' '))
        ++first;
    qsizetype end = view.size();
    while (end > first) {
        const QChar c = view.at(end - 1);
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\r') &&
            c != QLatin1Char('\n') && c != QChar(QChar::ParagraphSeparator) &&
            c != QChar(QChar::LineSeparator))
            break;
        --end;
    }
    if (end == first)
        return {};
    return withCrLf(view.mid(first, end - first)) + QLatin1String("\r\n");
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

// The reader of the file's values: a value ends at a comma or a line end; leading
// blanks are skipped; a value in double quotes is taken without them.
class ValueReader {
  public:
    explicit ValueReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }

    std::string_view next() {
        while (!atEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t'))
            ++pos_;
        std::string_view value;
        if (!atEnd() && text_[pos_] == '"') {
            // An unclosed quote ends with its line, so one stray quote cannot swallow
            // the rest of the tape.
            const std::size_t start = ++pos_;
            const std::size_t close = text_.find_first_of("\"\r\n", start);
            const std::size_t stop = close == std::string_view::npos ? text_.size() : close;
            value = text_.substr(start, stop - start);
            pos_ = stop;
            if (!atEnd() && text_[pos_] == '"')
                ++pos_;
            skipToDelimiter();
        } else {
            const std::size_t start = pos_;
            skipToDelimiter();
            value = text_.substr(start, pos_ - start);
        }
        consumeDelimiter();
        return value;
    }

  private:
    void skipToDelimiter() {
        const std::size_t stop = text_.find_first_of(",\r\n", pos_);
        pos_ = stop == std::string_view::npos ? text_.size() : stop;
    }

    void consumeDelimiter() {
        if (atEnd())
            return;
        if (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n')
            pos_ += 2;
        else
            ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

// An optional "-", then digits with at most one "."; empty when it holds no digit.
std::string_view leadingNumber(std::string_view entry) {
    std::size_t i = 0;
    if (i < entry.size() && entry[i] == '-')
        ++i;
    bool digit = false;
    bool point = false;
    for (; i < entry.size(); ++i) {
        const char c = entry[i];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digit ? entry.substr(0, i) : std::string_view();
}

// One step of the recompute, by the same step the keys take: an entry in exponent form
// (a result of sin or exp) counts in full, and one that is no number ("." or "-" alone)
// changes nothing. Only a text that is no number but starts with one, as in a file
// edited elsewhere ("12abc"), counts by its leading number. A failing step leaves the
// total as it was.
Money combineLine(Money total, std::string_view symbol, std::string_view entry) {
    const OperatorInfo *op = operatorBySymbol(symbol);
    if (op == nullptr)
        return total;
    MoneyResult result = combine(total, op->code, entry);
    if (result.error == MoneyError::conversion) {
        const std::string_view number = leadingNumber(entry);
        if (!number.empty())
            result = combine(total, op->code, number);
    }
    return result.ok() ? result.value : total;
}

// Line 0 is the first total as a whole: 0 when it is no number or out of range, as the
// first entry added to a total of 0 would leave it.
Money firstValue(std::string_view entry) {
    const MoneyResult value = parseMoney(entry);
    return value.ok() ? value.value : Money{};
}

// Reads the file's pairs into the tape and recomputes the total along the way, so a
// file longer than the tape still totals every one of its pairs.
void loadPairs(Calculator &calc, std::string_view text) {
    // Empty lines at the end (older saved-back files end in one) are no tape lines.
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    text = last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);

    ValueReader reader(text);
    std::string_view entry;
    std::string_view symbol;
    std::string_view previousSymbol;
    Money total{};
    while (!reader.atEnd()) {
        entry = trimBlanks(reader.next());
        // The end of the file right after an entry leaves the symbol of the pair before.
        if (!reader.atEnd())
            symbol = trimBlanks(reader.next());

        const int line = calc.lineNumber;
        const Money before = line == 0 ? Money{} : total;
        total = line == 0 ? firstValue(entry) : combineLine(total, previousSymbol, entry);
        // The line count goes on past the tape as the operator keys' does; only the
        // slots that exist are written.
        if (Calculator::inTape(line)) {
            const auto slot = static_cast<std::size_t>(line);
            calc.tapeEntries[slot] = std::string(entry);
            calc.tapeOperators[slot] = std::string(symbol);
            calc.tapeTotals[slot] = before;
        }
        previousSymbol = symbol;
        ++calc.lineNumber;
    }
    calc.runningTotal = total;
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
        if (!saveBack(path, encodeTapeText(savedBackText(tapeView))))
            return SaveOutcome::failed;
        calc.tapeFromFile = 0;
        return SaveOutcome::savedBack;
    }

    const QString path =
        saveNewFile(dataFolder, moment, encodeTapeText(QString::fromStdString(tapeText(calc))));
    if (path.isEmpty())
        return SaveOutcome::failed;
    calc.currentTapeFile = path.toStdString();
    return SaveOutcome::savedNew;
}

namespace {

// What every open starts from, whether the file can be read or not.
void startOpen(Calculator &calc) {
    calc.tapeFromFile = 1;
    calc.lineNumber = 0;
    calc.shown.text1.clear();
    calc.runningTotal = Money{};
    calc.shown.label1.clear();
    calc.clearTape();
}

void loadOpened(Calculator &calc, const QByteArray &bytes) {
    const std::string text = decodeTapeText(bytes).toStdString();
    loadPairs(calc, text);
    calc.lastLineNumber = calc.lineNumber;
    calc.shown.label1 = moneyText(calc.runningTotal);
    calc.shown.text2 = text; // the file as stored, not a rebuilt tape text
    ++calc.shown.text2Writes;
}

} // namespace

void loadTapeBytes(Calculator &calc, const QByteArray &bytes) {
    startOpen(calc);
    loadOpened(calc, bytes);
    calc.currentTapeFile.clear();
}

void openSelectedTape(Calculator &calc, const QString &dataFolder, const QString &name) {
    if (name.isEmpty())
        return;
    startOpen(calc);

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
        calc.lastLineNumber = 0;
        calc.currentTapeFile.clear();
        calc.shown.text2.clear();
        ++calc.shown.text2Writes;
        return;
    }
    loadOpened(calc, bytes);
    calc.currentTapeFile = pathInFolder(dataFolder, name).toStdString();
}

bool deleteTape(Calculator &calc, Requests &out, const QString &dataFolder,
                const QString &selectedName) {
    if (calc.currentTapeFile.empty())
        return false;
    if (isPlainFileName(selectedName))
        discardFile(pathInFolder(dataFolder, selectedName));

    const bool openedFromList = calc.tapeFromFile == 1;
    clearAll(calc, IndicatorAfterClear::blank);
    // The emptied tape belongs to no file: the next save makes a new one rather than
    // writing nothing over (or re-creating) the file it came from.
    calc.currentTapeFile.clear();
    calc.tapeFromFile = 0;
    if (openedFromList) {
        // The first request starts the cue, the blocking one holds the window until it
        // has been heard to its end.
        out.playCue(cues::erase);
        out.playCueBlocking(cues::erase);
    } else {
        out.playCueBlocking("");
    }
    out.playCue(cues::clearAll);
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

int tapeViewKeyFilter(int charCode) {
    constexpr int backspace = 8;
    if (charCode == backspace || charCode == '+' || charCode == '-' || charCode == '.' ||
        (charCode >= '0' && charCode <= '9'))
        return charCode;
    if (charCode == '*')
        return 0x00D7; // ×
    if (charCode == '/')
        return 0x00F7; // ÷
    return 0;
}

} // namespace tapecalc
