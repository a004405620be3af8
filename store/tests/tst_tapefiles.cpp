// Tape files on a real disk: names, GBK and UTF-8, save (new, back, failed, atomic),
// open and recompute, hostile files, delete to the trash with its cues, the leftovers
// of cut-off saves, the tape view's key filter.
#include "core/actions.h"
#include "core/tapeformat.h"
#include "core/tests/driver.h"
#include "core/tests/recorder.h"
#include "store/tapefiles.h"
#include "store/tests/temporaryhome.h"
#include "tests/missing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <random>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif
#include <sstream>

using namespace tapecalc;

namespace {

const QByteArray gbkTimes("\xA1\xC1");
const QByteArray gbkDivide("\xA1\xC2");
const QByteArray utf8Times("\xC3\x97");
const QByteArray utf8Divide("\xC3\xB7");
const QByteArray utf8Bom("\xEF\xBB\xBF");

const QDateTime moment(QDate(2026, 12, 6), QTime(16, 58, 7));

// A tape of recorded lines (entry, symbol), as the operator keys leave it.
Calculator tapeOf(const std::vector<std::pair<std::string, std::string>> &lines) {
    Calculator calc;
    for (const auto &[entry, symbol] : lines) {
        calc.tapeEntries[static_cast<std::size_t>(calc.lineNumber)] = entry;
        calc.tapeOperators[static_cast<std::size_t>(calc.lineNumber)] = symbol;
        ++calc.lineNumber;
    }
    calc.lastLineNumber = calc.lineNumber;
    return calc;
}

// Presses keys: a number is typed into the entry box, an operator name or "=" is its key.
void press(Calculator &calc, Recorder &out, const QString &keys) {
    for (const QString &key : keys.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const std::string k = key.toStdString();
        if (k == "=")
            equalsKey(calc, out);
        else if (const OperatorInfo *op = operatorByName(k))
            operatorKey(calc, out, op->code);
        else
            calc.shown.text1 = k;
    }
}

QByteArray readBytes(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList entriesOf(const Calculator &calc, int count) {
    QStringList list;
    for (int i = 0; i < count && Calculator::inTape(i); ++i)
        list << QString::fromStdString(calc.tapeEntries[static_cast<std::size_t>(i)]);
    return list;
}

QStringList symbolsOf(const Calculator &calc, int count) {
    QStringList list;
    for (int i = 0; i < count && Calculator::inTape(i); ++i)
        list << QString::fromStdString(calc.tapeOperators[static_cast<std::size_t>(i)]);
    return list;
}

QStringList folderEntries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

} // namespace

class TestTapeFiles : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void fileName_data();
    void fileName();
    void encode_data();
    void encode();
    void decode_data();
    void decode();

    void saveNewWritesTapeTextInGbk();
    void saveNewOfEmptyTapeWritesEmptyFile();
    void saveNewNeverReplacesAFile();
    void saveBack_data();
    void saveBack();
    void saveBackTwiceDoesNotGrow();
    void saveNewFails_data();
    void saveNewFails();
    void saveBackFails_data();
    void saveBackFails();
    void saveBackOfLongNameLeavesNoTemporary();
    void startRemovesOnlyLeftoverTemporaries();

    void open_data();
    void open();
    void openFillsTotalsAndShowsFileAsStored();
    void openTwiceGivesSameState();
    void openWithEmptyNameDoesNothing();
    void openHostileFile_data();
    void openHostileFile();
    void openDoesNotLeaveFolder();
    void openBinaryFile();
    void openVeryLongLine();
    void openMoreThanTapeSlots();

    void fileContent();
    void roundTripThroughEditedView();
    void programFileReopensWithSameTotal_data();
    void programFileReopensWithSameTotal();
    void reopenedTotalIsTheShownTotal_data();
    void reopenedTotalIsTheShownTotal();
    void randomSessionsReopenWithTheShownTotal();

    void deleteTape_data();
    void deleteTape();
    void deleteWithoutFileDoesNothing();
    void deleteWithMissingSelection_data();
    void deleteWithMissingSelection();
    void saveAfterDeleteMakesNewFile();
    void saveBackOnAnUnluckyDay_data();
    void saveBackOnAnUnluckyDay();
    void saveBackThroughALink();
    void saveBackKeepsEveryCharacter();
    void namesLegalOnTheSystem_data();
    void namesLegalOnTheSystem();
    void deleteWithoutATrash_data();
    void deleteWithoutATrash();
    void readOnlyFolderAsAUser();

  private:
    // A deleted tape is in the home trash of the test's own home, whole. Windows keeps its
    // recycle bin where the test cannot look: there it is only gone from the folder.
    void checkTrashed(const QString &name, const QByteArray &bytes) {
#ifdef Q_OS_WIN
        Q_UNUSED(name);
        Q_UNUSED(bytes);
#else
        QCOMPARE(readBytes(QDir(home_.trashFiles()).filePath(name)), bytes);
#endif
    }
    TemporaryHome home_; // deleted tapes land in its trash
    QTemporaryDir dir_;
    QString folder() const {
        return dir_.path();
    }
    QString freshFolder(const QString &name) {
        const QString path = dir_.filePath(name);
        QDir(path).removeRecursively();
        QDir().mkpath(path);
        return path;
    }
};

void TestTapeFiles::fileName_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("name");
    // clang-format off
    QTest::newRow("afternoon") << moment << "20261206$16$58$07.qtz";
    QTest::newRow("single-digit month day hour") << QDateTime(QDate(2026, 3, 5), QTime(9, 5, 7)) << "20260305$9$05$07.qtz";
    QTest::newRow("midnight") << QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0)) << "20270101$0$00$00.qtz";
    QTest::newRow("last second of the year") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << "20261231$23$59$59.qtz";
    QTest::newRow("ten o'clock keeps both digits") << QDateTime(QDate(2026, 10, 10), QTime(10, 10, 10)) << "20261010$10$10$10.qtz";
    // clang-format on
}

void TestTapeFiles::fileName() {
    QFETCH(QDateTime, when);
    QFETCH(QString, name);
    QCOMPARE(tapeFileName(when), name);
    QVERIFY(QDir::match(QString::fromLatin1(tapePattern), name));
}

void TestTapeFiles::encode_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    // clang-format off
    QTest::newRow("times") << QString(QChar(0x00D7)) << gbkTimes;
    QTest::newRow("divide") << QString(QChar(0x00F7)) << gbkDivide;
    QTest::newRow("digits and line ends") << "-1.5\r\n+\r\n" << QByteArray("-1.5\r\n+\r\n");
    QTest::newRow("chinese") << QStringLiteral("合计") << QByteArray("\xBA\xCF\xBC\xC6");
    QTest::newRow("empty") << QString() << QByteArray();
    // What GBK cannot hold makes the whole text UTF-8, never "?".
    QTest::newRow("korean, emoji and won sign") << QStringLiteral("5\r\n备注 한글 😀 ₩\r\n") << QStringLiteral("5\r\n备注 한글 😀 ₩\r\n").toUtf8();
    QTest::newRow("replacement character") << QString(QChar::ReplacementCharacter) << QString(QChar::ReplacementCharacter).toUtf8();
    // clang-format on
}

void TestTapeFiles::encode() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(encodeTapeText(text), bytes);
}

