// The save and delete keys of the real window, headless: a save in a review holds the view
// (as a kill's recovery and a save back do); what the window makes, the open reads back;
// a tape no trash takes is deleted for good only on 删除 of the real question box.
#include "core/tapeformat.h"
#include "store/journal.h"
#include "store/tests/tapefixtures.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

#include <array>

using namespace tapecalc;

namespace {

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void click(Form1 &form, const char *name) {
    QTest::mouseClick(form.findChild<QWidget *>(name), Qt::LeftButton);
}

// What the next start would save if the program were killed now: the window's journal,
// copied under the id of a process that has ended, recovered.
QByteArray recoveredAfterAKill(Form1 &form) {
    const QDir data(form.dataFolder());
    const QStringList journals =
        data.entryList({QString(journalPrefix) + '*'}, QDir::Files | QDir::Hidden);
    QTemporaryDir after;
    if (journals.size() != 1 || !QFile::copy(data.filePath(journals[0]),
                                             after.filePath(QString(journalPrefix) + "2147483646")))
        return "<no journal>";
    const QStringList saved = recoverJournals(after.path(), QDateTime::currentDateTime()).tapes;
    return saved.isEmpty() ? QByteArray() : readFile(after.filePath(saved[0]));
}

// Answers the question before a delete for good when told to, else keeps the default of
// a platform that cannot ask.
struct AnsweringPlatform : RecordingPlatform {
    int answer = -1; // -1: the default, 0: 取消, 1: 删除
    bool confirmDeleteForGood(const QString &name) override {
        if (answer < 0)
            return RecordingPlatform::confirmDeleteForGood(name);
        log << "ask:" + name;
        return answer == 1;
    }
};

} // namespace

class TestSaveDelete : public QObject {
    Q_OBJECT
    TemporaryHome home_; // the trash the tests break is the test's own

  private Q_SLOTS:
    void saveDuringAReviewHoldsTheView();
    void whatTheWindowMakesOpensAgain();
    void aTapeOfEveryCharacterSavesBackAsItWasWritten();
    void deleteWhereNoTrashTakesTheTape_data();
    void deleteWhereNoTrashTakesTheTape();
};

// 1+2+3+4+, 展开 twice, 回退 twice: the view shows four lines, and a kill, the save and a
// save back all keep those four.
void TestSaveDelete::saveDuringAReviewHoldsTheView() {
    QTemporaryDir program;
    RecordingPlatform platform;
    Form1 form(platform, program.path());
    QTest::keyClicks(form.findChild<QWidget *>("Text1"), "1+2+3+4+");
    for (const char *key : {"Label27", "Label27", "Label14", "Label14"})
        click(form, key);
    QCOMPARE(form.calculator().lineNumber, 2);
    const QByteArray fourLines("1\r\n+\r\n2\r\n+\r\n3\r\n+\r\n4\r\n+\r\n");
    QCOMPARE(form.findChild<QPlainTextEdit *>("Text2")->toPlainText().toUtf8(),
             QByteArray(fourLines).replace("\r\n", "\n"));
    QCOMPARE(recoveredAfterAKill(form), fourLines);
    click(form, "Label32");
    const QString saved = QString::fromStdString(form.calculator().currentTapeFile);
    QCOMPARE(readFile(saved), fourLines);
    QCOMPARE(recoveredAfterAKill(form), QByteArray()); // kept: nothing to recover
    click(form, "Label32");                            // tied to the file: a save back
    QCOMPARE(readFile(saved), fourLines);
}

