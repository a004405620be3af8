// The tape view and the other ways text comes in: the view follows the tape and filters what
// is typed into it, pastes, drops and menus, the result to the clipboard.
#include "ui/tests/formfixture.h"

using namespace tapecalc;
using namespace tapecalc::formtest;

class TestTapeView : public FormTest {
    Q_OBJECT

  private Q_SLOTS:
    void tapeViewFollowsTheTape();
    void tapeViewFiltersTypedCharacters();
    void tapeViewRowsStayWithinTheLongest();
    void otherInputPaths_data();
    void otherInputPaths();
    void resultCopiesToTheClipboard();
};

void TestTapeView::tapeViewFollowsTheTape() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text1 = control<QLineEdit>(form, "Text1");
    // Growing, changing the last symbol, reviewing, cutting and clearing: the view always
    // ends identical to the tape text.
    const QStringList steps{"5+", "3*", "/", "2\r", "\r", "7-"};
    for (const QString &typed : steps) {
        QTest::keyClicks(text1, typed);
        QString expected = QString::fromStdString(form.calculator().shown.text2);
        expected.replace("\r\n", "\n");
        QCOMPARE(tapeView(form), expected);
    }
    QCOMPARE(tapeView(form), QString("5\n+\n3\n÷\n2\n÷\n7\n-\n"));
    clickKeys(form, {"Label14", "Label14", "Label8"}); // back to line 2, record it again
    // The old line 3 is cut off; its entry still stands at the cursor, without a symbol.
    QCOMPARE(tapeView(form), QString("5\n+\n3\n÷\n2\n+\n7\n"));
    QTest::keyClick(text1, Qt::Key_Delete);
    QCOMPARE(tapeView(form), QString());
}

void TestTapeView::tapeViewFiltersTypedCharacters() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text2 = control<QPlainTextEdit>(form, "Text2");
    QTest::keyClicks(text2, "12*3/4 a+-.x");
    QTest::keyClick(text2, Qt::Key_Return);
    QCOMPARE(text2->toPlainText(), QString("12×3÷4+-."));
}

void TestTapeView::tapeViewRowsStayWithinTheLongest() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    auto *text2 = control<QPlainTextEdit>(form, "Text2");
    const QString full(static_cast<qsizetype>(longestTapeRow), '1');
    text2->setPlainText(full + "\n+\n");
    text2->moveCursor(QTextCursor::Start);
    QTest::keyClicks(text2, "5*");
    QCOMPARE(text2->toPlainText(), full + "\n+\n");
    QTest::keyClick(text2, Qt::Key_Delete);
    QTest::keyClicks(text2, "*5");
    QCOMPARE(text2->toPlainText(), "×" + full.mid(1) + "\n+\n");
    // Another row has room of its own.
    text2->moveCursor(QTextCursor::End);
    QTest::keyClicks(text2, "7");
    QCOMPARE(text2->toPlainText(), "×" + full.mid(1) + "\n+\n7");
}