void TestTapeFiles::decode_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString times(QChar(0x00D7));
    const QString divide(QChar(0x00F7));
    // clang-format off
    QTest::newRow("gbk symbols") << "5\r\n" + gbkTimes + "\r\n" + gbkDivide << "5\r\n" + times + "\r\n" + divide;
    QTest::newRow("gbk chinese") << QByteArray("\xBA\xCF\xBC\xC6") << QStringLiteral("合计");
    QTest::newRow("utf-8 without bom") << "5\r\n" + utf8Times + utf8Divide << "5\r\n" + times + divide;
    QTest::newRow("utf-8 with bom") << utf8Bom + "3\r\n" + utf8Times << "3\r\n" + times;
    QTest::newRow("ascii") << QByteArray("12.5\r\n-\r\n") << "12.5\r\n-\r\n";
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("bom only") << utf8Bom << QString();
    QTest::newRow("gbk lead byte without its second byte") << QByteArray("\x81 7") << QString(QChar::ReplacementCharacter) + " 7";
    QTest::newRow("utf-8 cut off at the end falls back to gbk") << QByteArray("5\xC3") << "5" + QString(QChar::ReplacementCharacter);
    QTest::newRow("lone lead bytes keep the bytes after them") << QByteArray("\x81 \x81 7") << QString(QChar::ReplacementCharacter) + " " + QChar::ReplacementCharacter + " 7";
    QTest::newRow("gbk after a utf-8 bom") << utf8Bom + "\xBA\xCF\xBC\xC6\r\n5" << QStringLiteral("合计\r\n5");
    // clang-format on
}

void TestTapeFiles::decode() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decodeTapeText(bytes), text);
}

void TestTapeFiles::saveNewWritesTapeTextInGbk() {
    const QString data = freshFolder("saveNew");
    Calculator calc = tapeOf({{"5", "+"}, {"3", "×"}, {"2", "×"}});
    calc.tapeFromFile = true;
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::savedNew);

    const QString path = QDir(data).filePath("20261206$16$58$07.qtz");
    QCOMPARE(readBytes(path), "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n2\r\n" + gbkTimes + "\r\n");
    QCOMPARE(QString::fromStdString(calc.currentTapeFile), path);
    QVERIFY(calc.tapeFromFile);
    QCOMPARE(folderEntries(data), QStringList{"20261206$16$58$07.qtz"});
}

void TestTapeFiles::saveNewOfEmptyTapeWritesEmptyFile() {
    const QString data = freshFolder("saveEmpty");
    Calculator calc;
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::savedNew);
    QCOMPARE(readBytes(QDir(data).filePath(tapeFileName(moment))), QByteArray());
}

void TestTapeFiles::saveNewNeverReplacesAFile() {
    const QString data = freshFolder("sameSecond");
    // A file of that moment already exists, from another program or an earlier run.
    writeBytes(QDir(data).filePath("20261206$16$58$07.qtz"), "9\r\n+\r\n");

    Calculator first = tapeOf({{"1", "+"}});
    QCOMPARE(saveTape(first, data, moment, QString()), SaveOutcome::savedNew);
    Calculator second = tapeOf({{"2", "-"}});
    QCOMPARE(saveTape(second, data, moment, QString()), SaveOutcome::savedNew);

    QCOMPARE(folderEntries(data), QStringList({"20261206$16$58$07-2.qtz", "20261206$16$58$07-3.qtz",
                                               "20261206$16$58$07.qtz"}));
    QCOMPARE(readBytes(QDir(data).filePath("20261206$16$58$07.qtz")), "9\r\n+\r\n");
    QCOMPARE(readBytes(QString::fromStdString(first.currentTapeFile)), "1\r\n+\r\n");
    QCOMPARE(readBytes(QString::fromStdString(second.currentTapeFile)), "2\r\n-\r\n");
    QVERIFY(QString::fromStdString(second.currentTapeFile).endsWith("20261206$16$58$07-3.qtz"));
    for (const QString &name : folderEntries(data))
        QVERIFY(QDir::match(QString::fromLatin1(tapePattern), name));
}

void TestTapeFiles::saveBack_data() {
    QTest::addColumn<QString>("view");
    QTest::addColumn<QByteArray>("bytes");
    const QString times(QChar(0x00D7));
    // clang-format off
    QTest::newRow("view ending in a line end") << "5\r\n+\r\n3\r\n" + times + "\r\n" << "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n";
    QTest::newRow("view without last line end") << "5\r\n+" << QByteArray("5\r\n+\r\n");
    QTest::newRow("text box line feeds") << "5\n+\n3\n-\n" << QByteArray("5\r\n+\r\n3\r\n-\r\n");
    QTest::newRow("lone carriage returns") << "5\r+\r" << QByteArray("5\r\n+\r\n");
    QTest::newRow("paragraph separators") << "5" + QString(QChar::ParagraphSeparator) + "+" << QByteArray("5\r\n+\r\n");
    QTest::newRow("trailing empty lines and blanks") << "5\r\n+\r\n\r\n\r\n  \t" << QByteArray("5\r\n+\r\n");
    QTest::newRow("leading spaces") << "  5\r\n+\r\n" << QByteArray("5\r\n+\r\n");
    QTest::newRow("empty lines inside stay") << "5\r\n\r\n+\r\n" << QByteArray("5\r\n\r\n+\r\n");
    QTest::newRow("empty view") << QString() << QByteArray();
    QTest::newRow("blank view") << " \r\n \n" << QByteArray();
    // clang-format on
}

void TestTapeFiles::saveBack() {
    QFETCH(QString, view);
    QFETCH(QByteArray, bytes);
    const QString data = freshFolder("saveBack");
    const QString path = QDir(data).filePath("20260101$8$00$00.qtz");
    writeBytes(path, "old\r\n");
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, "20260101$8$00$00.qtz").outcome, OpenOutcome::opened);
    calc.tapeEntries[0] = "77"; // the view, not the tape in memory, is written back

    QCOMPARE(saveTape(calc, data, moment, view), SaveOutcome::savedBack);
    QCOMPARE(readBytes(path), bytes);
    QVERIFY(!calc.tapeFromFile);
    QCOMPARE(QString::fromStdString(calc.currentTapeFile), path);
    QCOMPARE(folderEntries(data), QStringList{"20260101$8$00$00.qtz"});
}

void TestTapeFiles::saveBackTwiceDoesNotGrow() {
    const QString data = freshFolder("saveTwice");
    Calculator calc = tapeOf({{"5", "+"}, {"3", "-"}});
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::savedNew);
    const QString path = QString::fromStdString(calc.currentTapeFile);
    const QByteArray once = readBytes(path);

    // The window shows the file after a save as it was: save back what is on screen.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(saveTape(calc, data, moment, decodeTapeText(readBytes(path))),
                 SaveOutcome::savedBack);
        QCOMPARE(readBytes(path), once);
    }
    QCOMPARE(folderEntries(data).size(), 1);
}

void TestTapeFiles::saveNewFails_data() {
    QTest::addColumn<QString>("target"); // relative to the test's folder
    QTest::addColumn<bool>("readOnly");
    // clang-format off
    QTest::newRow("missing folder") << "noSuchFolder/inner" << false;
    QTest::newRow("folder is a file") << "aFile" << false;
    QTest::newRow("read-only folder") << "readOnly" << true;
    // clang-format on
}

