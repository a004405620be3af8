// Deleting tapes to the trash with their cues: the selected name goes whole to the trash
// of the test's own home, a missing selection, names of every kind, and a data home
// without a trash.
#include "store/tapefiles.h"
#include "store/tests/tapefixtures.h"

#include <QFileInfo>

using namespace tapecalc;
using namespace tapecalc::tapetest;

class TestTapeDelete : public TapeFolderSuite {
    Q_OBJECT

  private Q_SLOTS:
    void deleteTape_data();
    void deleteTape();
    void deleteWithoutFileDoesNothing();
    void deleteWithMissingSelection_data();
    void deleteWithMissingSelection();
    void saveAfterDeleteMakesNewFile();
    void namesLegalOnTheSystem_data();
    void namesLegalOnTheSystem();
    void deleteWithoutATrash_data();
    void deleteWithoutATrash();
};

void TestTapeDelete::deleteTape_data() {
    QTest::addColumn<int>("fromFile");
    QTest::addColumn<QString>("cues");
    // clang-format off
    QTest::newRow("opened from the list") << 1 << "cue:删除.wav blocking:删除.wav cue:归零.wav";
    QTest::newRow("saved new") << 0 << "blocking: cue:归零.wav";
    // clang-format on
}

void TestTapeDelete::deleteTape() {
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

void TestTapeDelete::deleteWithoutFileDoesNothing() {
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

void TestTapeDelete::deleteWithMissingSelection_data() {
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

void TestTapeDelete::deleteWithMissingSelection() {
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

void TestTapeDelete::saveAfterDeleteMakesNewFile() {
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

void TestTapeDelete::namesLegalOnTheSystem_data() {
    QTest::addColumn<QString>("name");
    // clang-format off
    QTest::newRow("colon") << "lunch 12:30.qtz";
    QTest::newRow("two dots inside") << "v1..v2.qtz";
    QTest::newRow("backslash") << "back\\slash.qtz";
    QTest::newRow("leading dots") << "..hidden.qtz";
    // clang-format on
}

// Every name the list shows opens and deletes.
void TestTapeDelete::namesLegalOnTheSystem() {
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

void TestTapeDelete::deleteWithoutATrash_data() {
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
void TestTapeDelete::deleteWithoutATrash() {
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

QTEST_GUILESS_MAIN(TestTapeDelete)
#include "tst_tapedelete.moc"
