// Saving tapes on a real disk: the new file's name, a save back of the edited view,
// saves that fail or meet a file another program changed, the leftovers of cut-off
// saves, and every saved tape reopening with the total the window showed.
#include "core/review.h"
#include "core/tapeformat.h"
#include "core/tests/driver.h"
#include "store/tapefiles.h"
#include "store/tests/tapefixtures.h"
#include "testsupport/missing.h"

#include <QFileInfo>

#include <random>

using namespace tapecalc;
using namespace tapecalc::tapetest;

class TestTapeSave : public TapeFolderSuite {
    Q_OBJECT

  private Q_SLOTS:
    void fileName_data();
    void fileName();
    void saveNewWritesTapeTextInGbk();
    void saveNewOfEmptyTapeWritesEmptyFile();
    void saveDuringAReviewHoldsEveryLine();
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
    void roundTripThroughEditedView();
    void programFileReopensWithSameTotal_data();
    void programFileReopensWithSameTotal();
    void reopenedTotalIsTheShownTotal_data();
    void reopenedTotalIsTheShownTotal();
    void randomSessionsReopenWithTheShownTotal();
    void saveBackOnAnUnluckyDay_data();
    void saveBackOnAnUnluckyDay();
    void saveBackThroughALink();
    void saveBackKeepsEveryCharacter();
    void readOnlyFolderAsAUser();
    void saveInPlaceRefused_data();
    void saveInPlaceRefused();
};