void TestTapeFiles::saveNewFails() {
    QFETCH(QString, target);
    QFETCH(bool, readOnly);
    const QString base = freshFolder("saveFails");
    const QString data = QDir(base).filePath(target);
    if (target == "aFile")
        writeBytes(data, "not a folder");
    if (readOnly) {
        QDir().mkpath(data);
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        QFile probe(QDir(data).filePath("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner);
            QSKIP("this user writes into read-only folders (root?)");
        }
    }

    Calculator calc = tapeOf({{"5", "+"}});
    calc.tapeFromFile = true;
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::failed);
    QVERIFY(calc.currentTapeFile.empty());
    QVERIFY(calc.tapeFromFile);
    if (readOnly) {
        QVERIFY(folderEntries(data).isEmpty());
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
    }
    QVERIFY(!QFileInfo::exists(QDir(base).filePath("noSuchFolder")));
    if (target == "aFile")
        QCOMPARE(readBytes(data), "not a folder");

    // Nothing tied: the next save tries a new file again.
    QDir().mkpath(QDir(base).filePath("later"));
    QCOMPARE(saveTape(calc, QDir(base).filePath("later"), moment, QString()),
             SaveOutcome::savedNew);
}

void TestTapeFiles::saveBackFails_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("outcome");
    // clang-format off
    QTest::newRow("tape file's folder removed") << "gone/20260101$8$00$00.qtz" << int(SaveOutcome::failed);
    // Someone else put something in its place: the tape goes to a file of its own.
    QTest::newRow("tape file is now a folder") << "aFolder" << int(SaveOutcome::savedNewFileChanged);
    // clang-format on
}

void TestTapeFiles::saveBackFails() {
    QFETCH(QString, target);
    const QString base = freshFolder("saveBackFails");
    QDir().mkpath(QDir(base).filePath("aFolder/inside"));
    const QString path = QDir(base).filePath(target);
    Calculator calc;
    calc.currentTapeFile = path.toStdString();
    calc.currentTapeStamp = "as opened";
    calc.tapeFromFile = true;

    QFETCH(int, outcome);
    QCOMPARE(saveTape(calc, base, moment, "5\r\n+\r\n"), SaveOutcome(outcome));
    QCOMPARE(folderEntries(QDir(base).filePath("aFolder")), QStringList{"inside"});
    if (outcome == int(SaveOutcome::failed)) {
        QVERIFY(calc.tapeFromFile);
        QCOMPARE(QString::fromStdString(calc.currentTapeFile), path);
        QCOMPARE(folderEntries(base), QStringList{"aFolder"});
    } else {
        QCOMPARE(folderEntries(base), QStringList({tapeFileName(moment), "aFolder"}));
        QCOMPARE(readBytes(QString::fromStdString(calc.currentTapeFile)), "5\r\n+\r\n");
    }
}

void TestTapeFiles::saveBackOfLongNameLeavesNoTemporary() {
    const QString data = freshFolder("longName");
    // 250 characters: no room for a temporary named after the file, but the save's
    // temporary has a short name of its own.
    const QString name = QString(246, QLatin1Char('7')) + ".qtz";
    const QString path = QDir(data).filePath(name);
    writeBytes(path, "5\r\n+\r\n3\r\n-\r\n");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, name).outcome, OpenOutcome::opened);
    QCOMPARE(saveTape(calc, data, moment, "7\n+\n"), SaveOutcome::savedBack);
    QCOMPARE(readBytes(path), "7\r\n+\r\n");
    QVERIFY(!calc.tapeFromFile);
    QCOMPARE(folderEntries(data), QStringList{name});
    // The file keeps its permissions, not those of a fresh temporary (readable by all).
    const QFileDevice::Permissions kept = QFile::permissions(path);
    QVERIFY(kept.testFlag(QFileDevice::WriteOwner));
#ifndef Q_OS_WIN // no group or other permission bits there
    QVERIFY(!kept.testFlag(QFileDevice::ReadGroup) && !kept.testFlag(QFileDevice::ReadOther));
#endif
}

