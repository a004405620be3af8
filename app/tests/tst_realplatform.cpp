// The real platform's boxes over the window: the question before a delete for good, and
// Qt's own words (the menus of the entry box and the tape view, the message box's button)
// in the window's language.
#include "app/qtwords.h"
#include "app/realplatform.h"
#include "ui/tests/formfixture.h"

#include <QScopeGuard>
#include <QSet>

using namespace tapecalc;
using namespace tapecalc::formtest;

class TestRealPlatform : public FormTest {
    Q_OBJECT

  private Q_SLOTS:
    void theQuestionBeforeADeleteForGood_data();
    void theQuestionBeforeADeleteForGood();
    void qtWordsInTheWindowsLanguage_data();
    void qtWordsInTheWindowsLanguage();
};

void TestRealPlatform::theQuestionBeforeADeleteForGood_data() {
    QTest::addColumn<QString>("pressed"); // a button's caption, or a key
    QTest::addColumn<bool>("deleteForGood");
    // clang-format off
    QTest::newRow("删除") << "删除" << true;
    QTest::newRow("取消") << "取消" << false;
    QTest::newRow("Esc") << "Esc" << false;
    QTest::newRow("Enter") << "Enter" << false;
    // clang-format on
}

// The real platform asks as file managers do, and only a click on 删除 says yes.
void TestRealPlatform::theQuestionBeforeADeleteForGood() {
    QFETCH(QString, pressed);
    QWidget window;
    RealPlatform platform;
    platform.setWindow(&window);
    QStringList shown;
    QTimer::singleShot(0, &window, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown << box->text() << box->informativeText();
        for (QAbstractButton *button : box->buttons())
            shown << button->text();
        for (QAbstractButton *button : box->buttons())
            if (button->text() == pressed)
                button->click();
        if (pressed == "Esc" || pressed == "Enter")
            QTest::keyClick(box, pressed == "Esc" ? Qt::Key_Escape : Qt::Key_Return);
    });
    QFETCH(bool, deleteForGood);
    QCOMPARE(platform.confirmDeleteForGood("t.qtz"), deleteForGood);
    QCOMPARE(shown.mid(0, 2), QStringList({"无法移到回收站。要永久删除吗？", "t.qtz"}));
    QCOMPARE(QSet<QString>(shown.begin() + 2, shown.end()), QSet<QString>({"删除", "取消"}));
}

void TestRealPlatform::qtWordsInTheWindowsLanguage_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("paste"); // Qt's English word; none: Chinese only
    // clang-format off
    QTest::newRow("system (LANG of the run)") << QLocale::system() << (QLocale::system().name() == "zh_CN" ? "" : "Paste");
    QTest::newRow("zh_CN") << QLocale("zh_CN") << "";
    QTest::newRow("zh_SG") << QLocale("zh_SG") << "";
    QTest::newRow("C") << QLocale::c() << "Paste";
    QTest::newRow("en_US") << QLocale("en_US") << "Paste";
    QTest::newRow("de_DE") << QLocale("de_DE") << "Paste";
    QTest::newRow("zh_TW: words the typeface lacks") << QLocale("zh_TW") << "Paste";
    // clang-format on
}

void TestRealPlatform::qtWordsInTheWindowsLanguage() {
    QTranslator *words = installQtWords(FETCHED(QLocale, locale));
    const auto removed = qScopeGuard([words] {
        QCoreApplication::removeTranslator(words);
        delete words;
    });
    ProgramFolder folder;
    RecordingPlatform recording;
    Form1 form(recording, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *tape = control<QPlainTextEdit>(form, "Text2");
    QStringList shown;
    for (QWidget *w : {control(form, "Text1"), tape->viewport(),
                       static_cast<QWidget *>(tape->verticalScrollBar())}) {
        QTimer::singleShot(0, w, [&] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (QAction *action : menu->actions())
                    shown << action->text();
                menu->close();
            }
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(3, 3), w->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(w, &e);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
    RealPlatform platform;
    platform.setWindow(&form);
    QTimer::singleShot(0, &form, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            for (QAbstractButton *button : box->buttons())
                shown << button->text();
            box->accept();
        }
    });
    platform.showMessage("保存失败");
    QVERIFY2(shown.size() > 20, qPrintable(shown.join('|')));
    // A caption without its mnemonic "(&P)" and its shortcut, named as on the keys ("Ctrl+V").
    for (QString &caption : shown)
        caption = caption.section(u'\t', 0, 0).remove(QRegularExpression(R"(\(&.\)|&)"));
    if (const QString paste = FETCHED(QString, paste); !paste.isEmpty()) {
        QVERIFY2(shown.contains(paste), qPrintable(shown.join('|')));
        return;
    }
    QVERIFY(shown.contains("确定"));
    QFile file(programFontFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont face(file.readAll(), 12);
    for (const QString &caption : std::as_const(shown)) {
        QVERIFY2(!caption.contains(QRegularExpression("[A-Za-z]")), qPrintable(caption));
        for (const char32_t c : caption.toUcs4())
            QVERIFY2(face.supportsCharacter(c), qPrintable(caption + ": run tools/make_font.sh"));
    }
}

QTEST_MAIN(TestRealPlatform)
#include "tst_realplatform.moc"