void TestTapeSave::fileName_data() {
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

void TestTapeSave::fileName() {
    QFETCH(QDateTime, when);
    QFETCH(QString, name);
    QCOMPARE(tapeFileName(when), name);
    QVERIFY(QDir::match(QString::fromLatin1(tapePattern), name));
}

void TestTapeSave::saveNewWritesTapeTextInGbk() {
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

void TestTapeSave::saveNewOfEmptyTapeWritesEmptyFile() {
    const QString data = freshFolder("saveEmpty");
    Calculator calc;
    QCOMPARE(saveTape(calc, data, moment, QString()), SaveOutcome::savedNew);
    QCOMPARE(readBytes(QDir(data).filePath(tapeFileName(moment))), QByteArray());
}

// Two lines back in the review, the view still shows all four: so does the file.
void TestTapeSave::saveDuringAReviewHoldsEveryLine() {
    Calculator calc;
    Recorder out;
    press(calc, out, "1 加 2 加 3 加 4 加");
    reviewBack(calc);
    reviewBack(calc);
    QCOMPARE(saveTape(calc, freshFolder("review"), moment, QString()), SaveOutcome::savedNew);
    QCOMPARE(readBytes(QString::fromStdString(calc.currentTapeFile)),
             QByteArray::fromStdString(calc.shown.text2));
    QCOMPARE(calc.lineNumber, 2);
}

void TestTapeSave::saveNewNeverReplacesAFile() {
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

void TestTapeSave::saveBack_data() {
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

void TestTapeSave::saveBack() {
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

void TestTapeSave::saveBackTwiceDoesNotGrow() {
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

void TestTapeSave::saveNewFails_data() {
    QTest::addColumn<QString>("target"); // relative to the test's folder
    QTest::addColumn<bool>("readOnly");
    // clang-format off
    QTest::newRow("missing folder") << "noSuchFolder/inner" << false;
    QTest::newRow("folder is a file") << "aFile" << false;
    QTest::newRow("read-only folder") << "readOnly" << true;
    // clang-format on
}

void TestTapeSave::saveNewFails() {
    QFETCH(QString, target);
    QFETCH(bool, readOnly);
#ifdef Q_OS_UNIX
    if (readOnly && asAdministrator())
        return runAsNobody(QStringLiteral("saveNewFails:") + QTest::currentDataTag());
#endif
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
            TAPECALC_MISSING("a user whom a read-only folder stops");
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

void TestTapeSave::saveBackFails_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("outcome");
    // clang-format off
    // The tape goes to a file of its own: its folder is gone, or someone else put something
    // in its place.
    QTest::newRow("tape file's folder removed") << "gone/20260101$8$00$00.qtz" << int(SaveOutcome::savedNewFileReadOnly);
    QTest::newRow("tape file is now a folder") << "aFolder" << int(SaveOutcome::savedNewFileChanged);
    // clang-format on
}

void TestTapeSave::saveBackFails() {
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
    QCOMPARE(folderEntries(base), QStringList({tapeFileName(moment), "aFolder"}));
    QCOMPARE(readBytes(QString::fromStdString(calc.currentTapeFile)), "5\r\n+\r\n");
}

void TestTapeSave::saveBackOfLongNameLeavesNoTemporary() {
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

void TestTapeSave::startRemovesOnlyLeftoverTemporaries() {
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

void TestTapeSave::roundTripThroughEditedView() {
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

void TestTapeSave::programFileReopensWithSameTotal_data() {
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

void TestTapeSave::programFileReopensWithSameTotal() {
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

void TestTapeSave::reopenedTotalIsTheShownTotal_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("total");
    // clang-format off
    QTest::newRow("function results count in full") << "pi sin 加 5 加 pi sin 加" << "5";
    QTest::newRow("percent in exponent form") << "0 . 0001 % 加" << "0";
    QTest::newRow("a point alone changes nothing") << "5 加 . 乘 2 加" << "10";
    QTest::newRow("exponent entry beyond the range fails") << "5 加 9 9 exp 加 1 加" << "6";
    // clang-format on
}

void TestTapeSave::reopenedTotalIsTheShownTotal() {
    QFETCH(QString, keys);
    QFETCH(QString, total);
    Calculator calc;
    Recorder out;
    pressKeys(calc, out, keys.toStdString());
    QCOMPARE(QString::fromStdString(calc.shown.label1), total);
    QCOMPARE(QString::fromStdString(reopenedTotal(calc, freshFolder("examples"))), total);
}

// Random sessions (pressRandomSession), each saved to a real file and opened again.
void TestTapeSave::randomSessionsReopenWithTheShownTotal() {
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

void TestTapeSave::saveBackOnAnUnluckyDay_data() {
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
void TestTapeSave::saveBackOnAnUnluckyDay() {
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
void TestTapeSave::saveBackThroughALink() {
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
void TestTapeSave::saveBackKeepsEveryCharacter() {
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

// A folder that may not be written, and a file that may not be read: an administrator
// writes and reads through both, so as root the test runs again as nobody.
void TestTapeSave::readOnlyFolderAsAUser() {
#ifdef Q_OS_UNIX
    if (asAdministrator())
        return runAsNobody("readOnlyFolderAsAUser");
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

    // A delete that cannot happen fails (the calculator stays: clearsTheTape).
    QCOMPARE(tapecalc::deleteTape(data, "t.qtz", moment), DeleteOutcome::failed);
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

void TestTapeSave::saveInPlaceRefused_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("outcome");
    // clang-format off
    QTest::newRow("chain of links") << "chain" << int(SaveOutcome::savedBack);
    QTest::newRow("link into a read-only folder") << "readOnlyFolder" << int(SaveOutcome::savedNewFileReadOnly);
    QTest::newRow("file of another user") << "foreignFile" << int(SaveOutcome::savedNewFileReadOnly);
    QTest::newRow("link into another user's folder") << "foreignFolder" << int(SaveOutcome::savedNewFileReadOnly);
    QTest::newRow("link whose file was taken away") << "dangling" << int(SaveOutcome::savedNewFileChanged);
    // clang-format on
}

// An opened tape is written back only where that changes nothing but its content: at the
// end of a chain of links, every link kept. Anything else gets a file of its own in the
// data folder, and what it could not replace stays as it was, owner included.
void TestTapeSave::saveInPlaceRefused() {
#ifdef Q_OS_UNIX
    QFETCH(QString, setup);
    QFETCH(int, outcome);
    if (setup == "readOnlyFolder" && asAdministrator())
        return runAsNobody(QStringLiteral("saveInPlaceRefused:") + QTest::currentDataTag());
    const bool foreign = setup.startsWith("foreign");
    if (foreign && !asAdministrator())
        TAPECALC_MISSING("root, to give a file to another user");
    const QString base = freshFolder("refused");
    const QDir data(QDir(base).filePath("data"));
    const QDir elsewhere(QDir(base).filePath("elsewhere"));
    QVERIFY(data.mkpath(".") && elsewhere.mkpath("."));
    const QString target = (setup == "foreignFile" ? data : elsewhere).filePath("c.qtz");
    writeBytes(target, "5\r\n+\r\n");
    if (setup == "chain") { // a.qtz -> b.qtz -> c.qtz
        QVERIFY(QFile::rename(target, data.filePath("c.qtz")));
        QVERIFY(QFile::link("c.qtz", data.filePath("b.qtz")));
        QVERIFY(QFile::link("b.qtz", data.filePath("a.qtz")));
    } else if (setup != "foreignFile") {
        QVERIFY(QFile::link(target, data.filePath("a.qtz")));
    }
    const QString opened = setup == "foreignFile" ? "c.qtz" : "a.qtz";
    const QString written = setup == "chain" ? data.filePath("c.qtz") : target;
    if (foreign)
        QCOMPARE(::chown(QFile::encodeName(setup == "foreignFile" ? target : elsewhere.path()),
                         65534, 65534),
                 0);
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data.path(), opened).outcome, OpenOutcome::opened);
    if (setup == "readOnlyFolder")
        QFile::setPermissions(elsewhere.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (setup == "dangling")
        QVERIFY(QFile::remove(target));
    const QStringList entries = folderEntries(data.path());

    QCOMPARE(int(saveTape(calc, data.path(), moment, "9\n+\n")), outcome);
    QFile::setPermissions(elsewhere.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(readBytes(QString::fromStdString(calc.currentTapeFile)), QByteArray("9\r\n+\r\n"));
    // Every link is still the link it was.
    for (const char *name : {"a.qtz", "b.qtz"})
        if (entries.contains(name))
            QVERIFY(QFileInfo(data.filePath(name)).isSymLink());
    if (outcome == int(SaveOutcome::savedBack)) {
        QCOMPARE(QString::fromStdString(calc.currentTapeFile), data.filePath(opened));
        QCOMPARE(folderEntries(data.path()), entries);
        return;
    }
    QCOMPARE(QFileInfo(QString::fromStdString(calc.currentTapeFile)).fileName(),
             tapeFileName(moment));
    QCOMPARE(folderEntries(data.path()).size(), entries.size() + 1);
    if (setup != "dangling")
        QCOMPARE(readBytes(written), QByteArray("5\r\n+\r\n"));
    if (setup == "foreignFile")
        QCOMPARE(QFileInfo(written).ownerId(), 65534u);
#else
    QSKIP("links and owners as POSIX has them");
#endif
}

QTEST_GUILESS_MAIN(TestTapeSave)
#include "tst_tapesave.moc"