void TestTapeFiles::startRemovesOnlyLeftoverTemporaries() {
    const QString data = freshFolder("leftovers");
    const QStringList leftovers{".tapecalc-a1B2c3.tmp", ".tapecalc-ZZZZZZ.tmp"};
    const QStringList others{".tapecalc-12345.tmp", ".tapecalc-1234567.tmp", ".tapecalc-abcdef.qtz",
                             "tapecalc-abcdef.tmp", "20261206$16$58$07.qtz", "notes.tmp"};
    for (const QString &name : leftovers + others) {
        writeBytes(QDir(data).filePath(name), "5\r\n");
        // Left an hour ago (on Windows younger ones may still be being named).
        QFile file(QDir(data).filePath(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    }
    QDir().mkpath(QDir(data).filePath(".tapecalc-folder.tmp"));
    QCOMPARE(removeLeftoverTemporaries(data), leftovers.size());
    QStringList kept = others + QStringList{".tapecalc-folder.tmp"};
    kept.sort();
    QCOMPARE(folderEntries(data), kept);
}

void TestTapeFiles::open_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("symbols");
    QTest::addColumn<QString>("total");
    const QString times(QChar(0x00D7));
    const QString divide(QChar(0x00F7));
    const QByteArray example = "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n2\r\n" + gbkTimes + "\r\n";

    // clang-format off
    QTest::newRow("saved example") << example << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("saved back with empty last line") << example + "\r\n" << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("several empty lines and blanks at the end") << example + "\r\n  \r\n\r\n" << QStringList{"5", "3", "2"} << QStringList{"+", times, times} << "16";
    QTest::newRow("odd number of lines keeps the symbol before") << QByteArray("5\r\n+\r\n3\r\n") << QStringList{"5", "3"} << QStringList{"+", "+"} << "8";
    QTest::newRow("one entry alone") << QByteArray("7\r\n") << QStringList{"7"} << QStringList{""} << "7";
    QTest::newRow("empty file") << QByteArray() << QStringList() << QStringList() << "0";
    QTest::newRow("only empty lines") << QByteArray("\r\n\r\n") << QStringList() << QStringList() << "0";
    QTest::newRow("no line end at the end") << QByteArray("5\r\n-\r\n2") << QStringList{"5", "2"} << QStringList{"-", "-"} << "3";
    QTest::newRow("line feeds only") << QByteArray("5\n+\n3\n-\n") << QStringList{"5", "3"} << QStringList{"+", "-"} << "8";
    QTest::newRow("commas end values") << QByteArray("5,+\r\n3,-\r\n1\r\n") << QStringList{"5", "3", "1"} << QStringList{"+", "-", "-"} << "7";
    QTest::newRow("quoted values") << QByteArray("\"5\"\r\n\"+\"\r\n\" 3 \"\r\n\"-\"\r\n") << QStringList{"5", "3"} << QStringList{"+", "-"} << "8";
    QTest::newRow("comma inside quotes") << QByteArray("\"1,5\"\r\n+\r\n2\r\n+\r\n") << QStringList{"1,5", "2"} << QStringList{"+", "+"} << "2";
    QTest::newRow("unclosed quote ends with its line") << QByteArray("\"5\r\n+\r\n2\r\n+\r\n") << QStringList{"5", "2"} << QStringList{"+", "+"} << "7";
    QTest::newRow("blanks around values") << QByteArray("   5  \r\n\t+ \r\n 2\r\n") << QStringList{"5", "2"} << QStringList{"+", "+"} << "7";
    QTest::newRow("empty line inside is an empty value") << QByteArray("5\r\n\r\n3\r\n+\r\n") << QStringList{"5", "3"} << QStringList{"", "+"} << "5";
    QTest::newRow("utf-8 symbols") << "6\r\n" + utf8Divide + "\r\n4\r\n+\r\n" << QStringList{"6", "4"} << QStringList{divide, "+"} << "1.5";
    QTest::newRow("utf-8 with bom") << utf8Bom + "6\r\n" + utf8Times + "\r\n4\r\n+\r\n" << QStringList{"6", "4"} << QStringList{times, "+"} << "24";
    QTest::newRow("division by zero keeps the total") << "5\r\n" + gbkDivide + "\r\n0\r\n+\r\n" << QStringList{"5", "0"} << QStringList{divide, "+"} << "5";
    QTest::newRow("division rounds to four places") << "2\r\n" + gbkDivide + "\r\n3\r\n+\r\n" << QStringList{"2", "3"} << QStringList{divide, "+"} << "0.6667";
    QTest::newRow("product out of range keeps the total") << "922337203685477\r\n" + gbkTimes + "\r\n1000\r\n+\r\n" << QStringList{"922337203685477", "1000"} << QStringList{times, "+"} << "922337203685477";
    QTest::newRow("sum out of range keeps the total") << QByteArray("922337203685477\r\n+\r\n922337203685477\r\n+\r\n") << QStringList{"922337203685477", "922337203685477"} << QStringList{"+", "+"} << "922337203685477";
    QTest::newRow("negative and fractions") << "-1.5\r\n" + gbkTimes + "\r\n2\r\n-\r\n0.25\r\n-\r\n" << QStringList{"-1.5", "2", "0.25"} << QStringList{times, "-", "-"} << "-3.25";
    QTest::newRow("first line whole, later ones by their leading number") << QByteArray("12.5.3\r\n+\r\n1e3\r\n+\r\n2x\r\n+\r\n") << QStringList{"12.5.3", "1e3", "2x"} << QStringList{"+", "+", "+"} << "1002";
    QTest::newRow("not a number reads as zero") << QByteArray("abc\r\n+\r\n4\r\n+\r\n-\r\n+\r\n.\r\n+\r\n") << QStringList{"abc", "4", "-", "."} << QStringList{"+", "+", "+", "+"} << "4";
    QTest::newRow("unknown symbol changes nothing") << QByteArray("5\r\n?\r\n3\r\n+\r\n") << QStringList{"5", "3"} << QStringList{"?", "+"} << "5";
    QTest::newRow("last symbol is not applied") << "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n" << QStringList{"5", "3"} << QStringList{"+", times} << "8";
    QTest::newRow("bytes of neither encoding") << QByteArray("5\r\n\x81 \x81 \r\n3\r\n+\r\n") << QStringList{"5", "3"} << QStringList{QString(QChar::ReplacementCharacter) + " " + QChar::ReplacementCharacter, "+"} << "5";
    // clang-format on
}

void TestTapeFiles::open() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, entries);
    QFETCH(QStringList, symbols);
    QFETCH(QString, total);
    const QString data = freshFolder("open");
    writeBytes(QDir(data).filePath("t.qtz"), bytes);

    Calculator calc;
    openSelectedTape(calc, data, "t.qtz");
    QCOMPARE(calc.lineNumber, int(entries.size()));
    QCOMPARE(calc.lastLineNumber, calc.lineNumber);
    QCOMPARE(entriesOf(calc, calc.lineNumber), entries);
    QCOMPARE(symbolsOf(calc, calc.lineNumber), symbols);
    QCOMPARE(QString::fromStdString(calc.shown.label1), total);
    QCOMPARE(QString::fromStdString(moneyText(calc.runningTotal)), total);
    QVERIFY(calc.tapeEntries[static_cast<std::size_t>(calc.lineNumber)].empty());
}

void TestTapeFiles::openFillsTotalsAndShowsFileAsStored() {
    const QString data = freshFolder("openState");
    const QByteArray bytes = "5\r\n+\r\n3\r\n" + gbkTimes + "\r\n2\r\n" + gbkTimes + "\r\n\r\n";
    writeBytes(QDir(data).filePath("t.qtz"), bytes);

    Calculator calc = tapeOf({{"1", "+"}, {"1", "+"}, {"1", "+"}, {"1", "+"}, {"1", "+"}});
    calc.tapeTotals[4] = Money{990000};
    calc.tapeTotals[3] = Money{10000};
    calc.pendingOperator = Operator::multiply;
    calc.runningTotal = Money{50000};
    calc.shown = {"9", "5", "乘", "5", "old", 7};

    openSelectedTape(calc, data, "t.qtz");
    QCOMPARE(calc.lineNumber, 3);
    QCOMPARE(calc.lastLineNumber, 3);
    QCOMPARE(calc.tapeTotals[0], std::optional<Money>(Money{0}));
    QCOMPARE(calc.tapeTotals[1], std::optional<Money>(Money{50000}));
    QCOMPARE(calc.tapeTotals[2], std::optional<Money>(Money{80000}));
    QCOMPARE(calc.tapeTotals[3], std::optional<Money>());
    QCOMPARE(calc.tapeTotals[4], std::optional<Money>());
    QVERIFY(calc.tapeEntries[3].empty() && calc.tapeEntries[4].empty());
    QVERIFY(calc.tapeOperators[4].empty());
    QVERIFY(calc.tapeFromFile);
    QCOMPARE(QString::fromStdString(calc.currentTapeFile), QDir(data).filePath("t.qtz"));
    QCOMPARE(calc.shown.text1, std::string());
    QCOMPARE(calc.shown.label1, std::string("16"));
    QCOMPARE(calc.shown.text2, std::string("5\r\n+\r\n3\r\n×\r\n2\r\n×\r\n\r\n"));
    QVERIFY(calc.shown.text2Writes > 7);
    // Left as they were: the indicator, the line display and the pending operator.
    QCOMPARE(calc.shown.label2, std::string("乘"));
    QCOMPARE(calc.shown.label9, std::string("5"));
    QCOMPARE(calc.pendingOperator, Operator::multiply);
}

void TestTapeFiles::openTwiceGivesSameState() {
    const QString data = freshFolder("openTwice");
    writeBytes(QDir(data).filePath("t.qtz"), "5\r\n+\r\n3\r\n-\r\n");
    Calculator once;
    openSelectedTape(once, data, "t.qtz");
    Calculator twice;
    openSelectedTape(twice, data, "t.qtz");
    openSelectedTape(twice, data, "t.qtz");
    QCOMPARE(twice.lineNumber, once.lineNumber);
    QCOMPARE(twice.runningTotal, once.runningTotal);
    QCOMPARE(twice.tapeEntries, once.tapeEntries);
    QCOMPARE(twice.tapeOperators, once.tapeOperators);
    QCOMPARE(twice.tapeTotals, once.tapeTotals);
    QCOMPARE(twice.shown.text2, once.shown.text2);
    QCOMPARE(twice.currentTapeFile, once.currentTapeFile);
}

