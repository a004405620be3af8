// The window's files: save, the list, open and delete, and what they say when they fail; the
// report printed from the window.
#include "ui/tests/formfixture.h"

using namespace tapecalc;
using namespace tapecalc::formtest;

class TestWindowFiles : public FormTest {
    Q_OBJECT

  private Q_SLOTS:
    void saveListOpenDelete();
    void deleteActsOnTheSelectedNameOnly();
    void startRemovesLeftoverTemporaries();
    void firstSaveWritesACorrectedView();
    void failedOpenAndDeleteSaySo();
    void failedSaveTellsTheUser();
    void aRemovedDataFolderIsMadeAgainPrivate_data();
    void aRemovedDataFolderIsMadeAgainPrivate();
    void printing();
};

void TestWindowFiles::saveListOpenDelete() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    auto *list = control<QListWidget>(form, "File1");
    QTest::keyClicks(text1, "5+3*2\r");
    click(form, "Label32");
    const QString name = "20261206$16$58$07.qtz";
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), name);
    QFile file(QDir(form.dataFolder()).filePath(name));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("5\r\n+\r\n3\r\n\xA1\xC1\r\n2\r\n\xA1\xC1\r\n"));
    file.close();

    QTest::keyClick(text1, 'a');
    QVERIFY(shown(form, "Label1").isEmpty());
    const QRect row = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(shown(form, "Label1"), QString("16"));
    QCOMPARE(tapeView(form), QString("5\n+\n3\n×\n2\n×\n"));
    QCOMPARE(form.calculator().lineNumber, 3);

#ifdef Q_OS_WIN
    platform.answersDeleteForGood = true; // wine has no recycle bin; Windows asks there
#endif
    platform.log.clear();
    click(form, "Label31");
    QVERIFY(!file.exists());
    QCOMPARE(list->count(), 0);
    QVERIFY(shown(form, "Label1").isEmpty());
    QCOMPARE(platform.cues(), QStringList({"cue:删除.wav", "blocking:删除.wav", "cue:归零.wav"}));
}

void TestWindowFiles::deleteActsOnTheSelectedNameOnly() {
    home_.emptyTrash();
    ProgramFolder folder;
    RecordingPlatform platform;
#ifdef Q_OS_WIN
    platform.answersDeleteForGood = true; // wine has no recycle bin; Windows asks there
#endif
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto *text1 = control<QLineEdit>(form, "Text1");
    auto *list = control<QListWidget>(form, "File1");
    const QDir data(form.dataFolder());
    const QString name = "20261206$16$58$07.qtz";
    QTest::keyClicks(text1, "5+3\r");
    // With no file tied to the tape, 删除 does nothing at all: no cue, the displays stay.
    const QStringList cues = platform.cues();
    click(form, "Label31");
    QCOMPARE(platform.cues(), cues);
    QCOMPARE(shown(form, "Label1"), QString("8"));
    click(form, "Label32");
    QCOMPARE(list->count(), 1);

    // Taking the focus, the list makes its first row current without selecting it.
    list->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(list->hasFocus());
    QVERIFY(list->currentItem() != nullptr);
    QVERIFY(list->selectedItems().isEmpty());
    click(form, "Label31");
    QVERIFY(data.exists(name));
    QCOMPARE(list->count(), 1);
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(shown(form, "Label1").isEmpty()); // the calculator was cleared all the same

    // Selected by a click (which opens it): the file goes to the trash, whole.
    const QRect row = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(shown(form, "Label1"), QString("8"));
    click(form, "Label31");
    QVERIFY(!data.exists(name));
    QCOMPARE(list->count(), 0);
#ifndef Q_OS_WIN // Windows keeps its recycle bin where the test cannot look
    QFile trashed(QDir(home_.trashFiles()).filePath(name));
    QVERIFY(trashed.open(QIODevice::ReadOnly));
    QCOMPARE(trashed.readAll(), QByteArray("5\r\n+\r\n3\r\n+\r\n"));
#endif

    // The delete untied the tape: a save makes a new file and the old name stays gone.
    platform.clock = platform.clock.addSecs(3);
    click(form, "Label32");
    const QString later = "20261206$16$58$10.qtz";
    QCOMPARE(data.entryList({"*.qtz"}), QStringList{later});
    QCOMPARE(list->count(), 1);
    QCOMPARE(QString::fromStdString(form.calculator().currentTapeFile), data.filePath(later));
}

