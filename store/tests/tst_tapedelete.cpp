// Deleting tapes to the trash with their cues: the selected name goes whole to the trash
// of the test's own home or of its own disk, a missing selection, names of every kind, and
// the question before a delete for good where no trash takes the file.
#include "store/platform_p.h"
#include "store/tapefiles.h"
#include "store/tests/tapefixtures.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace tapecalc;
using namespace tapecalc::tapetest;

namespace {

// The delete key as the window makes it: the file, then the calculator cleared with its
// cues where the key clears it. Answered 删除 should no trash take the file: the suite's
// home has a trash of its own, so only Windows' recycle bin, which wine lacks, may leave
// the answer to decide, and the file leaves its folder either way.
DeleteOutcome deleteSelected(
    Calculator &calc, Recorder &out, const QString &data, const QString &name,
    const ConfirmDeleteForGood &confirm = [] { return true; }) {
    const DeleteOutcome outcome = tapecalc::deleteTape(data, name, moment, confirm);
    if (clearsTheTape(outcome))
        tapeDeleted(calc, out);
#ifdef Q_OS_WIN
    if (outcome == DeleteOutcome::deletedForGood)
        return DeleteOutcome::trashed;
#endif
    return outcome;
}

} // namespace

class TestTapeDelete : public TapeFolderSuite {
    Q_OBJECT

  private Q_SLOTS:
    void deleteTape_data();
    void deleteTape();
    void deleteWithMissingSelection_data();
    void deleteWithMissingSelection();
    void saveAfterDeleteMakesNewFile();
    void namesLegalOnTheSystem_data();
    void namesLegalOnTheSystem();
    void whereADeletedTapeGoes_data();
    void whereADeletedTapeGoes();
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
    QCOMPARE(deleteSelected(calc, out, data, "a.qtz"), DeleteOutcome::trashed);
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
    QCOMPARE(deleteSelected(calc, out, data, selected),
             cleared ? DeleteOutcome::nothingSelected : DeleteOutcome::failed);
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
    QCOMPARE(deleteSelected(calc, out, data, tapeFileName(moment)), DeleteOutcome::trashed);
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
    QTest::newRow("not UTF-8, as the list gives it") << QString("a%1.qtz").arg(QChar(0xDCFF));
    QTest::newRow("leading dots") << "..hidden.qtz";
    // clang-format on
}

// Every name the list shows opens, is saved back and deletes.
void TestTapeDelete::namesLegalOnTheSystem() {
    QFETCH(QString, name);
#ifdef Q_OS_WIN
    if (name.contains(':') || name.contains('\\') || name.contains(QChar(0xDCFF)))
        QSKIP("not a file name on Windows");
#endif
    const QString data = freshFolder("names");
    home_.emptyTrash();
    writeBytes(QDir(data).filePath("plain"), "5\r\n+\r\n3\r\n+\r\n");
    QCOMPARE(::rename(QFile::encodeName(QDir(data).filePath("plain")),
                      durable::nativePath(QDir(data).filePath(name))),
             0);
    QCOMPARE(fileNamesIn(data, isTapeFileName, QDir::Hidden), QStringList{name});
    Calculator calc;
    QCOMPARE(openSelectedTape(calc, data, name).outcome, OpenOutcome::opened);
    QCOMPARE(calc.shown.label1, std::string("8"));
    QCOMPARE(saveTape(calc, data, moment, "5\n+\n4\n+\n"), SaveOutcome::savedBack);
    QCOMPARE(fileNamesIn(data, isTapeFileName, QDir::Hidden), QStringList{name});
    Recorder out;
    QCOMPARE(deleteSelected(calc, out, data, name), DeleteOutcome::trashed);
    QCOMPARE(fileNamesIn(data, isTapeFileName, QDir::Hidden), QStringList());
    checkTrashed(name, "5\r\n+\r\n4\r\n+\r\n");
    // Qt's own removal leaves a name that is not UTF-8.
    durable::removeEntry(QDir(home_.trashFiles()).filePath(name));
    durable::removeEntry(QDir(home_.trashFiles()).filePath("../info/" + name + ".trashinfo"));
}