void TestTapeFiles::openWithEmptyNameDoesNothing() {
    Calculator calc = tapeOf({{"5", "+"}});
    calc.shown.text1 = "3";
    calc.runningTotal = Money{50000};
    openSelectedTape(calc, folder(), QString());
    QCOMPARE(calc.lineNumber, 1);
    QCOMPARE(calc.tapeEntries[0], std::string("5"));
    QCOMPARE(calc.shown.text1, std::string("3"));
    QVERIFY(!calc.tapeFromFile);
    QCOMPARE(calc.runningTotal, Money{50000});
}

void TestTapeFiles::openHostileFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outcome");
    // clang-format off
    QTest::newRow("file removed after listing") << "gone.qtz" << int(OpenOutcome::unreadable);
    QTest::newRow("data folder missing") << "missing/x.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("name is a folder") << "folder.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("link to a device") << "zero.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("named pipe") << "pipe.qtz" << int(OpenOutcome::notATape);
    QTest::newRow("one byte over the largest tape") << "sparse.qtz" << int(OpenOutcome::tooLarge);
    QTest::newRow("name that leaves the folder") << "../outside.qtz" << int(OpenOutcome::notATape);
    // clang-format on
}

// Whatever the list shows, opening it never takes the tape on screen with it: the
// calculator stays as it was, and the outcome says why.
void TestTapeFiles::openHostileFile() {
    QFETCH(QString, name);
    const QString base = freshFolder("hostile");
    const QString data = QDir(base).filePath("data");
    QDir().mkpath(QDir(data).filePath("folder.qtz"));
    writeBytes(QDir(base).filePath("outside.qtz"), "5\r\n+\r\n");
#ifdef Q_OS_WIN
    if (name == "zero.qtz" || name == "pipe.qtz")
        QSKIP("no devices or named pipes among a folder's files on Windows");
#else
    QFile::link("/dev/zero", QDir(data).filePath("zero.qtz"));
    QVERIFY(QProcess::execute("mkfifo", {QDir(data).filePath("pipe.qtz")}) == 0);
#endif
    {
        QFile sparse(QDir(data).filePath("sparse.qtz"));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(largestTapeFile + 1));
    }

    Calculator calc = tapeOf({{"5", "+"}, {"3", "-"}});
    calc.runningTotal = Money{80000};
    calc.shown.label1 = "8";
    calc.shown.text2 = "5\r\n+\r\n3\r\n-\r\n";
    calc.currentTapeFile = "elsewhere.qtz";
    const Calculator before = calc;
    QCOMPARE(int(openSelectedTape(calc, data, name).outcome), FETCHED(int, outcome));
    QCOMPARE(calc.lineNumber, before.lineNumber);
    QVERIFY(calc.tapeEntries == before.tapeEntries);
    QCOMPARE(calc.runningTotal, before.runningTotal);
    QCOMPARE(calc.shown.text2, before.shown.text2);
    QCOMPARE(calc.currentTapeFile, before.currentTapeFile);
    QCOMPARE(calc.tapeFromFile, before.tapeFromFile);
    QVERIFY(!QFileInfo::exists(QDir(data).filePath("gone.qtz")));
}

void TestTapeFiles::openDoesNotLeaveFolder() {
    const QString base = freshFolder("escape");
    const QString data = QDir(base).filePath("data");
    QDir().mkpath(data + "/sub");
    writeBytes(QDir(base).filePath("outside.qtz"), "5\r\n+\r\n");
    writeBytes(QDir(data).filePath("sub/inner.qtz"), "6\r\n+\r\n");
    const QStringList names{"../outside.qtz",
                            "..",
                            QDir(base).filePath("outside.qtz"),
                            "sub/inner.qtz",
                            "sub\\inner.qtz",
                            "..\\outside.qtz"};
    for (const QString &name : names) {
        Calculator calc;
        openSelectedTape(calc, data, name);
        QVERIFY2(calc.lineNumber == 0, qPrintable(name));
        QVERIFY2(calc.shown.text2.empty(), qPrintable(name));
        QVERIFY2(calc.currentTapeFile.empty(), qPrintable(name));
    }
}

void TestTapeFiles::openBinaryFile() {
    const QString data = freshFolder("binary");
    QByteArray bytes;
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes.append(static_cast<char>(seed >> 24));
    }
    writeBytes(QDir(data).filePath("b.qtz"), bytes);
    Calculator calc;
    openSelectedTape(calc, data, "b.qtz");
    // Random bytes hold some line ends and commas; what matters is a sane tape.
    QVERIFY(calc.lineNumber > 0);
    QCOMPARE(calc.lastLineNumber, calc.lineNumber);
    QCOMPARE(calc.tapeEntries.size(), std::size_t(tapeSlots));
    QCOMPARE(calc.shown.label1, moneyText(calc.runningTotal));
    QVERIFY(!calc.shown.text2.empty());
}

void TestTapeFiles::openVeryLongLine() {
    const QString data = freshFolder("longLine");
    const QByteArray digits(1 << 20, '7');
    const QByteArray letters(1 << 20, 'x');
    writeBytes(QDir(data).filePath("l.qtz"),
               digits + "\r\n+\r\n5\r\n+\r\n" + letters + "\r\n+\r\n2\r\n+\r\n");
    Calculator calc;
    openSelectedTape(calc, data, "l.qtz");
    QCOMPARE(calc.lineNumber, 4);
    QCOMPARE(calc.tapeEntries[0].size(), std::size_t(1 << 20));
    QCOMPARE(calc.tapeEntries[2].size(), std::size_t(1 << 20));
    // A million digits is out of range (read as 0); letters are no number (0).
    QCOMPARE(calc.shown.label1, std::string("7"));
}

void TestTapeFiles::openMoreThanTapeSlots() {
    const QString data = freshFolder("tooLong");
    const int pairs = tapeSlots + 9;
    QByteArray bytes;
    for (int i = 0; i < pairs; ++i)
        bytes += QByteArray::number(i % 10) + "\r\n+\r\n";
    writeBytes(QDir(data).filePath("long.qtz"), bytes);

    Calculator calc;
    const Opened opened = openSelectedTape(calc, data, "long.qtz");
    // The tape takes what it holds; the rest is counted, and the total, the view and a
    // saved file all hold the same lines.
    QCOMPARE(opened.linesLeftOut, pairs - tapeSlots);
    QCOMPARE(calc.lineNumber, tapeSlots);
    QCOMPARE(calc.lastLineNumber, tapeSlots);
    QCOMPARE(calc.tapeEntries[tapeSlots - 1], std::to_string((tapeSlots - 1) % 10));
    long long sum = 0;
    for (int i = 0; i < tapeSlots; ++i)
        sum += i % 10;
    QCOMPARE(calc.shown.label1, std::to_string(sum));
    QCOMPARE(calc.shown.text2, tapeText(calc));

    // A save never writes the shorter tape over the longer file.
    QCOMPARE(saveTape(calc, data, moment, QString::fromStdString(calc.shown.text2)),
             SaveOutcome::savedNewFilePartial);
    QCOMPARE(readBytes(QDir(data).filePath("long.qtz")), bytes);
    Calculator reopened;
    QCOMPARE(openSelectedTape(reopened, data, tapeFileName(moment)).linesLeftOut, 0);
    QCOMPARE(reopened.shown.label1, calc.shown.label1);
}