// Whatever the entry box and the tape view make, a save writes and the open shows again, or,
// beyond the largest tape file, the save refuses, says so and keeps the tape; no edit makes
// a row longer than a tape's. Tapes of full rows to the largest size and one byte over,
// and a small one, each saved as keyed and again after edits (joins too) at random.
void TestSaveDelete::whatTheWindowMakesOpensAgain() {
    QTemporaryDir program;
    RecordingPlatform platform;
    Form1 form(platform, program.path());
    auto *text1 = form.findChild<QWidget *>("Text1");
    auto *view = form.findChild<QPlainTextEdit *>("Text2");
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qInfo("seed %u", seed);
    const qint64 pair = qint64(longestTapeRow) + 5; // a full entry row and "+", with CR LF
    for (const qint64 size : {largestTapeFile, largestTapeFile + 1, random.bounded(9 * pair)}) {
        click(form, "Label13"); // AC
        for (qint64 left = size; left > 5; left -= pair) {
            QGuiApplication::clipboard()->setText(QString(std::min(left, pair) - 5, u'9'));
            QTest::keyClick(text1, Qt::Key_Insert, Qt::ShiftModifier);
            QTest::keyClick(text1, '+');
        }
        for (const int edits : {0, 30}) {
            for (int i = 0; i < edits; ++i) {
                QTextCursor caret(view->document()->findBlockByNumber(
                    random.bounded(std::max(1, view->blockCount() - 1))));
                caret.movePosition(random.bounded(2) ? QTextCursor::EndOfBlock
                                                     : QTextCursor::StartOfBlock);
                view->setTextCursor(caret);
                QTest::keyClick(view, std::array{Qt::Key_Backspace, Qt::Key_Delete,
                                                 Qt::Key_5}[random.bounded(3)]);
                QVERIFY(longestRow(view->toPlainText().toStdString()) <= longestTapeRow);
            }
            const QString shown = view->toPlainText();
            const std::string text = tapeFileText(shown.toStdString());
            const QStringList before = QDir(form.dataFolder()).entryList(QDir::Files);
            click(form, "Label32");
            QCOMPARE(view->toPlainText(), shown);
            if (qint64(text.size()) > largestTapeFile) {
                QVERIFY(platform.log.last().startsWith("warning:纸带太大，无法保存"));
                QCOMPARE(QDir(form.dataFolder()).entryList(QDir::Files), before);
                continue;
            }
            const QFileInfo saved(QString::fromStdString(form.calculator().currentTapeFile));
            Calculator reopened;
            QCOMPARE(openSelectedTape(reopened, saved.path(), saved.fileName()).outcome,
                     OpenOutcome::opened);
            QCOMPARE(reopened.shown.text2, text);
        }
    }
}

// Every character a tape may hold, in rows of a tape file as the program writes it, opened
// in the window and saved back: the file reads as the very same text.
void TestSaveDelete::aTapeOfEveryCharacterSavesBackAsItWasWritten() {
    QTemporaryDir program;
    const QStringList characters = tapetest::everyCharacter();
    QString text;
    for (qsizetype i = 0; i < characters.size(); i += 64)
        text += "3 " + characters.mid(i, 64).join(QString()) + " 4\r\n";
    const QDir data(QDir(program.path()).filePath("shujucuncu"));
    QVERIFY(data.mkpath("."));
    tapetest::writeBytes(data.filePath("every.qtz"), encodeTapeText(text));
    RecordingPlatform platform;
    Form1 form(platform, program.path());
    auto *list = form.findChild<QListWidget *>("File1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    QVERIFY(!form.calculator().currentTapeFile.empty());
    click(form, "Label32");
    QCOMPARE(platform.log, QStringList());
    QCOMPARE(decodeTapeText(readFile(data.filePath("every.qtz"))), text);
}

void TestSaveDelete::deleteWhereNoTrashTakesTheTape_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("said"); // the platform's log, before the file's name
    // clang-format off
    QTest::newRow("删除") << 1 << "ask:";
    QTest::newRow("取消") << 0 << "ask:";
    QTest::newRow("a platform that cannot ask") << -1 << "warning:无法移到回收站，没有删除：";
    // clang-format on
}

// The home trash is a file: the opened tape goes, and the calculator is cleared, only on
// 删除; else both stay as they were.
void TestSaveDelete::deleteWhereNoTrashTakesTheTape() {
    QFETCH(int, answer);
    QFETCH(QString, said);
    QTemporaryDir program;
    AnsweringPlatform platform;
    platform.answer = answer;
    Form1 form(platform, program.path());
    QTest::keyClicks(form.findChild<QWidget *>("Text1"), "5+3+");
    click(form, "Label32");
    auto *list = form.findChild<QListWidget *>("File1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(0)).center());
    const QString trash = QDir(home_.dataHome()).filePath("Trash");
    QDir(trash).removeRecursively();
    QVERIFY(QFile(trash).open(QIODevice::WriteOnly));
    platform.log.clear();
    click(form, "Label31");
    QFile::remove(trash);

    const QString name = "20261206$16$58$07.qtz";
    const bool deleted = answer == 1;
    QCOMPARE(QFileInfo::exists(QDir(form.dataFolder()).filePath(name)), !deleted);
    QCOMPARE(list->count(), deleted ? 0 : 1);
    QCOMPARE(form.findChild<QLabel *>("Label1")->text(), deleted ? QString() : QString("8"));
    QCOMPARE(platform.log.first(), said + name);
    QCOMPARE(platform.cues(),
             deleted ? QStringList({"cue:删除.wav", "blocking:删除.wav", "cue:归零.wav"})
                     : QStringList());
}

QTEST_MAIN(TestSaveDelete)
#include "tst_savedelete.moc"