void TestWindowFiles::startRemovesLeftoverTemporaries() {
    ProgramFolder folder;
    const QDir data(QDir(folder.path()).filePath("shujucuncu"));
    QVERIFY(data.mkpath("."));
    for (const QString &name :
         QStringList{".tapecalc-Ab12Cd.tmp", "20261206$16$58$07.qtz", "notes.tmp"}) {
        QFile file(data.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("5\r\n");
        file.flush();
        // Left by a save an hour ago (on Windows younger ones may still be being named).
        file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                         QFileDevice::FileModificationTime);
    }
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QVERIFY(showStarted(form));
    QCOMPARE(data.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({"20261206$16$58$07.qtz", "notes.tmp"}));
    QCOMPARE(control<QListWidget>(form, "File1")->count(), 1);
}

void TestWindowFiles::firstSaveWritesACorrectedView() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QTest::keyClicks(control(form, "Text1"), "5+");
    auto *text2 = control<QPlainTextEdit>(form, "Text2");
    text2->moveCursor(QTextCursor::Start);
    QTest::keyClicks(text2, "9");
    QCOMPARE(tapeView(form), QString("95\n+\n"));
    click(form, "Label32");
    QCOMPARE(readFile(QString::fromStdString(form.calculator().currentTapeFile)),
             QByteArray("95\r\n+\r\n"));
}

void TestWindowFiles::failedOpenAndDeleteSaySo() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    const QDir data(form.dataFolder());
    {
        QFile big(data.filePath("big.qtz"));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(largestTapeFile + 1));
        QFile longRow(data.filePath("long.qtz"));
        QVERIFY(longRow.open(QIODevice::WriteOnly) &&
                longRow.write(QByteArray(qsizetype(longestTapeRow) + 1, '7')) > 0);
    }
    QFile tape(data.filePath("t.qtz"));
    QVERIFY(tape.open(QIODevice::WriteOnly) && tape.write("5\r\n+\r\n3\r\n+\r\n") > 0);
    tape.close();
    click(form, "Label32"); // re-reads the list
    auto *list = control<QListWidget>(form, "File1");
    const auto clickName = [&](const QString &name) {
        const QList<QListWidgetItem *> items = list->findItems(name, Qt::MatchExactly);
        if (!items.isEmpty())
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(items.first()).center());
    };
    clickName("t.qtz");
    QCOMPARE(shown(form, "Label1"), QString("8"));
    clickName("big.qtz");
    QCOMPARE(platform.log.last(), QString("warning:文件太大，不是纸带文件：big.qtz"));
    QCOMPARE(shown(form, "Label1"), QString("8"));
    clickName("long.qtz");
    QCOMPARE(platform.log.last(), QString("warning:文件中有的行太大，不是纸带文件：long.qtz"));
    QCOMPARE(shown(form, "Label1"), QString("8"));
    QCOMPARE(tapeView(form), QString("5\n+\n3\n+\n"));

    // Selected and opened, then gone before the delete.
    clickName("t.qtz");
    QVERIFY(tape.remove());
    platform.log.clear();
    click(form, "Label31");
    QCOMPARE(platform.log.last(), QString("warning:删除失败：t.qtz"));
    QVERIFY(platform.cues().isEmpty());
    QCOMPARE(shown(form, "Label1"), QString("8"));
    QCOMPARE(tapeView(form), QString("5\n+\n3\n+\n"));
}