void TestTapeFiles::fileContent() {
    const QString data = freshFolder("content");
    const QString missing = QDir(data).filePath("missing.qtz");
    QCOMPARE(FileContent(missing), QString());
    QVERIFY(!QFileInfo::exists(missing));
    QCOMPARE(FileContent(data), QString());

    const QString path = QDir(data).filePath("t.qtz");
    writeBytes(path, "5\r\n" + gbkTimes + "\r\n\r\n");
    QCOMPARE(FileContent(path), "5\r\n" + QString(QChar(0x00D7)) + "\r\n\r\n");
}

void TestTapeFiles::roundTripThroughEditedView() {
    const QString data = freshFolder("roundTrip");
    Calculator calc;
    Recorder out;
    press(calc, out, "5 加 3 乘 2 =");
    QCOMPARE(calc.shown.label1, std::string("16"));
    QCOMPARE(saveTape(calc, data, moment, QString::fromStdString(calc.shown.text2)),
             SaveOutcome::savedNew);
    const QString name = QFileInfo(QString::fromStdString(calc.currentTapeFile)).fileName();

    Calculator opened;
    openSelectedTape(opened, data, name);
    QCOMPARE(opened.shown.label1, std::string("16"));
    QCOMPARE(opened.lineNumber, 3);

    // The user corrects 3 to 4 in the view; the text box hands over "\n" line ends.
    QString view = QString::fromStdString(opened.shown.text2);
    view.replace("\r\n", "\n").replace("\n3\n", "\n4\n");
    QCOMPARE(saveTape(opened, data, moment, view), SaveOutcome::savedBack);
    const QByteArray edited = "5\r\n+\r\n4\r\n" + gbkTimes + "\r\n2\r\n" + gbkTimes + "\r\n";
    QCOMPARE(readBytes(QString::fromStdString(opened.currentTapeFile)), edited);
    QCOMPARE(opened.tapeFromFile, 0);

    Calculator reopened;
    openSelectedTape(reopened, data, name);
    QCOMPARE(reopened.shown.label1, std::string("18"));
    QCOMPARE(reopened.lineNumber, 3);
    QCOMPARE(saveTape(reopened, data, moment, QString::fromStdString(reopened.shown.text2)),
             SaveOutcome::savedBack);
    QCOMPARE(readBytes(QString::fromStdString(reopened.currentTapeFile)), edited);
    QCOMPARE(folderEntries(data), QStringList{name});
}

void TestTapeFiles::programFileReopensWithSameTotal_data() {
    QTest::addColumn<QString>("keys");
    // clang-format off
    QTest::newRow("add multiply equals") << "5 加 3 乘 2 =";
    QTest::newRow("ends with an operator key") << "5 乘 3 加";
    QTest::newRow("subtract below zero") << "2 减 3.5 减 0.25 =";
    QTest::newRow("rounded quotient") << "2 除 3 加";
    QTest::newRow("failed division") << "5 除 0 加 1 =";
    QTest::newRow("decimal product") << "1.5 乘 1.5 乘 -2 =";
    QTest::newRow("one line") << "42 =";
    QTest::newRow("equals twice") << "4 乘 2 = 3 =";
    // clang-format on
}

void TestTapeFiles::programFileReopensWithSameTotal() {
    QFETCH(QString, keys);
    const QString data = freshFolder("programFiles");
    Calculator calc;
    Recorder out;
    press(calc, out, keys);
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::savedNew);

    Calculator opened;
    openSelectedTape(opened, data, tapeFileName(moment));
    QCOMPARE(opened.lineNumber, calc.lineNumber);
    QCOMPARE(moneyText(opened.runningTotal), moneyText(calc.runningTotal));
    for (int i = 0; i < calc.lineNumber; ++i)
        QCOMPARE(opened.tapeTotals[static_cast<std::size_t>(i)],
                 calc.tapeTotals[static_cast<std::size_t>(i)]);
}

// Keys pressed on screen, saved, reopened: the total the window showed comes back.
// Returns the reopened total's text, or fails the test.
std::string reopenedTotal(Calculator &calc, const QString &data) {
    const QString name = tapeFileName(moment);
    QFile::remove(QDir(data).filePath(name));
    calc.currentTapeFile.clear();
    if (saveTape(calc, data, moment, QString()) != SaveOutcome::savedNew)
        return "<not saved>";
    Calculator opened;
    openSelectedTape(opened, data, name);
    return moneyText(opened.runningTotal);
}

void TestTapeFiles::reopenedTotalIsTheShownTotal_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("total");
    // clang-format off
    QTest::newRow("function results count in full") << "pi sin 加 5 加 pi sin 加" << "5";
    QTest::newRow("percent in exponent form") << "0 . 0001 % 加" << "0";
    QTest::newRow("a point alone changes nothing") << "5 加 . 乘 2 加" << "10";
    QTest::newRow("exponent entry beyond the range fails") << "5 加 9 9 exp 加 1 加" << "6";
    // clang-format on
}

void TestTapeFiles::reopenedTotalIsTheShownTotal() {
    QFETCH(QString, keys);
    QFETCH(QString, total);
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, keys.toStdString());
    QCOMPARE(QString::fromStdString(calc.shown.label1), total);
    QCOMPARE(QString::fromStdString(reopenedTotal(calc, freshFolder("examples"))), total);
}

// Random sessions (pressRandomSession), each saved to a real file and opened again.
void TestTapeFiles::randomSessionsReopenWithTheShownTotal() {
    const QString data = freshFolder("randomSessions");
    std::mt19937 random(3);
    for (int session = 0; session < 300; ++session) {
        Calculator calc;
        Recorder out;
        const std::string pressed = pressRandomSession(calc, out, random);
        QVERIFY2(reopenedTotal(calc, data) == moneyText(calc.runningTotal),
                 (pressed + "\n" + rows(calc.shown.text2) + "\n" + moneyText(calc.runningTotal) +
                  " vs " + reopenedTotal(calc, data))
                     .c_str());
    }
}

void TestTapeFiles::deleteTape_data() {
    QTest::addColumn<int>("fromFile");
    QTest::addColumn<QString>("cues");
    // clang-format off
    QTest::newRow("opened from the list") << 1 << "cue:删除.wav blocking:删除.wav cue:归零.wav";
    QTest::newRow("saved new") << 0 << "blocking: cue:归零.wav";
    // clang-format on
}

void TestTapeFiles::deleteTape() {
    QFETCH(int, fromFile);
    QFETCH(QString, cues);
    const QString data = freshFolder("delete");
    home_.emptyTrash();
    writeBytes(QDir(data).filePath("a.qtz"), "5\r\n+\r\n");
    writeBytes(QDir(data).filePath("b.qtz"), "6\r\n+\r\n");

    Calculator calc = tapeOf({{"5", "+"}, {"3", "-"}});
    calc.tapeTotals[1] = Money{50000};
    calc.runningTotal = Money{80000};
    calc.pendingOperator = Operator::divide;
    calc.shown = {"9", "8", "除", "2", "5\r\n+\r\n3\r\n-\r\n", 0};
    calc.currentTapeFile = QDir(data).filePath("b.qtz").toStdString();
    calc.tapeFromFile = fromFile != 0;
    Recorder out;

    // The selected name goes to the trash, even when the tape belongs to another file.
    QCOMPARE(tapecalc::deleteTape(calc, out, data, "a.qtz", moment), DeleteOutcome::deleted);
    QCOMPARE(folderEntries(data), QStringList{"b.qtz"});
    checkTrashed("a.qtz", "5\r\n+\r\n");
    QCOMPARE(QString::fromStdString(out.joined()), cues);
    QCOMPARE(calc.lineNumber, 0);
    QCOMPARE(calc.lastLineNumber, 0);
    QCOMPARE(calc.runningTotal, Money{});
    QCOMPARE(calc.pendingOperator, Operator::add);
    QVERIFY(calc.tapeEntries[0].empty() && calc.tapeOperators[1].empty());
    QCOMPARE(calc.tapeTotals[1], std::optional<Money>());
    QVERIFY(calc.shown.text1.empty() && calc.shown.text2.empty());
    QVERIFY(calc.shown.label1.empty() && calc.shown.label2.empty() && calc.shown.label9.empty());
    QCOMPARE(calc.shown.text2Writes, 1ul);
    // Untied: the emptied tape is written over no file.
    QVERIFY(calc.currentTapeFile.empty());
    QVERIFY(!calc.tapeFromFile);
}