void TestTapeView::otherInputPaths_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("before");   // typed first
    QTest::addColumn<QString>("arriving"); // committed, pasted or dropped
    QTest::addColumn<QString>("after");    // the box's text
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QStringList>("cues"); // asynchronous ones, after `before`
    const auto row = static_cast<qsizetype>(longestTapeRow);
    static_assert(longestTapeRow > 32767, "the first row checks that no line edit's limit cuts");
    // clang-format off
    QTest::newRow("commit: full-width digits and point") << "Text1" << "commit" << "" << "１２．５" << "12.5" << "" << QStringList{"cue:1.wav", "cue:2.wav", "cue:d.wav", "cue:5.wav"};
    QTest::newRow("commit: Chinese point, second refused") << "Text1" << "commit" << "" << "1。5。" << "1.5" << "" << QStringList{"cue:1.wav", "cue:d.wav", "cue:5.wav", "cue:"};
    QTest::newRow("commit: full-width plus is the operator") << "Text1" << "commit" << "" << "５＋３" << "3" << "5" << QStringList{"cue:5.wav", "cue:加.wav", "cue:3.wav"};
    QTest::newRow("commit: letters are swallowed, c clears") << "Text1" << "commit" << "7" << "xc" << "" << "" << QStringList{"cue:", "cue:清除.wav"};
    QTest::newRow("commit: tape view filter") << "Text2" << "commit" << "1" << "２＊３／a4" << "12×3÷4" << "" << QStringList{};
    QTest::newRow("paste: exponent kept whole") << "Text1" << "shift+insert" << "" << "1.5E+20" << "1.5E+20" << "" << QStringList{};
    QTest::newRow("paste: full-width, blanks trimmed") << "Text1" << "shift+insert" << "" << " －１２．５\n" << "-12.5" << "" << QStringList{};
    QTest::newRow("paste: completes the entry") << "Text1" << "shift+insert" << "1." << "25" << "1.25" << "" << QStringList{};
    QTest::newRow("paste: a second point refused") << "Text1" << "shift+insert" << "1." << "5." << "1." << "" << QStringList{};
    QTest::newRow("paste: no action") << "Text1" << "shift+insert" << "7" << "+3" << "7" << "" << QStringList{};
    QTest::newRow("paste: letters refused whole") << "Text1" << "shift+insert" << "" << "12a" << "" << "" << QStringList{};
    QTest::newRow("paste: a tape row's length, past a line edit's 32767") << "Text1" << "shift+insert" << "" << QString(row, '9') << QString(row, '9') << "" << QStringList{};
    QTest::newRow("paste: one over, refused whole") << "Text1" << "shift+insert" << "9" << QString(row, '9') << "9" << "" << QStringList{};
    QTest::newRow("paste: tape view, a row's length") << "Text2" << "shift+insert" << "" << QString(row, '9') << QString(row, '9') << "" << QStringList{};
    QTest::newRow("paste: tape view, one over") << "Text2" << "shift+insert" << "9" << QString(row, '9') << "9" << "" << QStringList{};
    QTest::newRow("paste: Ctrl+V is swallowed") << "Text1" << "ctrl+v" << "" << "12" << "" << "" << QStringList{"cue:"};
    QTest::newRow("paste: menu") << "Text1" << "menu" << "12" << "34" << "1234" << "" << QStringList{};
    QTest::newRow("paste: menu refuses") << "Text1" << "menu" << "12" << "3-4" << "12" << "" << QStringList{};
    QTest::newRow("paste: tape view menu filters") << "Text2" << "menu" << "1" << "5*2\n/x" << "15×2÷" << "" << QStringList{};
    QTest::newRow("paste: tape view keys filter") << "Text2" << "shift+insert" << "" << "× 7+" << "7+" << "" << QStringList{};
    QTest::newRow("drop: number") << "Text1" << "drop" << "" << "0.25" << "0.25" << "" << QStringList{};
    QTest::newRow("drop: no action") << "Text1" << "drop" << "" << "5+3" << "" << "" << QStringList{};
    QTest::newRow("drop: tape view filter") << "Text2" << "drop" << "" << "8/2=" << "8÷2" << "" << QStringList{};
    // clang-format on
}

void TestTapeView::otherInputPaths() {
    QFETCH(QString, path);
    QFETCH(QString, arriving);
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget *box = control(form, FETCHED(QString, box));
    auto *tape = qobject_cast<QPlainTextEdit *>(box);
    QWidget *surface = tape ? tape->viewport() : box; // where the mouse and drops arrive
    // Off as input methods ask: a box that answers Qt::ImEnabled true gets fcitx5 or IBus
    // attached whatever its attribute says.
    box->setFocus();
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(box, &query);
    QVERIFY(!query.value(Qt::ImEnabled).toBool());
    QVERIFY(!box->inputMethodQuery(Qt::ImEnabled).toBool());
    QTest::keyClicks(box, FETCHED(QString, before));
    platform.log.clear();
    QClipboard *clipboard = QGuiApplication::clipboard();
    const QPoint end(box->width() - 20, 10); // right of the text
    if (path == "commit") {
        QInputMethodEvent commit;
        commit.setCommitString(arriving);
        QApplication::sendEvent(box, &commit);
    } else if (path == "drop") {
        QMimeData data;
        data.setText(arriving);
        QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &enter);
        QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(surface, &drop);
    } else { // the middle button's paste needs an X server: ui/tests/desktop_form1
        clipboard->setText(arriving);
        if (path == "shift+insert") {
            QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
        } else if (path == "ctrl+v") { // with the character X11 and Windows give it
            QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, "\x16");
            QApplication::sendEvent(box, &press);
        } else {
            QVERIFY(pickFromContextMenu(surface, "Paste"));
        }
    }
    QCOMPARE(tape ? tape->toPlainText() : control<QLineEdit>(form, "Text1")->text(),
             FETCHED(QString, after));
    QCOMPARE(shown(form, "Label1"), FETCHED(QString, label1));
    QCOMPARE(platform.cues().filter(QRegularExpression("^cue:")), FETCHED(QStringList, cues));
}

void TestTapeView::resultCopiesToTheClipboard() {
    ProgramFolder folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(control(form, "Text1"), "12.5-20\r");
    QCOMPARE(shown(form, "Label1"), QString("-7.5"));
    QGuiApplication::clipboard()->clear();
    QVERIFY(pickFromContextMenu(control(form, "Label1"), "复制"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString("-7.5"));
}

QTEST_MAIN(TestTapeView)
#include "tst_tapeview.moc"