#ifdef Q_OS_UNIX
namespace {

// A tmpfs of the test's own (another disk, or a small one to fill), mounted where the
// test may: as root, here and in CI.
struct MountedDisk {
    QString path;
    bool mounted = false;
    MountedDisk(const QString &at, const QString &size, const QString &bound = {}) : path(at) {
        QStringList how = bound.isEmpty()
                              ? QStringList{"-t", "tmpfs", "-o", "size=" + size, "tmpfs"}
                              : QStringList{"--bind", bound};
        mounted =
            asAdministrator() && QDir().mkpath(at) && QProcess::execute("mount", how << at) == 0;
    }
    ~MountedDisk() {
        if (mounted)
            QProcess::execute("umount", {"-l", path});
    }
};

} // namespace
#endif

void TestTapeDelete::whereADeletedTapeGoes_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("answer");    // to "delete for good?": -1 no one asks, 0 取消, 1 删除
    QTest::addColumn<QString>("where"); // a trash's folder, "removed" or "kept"
#ifdef Q_OS_UNIX
    const QString user = QString::number(::geteuid());
#else
    const QString user; // the recycle bin has no such folders
#endif
    const QString own = ".Trash-" + user;
    const QString shared = ".Trash/" + user;
    // clang-format off
    QTest::newRow("home trash") << "" << 1 << "home";
    QTest::newRow("no data folder: made") << "noDataFolder" << 1 << "home";
    QTest::newRow("link in files/: a taken name") << "linkInFiles" << 1 << "home";
    QTest::newRow("another mount of the same disk") << "bindMount" << 1 << own;
    QTest::newRow("relative XDG_DATA_HOME: the home trash") << "relativeDataHome" << 1 << "home";
    QTest::newRow("other disk") << "otherDisk" << 1 << own;
    QTest::newRow("other disk, sticky .Trash") << "otherDiskSticky" << 1 << shared;
    QTest::newRow("other disk, .Trash not sticky") << "otherDiskPlain" << 1 << own;
    QTest::newRow("other disk, .Trash a link") << "otherDiskLink" << 1 << own;
    QTest::newRow("other disk, no trash, 删除") << "otherDiskNoTrash" << 1 << "removed";
    QTest::newRow("disk full, 删除") << "diskFull" << 1 << "removed";
    QTest::newRow("disk full, 取消") << "diskFull" << 0 << "kept";
    QTest::newRow("Trash/files read-only, 删除") << "readOnlyFiles" << 1 << "removed";
    QTest::newRow("Trash/files read-only, 取消") << "readOnlyFiles" << 0 << "kept";
    QTest::newRow("Trash is a file, 删除") << "trashIsAFile" << 1 << "removed";
    QTest::newRow("Trash is a file, 取消") << "trashIsAFile" << 0 << "kept";
    QTest::newRow("Trash is a link, 删除") << "trashIsALink" << 1 << "removed";
    QTest::newRow("Trash is a link, 取消") << "trashIsALink" << 0 << "kept";
    QTest::newRow("data home in /proc, 取消") << "dataHomeInProc" << 0 << "kept";
    QTest::newRow("no trash and no one to ask") << "trashIsAFile" << -1 << "kept";
    // clang-format on
}