void TestTapeFiles::deleteWithoutFileDoesNothing() {
    const QString data = freshFolder("deleteNone");
    writeBytes(QDir(data).filePath("a.qtz"), "5\r\n+\r\n");
    Calculator calc = tapeOf({{"5", "+"}});
    calc.shown = {"9", "5", "加", "1", "5\r\n+\r\n", 3};
    calc.tapeFromFile = true;
    Recorder out;
    QCOMPARE(tapecalc::deleteTape(calc, out, data, "a.qtz", moment), DeleteOutcome::nothing);
    QCOMPARE(folderEntries(data), QStringList{"a.qtz"});
    QVERIFY(out.log.empty());
    QCOMPARE(calc.lineNumber, 1);
    QCOMPARE(calc.shown.text2, std::string("5\r\n+\r\n"));
    QCOMPARE(calc.shown.label2, std::string("加"));
    QCOMPARE(calc.shown.text2Writes, 3ul);
}

void TestTapeFiles::deleteWithMissingSelection_data() {
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("cleared");
    // With nothing selected the key still clears; a selected file that cannot be deleted
    // leaves everything as it was.
    // clang-format off
    QTest::newRow("nothing selected") << QString() << true;
    QTest::newRow("file already gone") << "gone.qtz" << false;
    QTest::newRow("name outside the folder") << "../outside.qtz" << false;
    QTest::newRow("a folder") << "folder.qtz" << false;
    // clang-format on
}

void TestTapeFiles::deleteWithMissingSelection() {
    QFETCH(QString, selected);
    const QString base = freshFolder("deleteMissing");
    const QString data = QDir(base).filePath("data");
    QDir().mkpath(QDir(data).filePath("folder.qtz"));
    writeBytes(QDir(base).filePath("outside.qtz"), "1\r\n");
    writeBytes(QDir(data).filePath("kept.qtz"), "2\r\n");
    Calculator calc = tapeOf({{"5", "+"}});
    calc.currentTapeFile = QDir(data).filePath("kept.qtz").toStdString();
    Recorder out;

    QFETCH(bool, cleared);
    QCOMPARE(tapecalc::deleteTape(calc, out, data, selected, moment),
             cleared ? DeleteOutcome::deleted : DeleteOutcome::failed);
    QCOMPARE(calc.lineNumber, cleared ? 0 : 1);
    QCOMPARE(calc.tapeEntries[0].empty(), cleared);
    QCOMPARE(QString::fromStdString(out.joined()), cleared ? "blocking: cue:归零.wav" : "");
    QCOMPARE(folderEntries(data), QStringList({"folder.qtz", "kept.qtz"}));
    QCOMPARE(readBytes(QDir(base).filePath("outside.qtz")), "1\r\n");
}

void TestTapeFiles::saveAfterDeleteMakesNewFile() {
    const QString data = freshFolder("saveAfterDelete");
    Calculator calc;
    Recorder out;
    press(calc, out, "5 加 3 =");
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::savedNew);
    QCOMPARE(tapecalc::deleteTape(calc, out, data, tapeFileName(moment), moment),
             DeleteOutcome::deleted);
    QVERIFY(folderEntries(data).isEmpty());

    // Untied: the save makes a new file of the empty tape; the deleted name stays gone.
    const QDateTime later = moment.addSecs(5);
    QCOMPARE(saveTape(calc, data, later, QString::fromStdString(calc.shown.text2)),
             SaveOutcome::savedNew);
    QCOMPARE(folderEntries(data), QStringList{tapeFileName(later)});
    QCOMPARE(readBytes(QDir(data).filePath(tapeFileName(later))), QByteArray());
}

void TestTapeFiles::saveBackOnAnUnluckyDay_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("outcome");
    // clang-format off
    QTest::newRow("changed by another program") << "changed" << int(SaveOutcome::savedNewFileChanged);
    QTest::newRow("replaced by another program") << "replaced" << int(SaveOutcome::savedNewFileChanged);
    QTest::newRow("made read-only") << "readOnly" << int(SaveOutcome::savedNewFileReadOnly);
    QTest::newRow("bytes valid in no coding") << "undecodable" << int(SaveOutcome::savedNewFilePartial);
    QTest::newRow("unchanged") << "" << int(SaveOutcome::savedBack);
    // clang-format on
}

// A save back never writes over what it did not read: the other version stays whole, and
// the tape on screen goes to a new file that holds the view.
void TestTapeFiles::saveBackOnAnUnluckyDay() {
    QFETCH(QString, what);
    const QString data = freshFolder("unlucky");
    const QString path = QDir(data).filePath("t.qtz");
    writeBytes(path, what == "undecodable" ? QByteArray("5\r\n+\r\n\x81 7\r\n")
                                           : QByteArray("5\r\n+\r\n"));
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, "t.qtz").outcome, OpenOutcome::opened);
    if (what == "changed")
        writeBytes(path, "6\r\n+\r\n");
    if (what == "replaced") { // an editor that writes a new file and renames it
        writeBytes(path + ".new", "5\r\n+\r\n7\r\n");
        QFile::remove(path);
        QFile::rename(path + ".new", path);
    }
    if (what == "readOnly")
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const QByteArray before = readBytes(path);

    QFETCH(int, outcome);
    QCOMPARE(int(saveTape(calc, data, moment, "9\n+\n")), outcome);
    const QString saved = QString::fromStdString(calc.currentTapeFile);
    QCOMPARE(readBytes(saved), QByteArray("9\r\n+\r\n"));
    QVERIFY(!calc.tapeFromFile);
    if (outcome == int(SaveOutcome::savedBack)) {
        QCOMPARE(saved, path);
        return;
    }
    QCOMPARE(readBytes(path), before);
    QCOMPARE(QFileInfo(saved).fileName(), tapeFileName(moment));
    // Tied to the new file: the next save writes it back.
    QCOMPARE(saveTape(calc, data, moment.addSecs(1), "8\n"), SaveOutcome::savedBack);
    QCOMPARE(readBytes(saved), QByteArray("8\r\n"));
    QCOMPARE(folderEntries(data).size(), 2);
}

