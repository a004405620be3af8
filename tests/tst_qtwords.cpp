// Qt's own words in the window: the menus of the text boxes, the scroll bar and the
// result, and the message box's button, as the real program installs them. Chinese under a
// Chinese or an English locale and where Qt has no translation; the user's language where
// Qt has one. Run by ctest under LANG=zh_CN.UTF-8 and under LANG=C (the "system" row).
#include "tests/recordingplatform.h"
#include "ui/form1.h"
#include "ui/programfont.h"
#include "ui/qtwords.h"
#include "ui/realplatform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

using namespace tapecalc;

namespace {

// The captions of the menu `w` opens on a right-click, submenus included.
QStringList menuWords(QWidget *w) {
    QStringList words;
    QTimer::singleShot(0, w, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        QList<QMenu *> menus{menu};
        while (!menus.isEmpty())
            for (QAction *action : menus.takeFirst()->actions()) {
                words << action->text();
                if (action->menu())
                    menus << action->menu();
            }
        menu->close();
    });
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(3, 3), w->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(w, &e);
    if (!QTest::qWaitFor([&] { return !words.isEmpty(); }, 2000))
        qWarning("no menu from %s", qPrintable(w->objectName()));
    return words;
}

// A caption without its mnemonic ("粘贴(&P)") and its shortcut ("\tCtrl+V", the names
// printed on the keys).
QString wordsOnly(const QString &caption) {
    static const QRegularExpression mnemonic(R"(\(&.\)|&)");
    return caption.section(u'\t', 0, 0).remove(mnemonic);
}

} // namespace

class TestQtWords : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void menusAndMessageBox_data();
    void menusAndMessageBox();
};

void TestQtWords::menusAndMessageBox_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("paste"); // the paste item, or empty for "no Latin letter at all"
    // clang-format off
    QTest::newRow("system") << QLocale::system() << "";
    QTest::newRow("zh_CN") << QLocale("zh_CN") << "";
    QTest::newRow("C") << QLocale::c() << "";
    QTest::newRow("en_US") << QLocale("en_US") << "";
    QTest::newRow("de_DE has Qt's German") << QLocale("de_DE") << "Einfügen";
    // clang-format on
}

void TestQtWords::menusAndMessageBox() {
    QFETCH(QLocale, locale);
    QFETCH(QString, paste);
    if (QLocale::system().language() != QLocale::Chinese &&
        QLocale::system().language() != QLocale::C &&
        QLocale::system().language() != QLocale::English &&
        QTest::currentDataTag() == QString("system"))
        QSKIP("run under LANG=zh_CN.UTF-8 or LANG=C");
    QTranslator *words = installQtWords(locale);
    const auto removed = qScopeGuard([words] {
        QCoreApplication::removeTranslator(words);
        delete words;
    });
    if (!paste.isEmpty() && !QTranslator().load(locale, "qtbase", "_",
                                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QSKIP("Qt's translations (qt6-translations-l10n) are not installed");

    QTemporaryDir folder;
    RecordingPlatform recording;
    Form1 form(recording, folder.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *tape = form.findChild<QPlainTextEdit *>("Text2");
    QStringList shown;
    for (QWidget *w :
         {form.findChild<QWidget *>("Text1"), tape->viewport(),
          static_cast<QWidget *>(tape->verticalScrollBar()), form.findChild<QWidget *>("Label1")}) {
        const QStringList menu = menuWords(w);
        QVERIFY2(!menu.isEmpty(), qPrintable(w->objectName()));
        shown << menu;
    }
    // The real message box, read while it is up.
    RealPlatform platform;
    platform.setWindow(&form);
    QTimer::singleShot(0, &form, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        shown << box->windowTitle() << box->text();
        for (QAbstractButton *button : box->buttons())
            shown << button->text();
        box->accept();
    });
    platform.showMessage("保存失败");
    QVERIFY2(shown.contains("保存失败"), "no message box was seen");

    if (!paste.isEmpty()) {
        QVERIFY2(std::any_of(shown.cbegin(), shown.cend(),
                             [&](const QString &s) { return wordsOnly(s) == paste; }),
                 qPrintable(shown.join(" | ")));
        return;
    }
    QFile file(programFontFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont typeface(file.readAll(), 12);
    static const QRegularExpression latin("[A-Za-z]");
    for (const QString &caption : std::as_const(shown)) {
        const QString text = wordsOnly(caption);
        QVERIFY2(!text.contains(latin), qPrintable(caption));
        // The menus are set in the program's face: it must hold their characters.
        for (const char32_t c : text.toUcs4())
            QVERIFY2(typeface.supportsCharacter(c),
                     qPrintable(caption + " is not in the typeface (run tools/make_font.sh)"));
    }
    QVERIFY(shown.contains("确定"));
}

QTEST_MAIN(TestQtWords)
#include "tst_qtwords.moc"