// The selected tape goes to the trash of its own disk; where no trash takes it, it is
// deleted for good only on the answer 删除, and nothing is written outside a real trash
// (Qt's own trash would loop for ever or write "files" and "info" into the working folder).
void TestTapeDelete::whereADeletedTapeGoes() {
#ifdef Q_OS_WIN
    QSKIP("the recycle bin is the system's: there is always one");
#else
    QFETCH(QString, setup);
    QFETCH(int, answer);
    QFETCH(QString, where);
    if (setup == "readOnlyFiles" && asAdministrator())
        return runAsNobody(QStringLiteral("whereADeletedTapeGoes:") + QTest::currentDataTag());
    const QString base = freshFolder("where");
    const QString elsewhere = QDir(base).filePath("elsewhere");
    QDir().mkpath(elsewhere);
    QString dataHome = home_.dataHome();
    if (setup == "noDataFolder")
        dataHome = QDir(base).filePath("fresh/.local/share");
    const QString trash = QDir(dataHome).filePath("Trash");
    QFile::remove(trash);
    home_.emptyTrash();
    QString data = home_.folder("whereData");
    QFile::remove(QDir(data).filePath("t.qtz"));
    const bool onItsDisk =
        setup.startsWith("otherDisk") || setup == "diskFull" || setup == "bindMount";
    MountedDisk disk(QDir(base).filePath("disk"), setup == "diskFull" ? "64k" : "1m",
                     setup == "bindMount" ? home_.folder("bound") : QString());
    if (onItsDisk) {
        if (!disk.mounted)
            TAPECALC_MISSING("a tmpfs of the test's own cannot be mounted (needs root on Linux)");
        data = QDir(disk.path).filePath("data");
        QDir().mkpath(data);
    }
    writeBytes(QDir(data).filePath("t.qtz"), "5\r\n+\r\n");
    if (setup == "relativeDataHome")
        dataHome = "relative/share";
    if (setup == "dataHomeInProc")
        dataHome = "/proc";
    if (setup == "diskFull") {
        dataHome = QDir(disk.path).filePath("share");
        QDir().mkpath(dataHome);
        QFile filler(QDir(disk.path).filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (filler.write(QByteArray(4096, 'x')) > 0) {
        }
    }
    if (setup == "readOnlyFiles") {
        QDir().mkpath(QDir(trash).filePath("info"));
        QDir().mkpath(QDir(trash).filePath("files"));
        QFile::setPermissions(QDir(trash).filePath("files"), QFile::ReadOwner | QFile::ExeOwner);
    }
    if (setup == "linkInFiles") { // leading out of the trash, to nothing
        QVERIFY(QDir().mkpath(QDir(trash).filePath("files")));
        QVERIFY(
            QFile::link(QDir(elsewhere).filePath("t.qtz"), QDir(trash).filePath("files/t.qtz")));
    }
    if (setup == "trashIsAFile")
        writeBytes(trash, "");
    if (setup == "trashIsALink")
        QVERIFY(QFile::link(elsewhere, trash));
    const QDir top(disk.path);
    if (setup == "otherDiskSticky" || setup == "otherDiskPlain" || setup == "otherDiskLink") {
        const QString shared = top.filePath(setup == "otherDiskLink" ? "sticky" : ".Trash");
        QVERIFY(top.mkdir(shared));
        QCOMPARE(::chmod(QFile::encodeName(shared), setup == "otherDiskPlain" ? 0777 : 01777), 0);
        if (setup == "otherDiskLink")
            QVERIFY(QFile::link(shared, top.filePath(".Trash")));
    }
    if (setup == "otherDiskNoTrash")
        writeBytes(top.filePath(".Trash-" + QString::number(::geteuid())), "");

    Calculator calc = tapeOf({{"5", "+"}});
    calc.currentTapeFile = QDir(data).filePath("t.qtz").toStdString();
    Recorder out;
    int asked = 0;
    ConfirmDeleteForGood confirm;
    if (answer >= 0)
        confirm = [&] { return ++asked, answer == 1; };
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
    const QString working = QDir::currentPath();
    QDir::setCurrent(base);
    const DeleteOutcome outcome = deleteSelected(calc, out, data, "t.qtz", confirm);
    QDir::setCurrent(working);
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_.dataHome()));
    QFile::setPermissions(QDir(trash).filePath("files"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const bool trashed = where != "removed" && where != "kept";
    QCOMPARE(int(outcome), int(trashed              ? DeleteOutcome::trashed
                               : where == "removed" ? DeleteOutcome::deletedForGood
                                                    : DeleteOutcome::declined));
    QCOMPARE(asked, trashed || answer < 0 ? 0 : 1);
    QCOMPARE(folderEntries(data), where == "kept" ? QStringList{"t.qtz"} : QStringList());
    QCOMPARE(calc.lineNumber, where == "kept" ? 1 : 0);
    if (trashed) {
        const QDir into(where == "home" ? trash : top.filePath(where));
        const QString as = setup == "linkInFiles" ? "t.2.qtz" : "t.qtz";
        QCOMPARE(readBytes(into.filePath("files/" + as)), "5\r\n+\r\n");
        // The home trash names the file by its whole path, a disk's trash from its top.
        const QString named = where == "home" ? QDir(data).filePath("t.qtz") : "data/t.qtz";
        QVERIFY(readBytes(into.filePath("info/" + as + ".trashinfo"))
                    .contains("\nPath=" + named.toUtf8()));
        // Made for this user alone, the data folder's missing parents too.
        for (const char *made : {"fresh/.local", "fresh/.local/share/Trash"})
            QVERIFY(setup != "noDataFolder" ||
                    (QFileInfo(QDir(base).filePath(made)).permissions() & 0x77) == 0);
    }
    QVERIFY(folderEntries(elsewhere).isEmpty());
    QVERIFY(!QFileInfo::exists(QDir(base).filePath("files")));
    QVERIFY(!QFileInfo::exists(QDir(base).filePath("relative")));
#endif
}

QTEST_GUILESS_MAIN(TestTapeDelete)
#include "tst_tapedelete.moc"