// A tape reached through a link is written where the link points, and the link stays.
void TestTapeFiles::saveBackThroughALink() {
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes a shortcut on Windows, not a link the file system follows");
#endif
    const QString base = freshFolder("linked");
    const QString data = QDir(base).filePath("data");
    QDir().mkpath(data);
    QDir().mkpath(QDir(base).filePath("elsewhere"));
    const QString target = QDir(base).filePath("elsewhere/real.qtz");
    writeBytes(target, "5\r\n+\r\n");
    QVERIFY(QFile::link(target, QDir(data).filePath("link.qtz")));
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, "link.qtz").outcome, OpenOutcome::opened);
    QCOMPARE(saveTape(calc, data, moment, "9\n+\n"), SaveOutcome::savedBack);
    QVERIFY(QFileInfo(QDir(data).filePath("link.qtz")).isSymLink());
    QCOMPARE(readBytes(target), QByteArray("9\r\n+\r\n"));
    QCOMPARE(folderEntries(data), QStringList{"link.qtz"});
}

// Text that GBK cannot hold survives a save back and a reopen, character for character.
void TestTapeFiles::saveBackKeepsEveryCharacter() {
    const QString data = freshFolder("characters");
    const QString note = QStringLiteral("5\r\n+\r\n备注 한글 😀 ₩\r\n");
    writeBytes(QDir(data).filePath("t.qtz"), note.toUtf8());
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, "t.qtz").outcome, OpenOutcome::opened);
    QCOMPARE(saveTape(calc, data, moment, QString::fromStdString(calc.shown.text2)),
             SaveOutcome::savedBack);
    Calculator reopened;
    QCOMPARE(openSelectedTape(reopened, data, "t.qtz").outcome, OpenOutcome::opened);
    QCOMPARE(QString::fromStdString(reopened.shown.text2), note);
}

void TestTapeFiles::namesLegalOnTheSystem_data() {
    QTest::addColumn<QString>("name");
    // clang-format off
    QTest::newRow("colon") << "lunch 12:30.qtz";
    QTest::newRow("two dots inside") << "v1..v2.qtz";
    QTest::newRow("backslash") << "back\\slash.qtz";
    QTest::newRow("leading dots") << "..hidden.qtz";
    // clang-format on
}

// Every name the list shows opens and deletes.
void TestTapeFiles::namesLegalOnTheSystem() {
    QFETCH(QString, name);
#ifdef Q_OS_WIN
    if (name.contains(':') || name.contains('\\'))
        QSKIP("not a file name on Windows");
#endif
    const QString data = freshFolder("names");
    home_.emptyTrash();
    writeBytes(QDir(data).filePath(name), "5\r\n+\r\n3\r\n+\r\n");
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, name).outcome, OpenOutcome::opened);
    QCOMPARE(calc.shown.label1, std::string("8"));
    Recorder out;
    QCOMPARE(tapecalc::deleteTape(calc, out, data, name, moment), DeleteOutcome::deleted);
    QVERIFY(folderEntries(data).isEmpty());
    checkTrashed(name, "5\r\n+\r\n3\r\n+\r\n");
}

void TestTapeFiles::deleteWithoutATrash_data() {
    QTest::addColumn<QString>("dataHome");
    // clang-format off
    QTest::newRow("data home in /proc") << "/proc";
    QTest::newRow("data home is a file") << "file";
    QTest::newRow("trash is a link elsewhere") << "link";
    // clang-format on
}

// Where no trash can be had the file is removed: at once, and with nothing written
// outside a real trash (Qt's own trash would loop for ever or write "files" and "info"
// into the working folder).
void TestTapeFiles::deleteWithoutATrash() {
#ifdef Q_OS_WIN
    QSKIP("the recycle bin is the system's: there is always one");
#endif
    QFETCH(QString, dataHome);
    const QString base = freshFolder("noTrash");
    const QString data = home_.folder("noTrashData");
    writeBytes(QDir(data).filePath("t.qtz"), "5\r\n");
    QString home = dataHome;
    if (dataHome == "file") {
        home = QDir(base).filePath("dataHome");
        writeBytes(home, "");
    } else if (dataHome == "link") {
        home = QDir(base).filePath("dataHome");
        QDir().mkpath(QDir(base).filePath("elsewhere"));
        QDir().mkpath(home);
        QVERIFY(QFile::link(QDir(base).filePath("elsewhere"), QDir(home).filePath("Trash")));
    }
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(home));
    const QString working = QDir::currentPath();
    QDir::setCurrent(base);
    Calculator calc = tapeOf({{"5", "+"}});
    calc.currentTapeFile = QDir(data).filePath("t.qtz").toStdString();
    Recorder out;
    const DeleteOutcome outcome = tapecalc::deleteTape(calc, out, data, "t.qtz", moment);
    QDir::setCurrent(working);
    qputenv("XDG_DATA_HOME", saved);

    QCOMPARE(outcome, DeleteOutcome::deleted);
    QVERIFY(folderEntries(data).isEmpty());
    QVERIFY(folderEntries(QDir(base).filePath("elsewhere")).isEmpty());
    QVERIFY(!QFileInfo::exists(QDir(base).filePath("files")));
    QVERIFY(!QFileInfo::exists(QDir(base).filePath("info")));
}

// A folder that may not be written, and a file that may not be read: an administrator
// writes and reads through both, so as root the test runs again as nobody.
void TestTapeFiles::readOnlyFolderAsAUser() {
#ifdef Q_OS_UNIX
    if (::geteuid() == 0) {
        if (QStandardPaths::findExecutable("setpriv").isEmpty())
            TAPECALC_MISSING("setpriv (util-linux) is needed to run this as nobody");
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start("setpriv",
                    {"--reuid=65534", "--regid=65534", "--clear-groups",
                     QCoreApplication::applicationFilePath(), "-silent", "readOnlyFolderAsAUser"});
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitCode(), 0);
        return;
    }
    const QString data = freshFolder("readOnly");
    writeBytes(QDir(data).filePath("t.qtz"), "5\r\n+\r\n");
    writeBytes(QDir(data).filePath("secret.qtz"), "6\r\n+\r\n");
    QFile::setPermissions(QDir(data).filePath("secret.qtz"), {});
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, "t.qtz").outcome, OpenOutcome::opened);
    QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    // Unreadable: the tape on screen stays.
    const Calculator before = calc;
    QCOMPARE(openSelectedTape(calc, data, "secret.qtz").outcome, OpenOutcome::unreadable);
    QCOMPARE(calc.shown.text2, before.shown.text2);
    QCOMPARE(calc.currentTapeFile, before.currentTapeFile);

    // A delete that cannot happen says so and changes nothing, with no cue.
    Recorder out;
    QCOMPARE(tapecalc::deleteTape(calc, out, data, "t.qtz", moment), DeleteOutcome::failed);
    QVERIFY(out.log.empty());
    QCOMPARE(calc.lineNumber, before.lineNumber);
    QCOMPARE(calc.shown.label1, before.shown.label1);
    QVERIFY(QFileInfo::exists(QDir(data).filePath("t.qtz")));

    // Nor can a save: the tape stays tied as it was.
    QCOMPARE(saveTape(calc, data, moment, "9\n+\n"), SaveOutcome::failed);
    QCOMPARE(readBytes(QDir(data).filePath("t.qtz")), QByteArray("5\r\n+\r\n"));
    QCOMPARE(calc.currentTapeFile, before.currentTapeFile);
    QFile::setPermissions(data,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#else
    QSKIP("Windows has no read-only folders for a program's own files: see saveBackOnAnUnluckyDay");
#endif
}

QTEST_GUILESS_MAIN(TestTapeFiles)
#include "tst_tapefiles.moc"