void TestWindowFiles::failedSaveTellsTheUser() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    // The data folder is replaced by a file: nothing can be written there.
    QVERIFY(QDir(form.dataFolder()).removeRecursively());
    QFile blocker(form.dataFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::keyClicks(control(form, "Text1"), "5+");
    click(form, "Label32");
    QCOMPARE(platform.log.last(), QString("warning:保存失败"));
    QVERIFY(form.calculator().currentTapeFile.empty());
}

void TestWindowFiles::aRemovedDataFolderIsMadeAgainPrivate_data() {
    QTest::addColumn<QString>("key"); // after "5+" remade the folder for the journal
    QTest::newRow("the journal of the keys") << QString();
    QTest::newRow("保存") << "Label32";
    QTest::newRow("打印 to a PDF") << "Label30";
}

// The data folder removed while the program runs is made again by whatever writes into it
// next, for this user alone, and the save and the PDF land in it.
void TestWindowFiles::aRemovedDataFolderIsMadeAgainPrivate() {
    QFETCH(QString, key);
    ProgramFolder folder;
    RecordingPlatform platform;
    platform.printerPresent = false;
    Form1 form(platform, folder.path());
    QTest::keyClicks(control(form, "Text1"), "5");
    QVERIFY(QDir(form.dataFolder()).removeRecursively());
    QTest::keyClicks(control(form, "Text1"), "+");
    if (!key.isEmpty()) {
        QVERIFY(QDir(form.dataFolder()).removeRecursively());
        click(form, key.toLatin1().constData());
        QCOMPARE(QDir(form.dataFolder()).entryList({"*.qtz", "*.pdf"}, QDir::Files).size(), 1);
    }
    QCOMPARE(QFileInfo(form.dataFolder()).permissions() & 0x0777, QFile::Permissions(0x0700));
    QVERIFY(!platform.log.join(' ').contains("warning:"));
}

void TestWindowFiles::printing() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QTest::keyClicks(control(form, "Text1"), "5+3*2\r");
    click(form, "Label30");
    QCOMPARE(platform.printed.size(), 3);
    QCOMPARE(platform.printed.at(0).left(13), QString("+ 5        × "));
    QCOMPARE(platform.printed.at(1), QString(86, '-'));
    QCOMPARE(platform.printed.at(2),
             QString("    合计： 16       共计： 3 笔。时间:2026/12/6 16:58:07   "));

    // Without a printer: a PDF beside the tapes, never over another file, and nothing
    // else changes.
    platform.printerPresent = false;
    platform.printed.clear();
    const QString pdf = QDir(form.dataFolder()).filePath("20261206$16$58$07.pdf");
    for (const QString &path : {pdf, QDir(form.dataFolder()).filePath("20261206$16$58$07-2.pdf")}) {
        click(form, "Label30");
        QCOMPARE(platform.log.last(),
                 "message:没有找到打印机，已存为 PDF：" + QDir::toNativeSeparators(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("%PDF-"));
    }
    QCOMPARE(QDir(form.dataFolder()).entryList({"*.pdf"}, QDir::Files | QDir::Hidden).size(), 2);
    QCOMPARE(control<QListWidget>(form, "File1")->count(), 0);

    // A printer that fails the job: a warning says so and offers the report as a PDF.
    platform.printerFails = true;
    const QString third = QDir(form.dataFolder()).filePath("20261206$16$58$07-3.pdf");
    click(form, "Label30");
    QCOMPARE(platform.log.last(),
             "warning:打印失败，已存为 PDF：" + QDir::toNativeSeparators(third));
    QCOMPARE(QDir(form.dataFolder()).entryList({"*.pdf"}, QDir::Files | QDir::Hidden).size(), 3);
    QCOMPARE(shown(form, "Label1"), QString("16"));
    QCOMPARE(form.calculator().lineNumber, 3);
}

QTEST_MAIN(TestWindowFiles)
#include "tst_windowfiles.moc"
