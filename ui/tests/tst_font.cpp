// The built-in typeface: every text the real window shows (captions, displays, tape view,
// messages, the printed report) has its glyphs in the subset, and is set in it.
#include "ui/form1.h"
#include "ui/printer.h"
#include "ui/programfont.h"
#include "ui/tests/recordingplatform.h"
#include "ui/tests/startwindow.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace tapecalc;

namespace {

// Every text the window's controls hold now.
QStringList shownTexts(const Form1 &form) {
    QStringList texts{form.windowTitle()};
    for (const QLabel *label : form.findChildren<QLabel *>())
        texts << label->text();
    for (const QLineEdit *edit : form.findChildren<QLineEdit *>())
        texts << edit->text();
    for (const QPlainTextEdit *edit : form.findChildren<QPlainTextEdit *>())
        texts << edit->toPlainText();
    for (const QListWidget *list : form.findChildren<QListWidget *>())
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
    return texts;
}

} // namespace

class TestFont : public QObject {
    Q_OBJECT

  private:
    void click(Form1 &form, const QStringList &names) {
        for (const QString &name : names) {
            auto *w = form.findChild<QWidget *>(name);
            if (!w)
                qFatal("no control %s", qPrintable(name));
            QTest::mouseClick(w, Qt::LeftButton);
        }
    }

  private Q_SLOTS:
    // First: the face is registered by the window's first frame, not by a test before.
    void everyTextIsSetInTheProgramFont();
    void everyShownTextHasItsGlyphs();
};

void TestFont::everyShownTextHasItsGlyphs() {
    QFile file(programFontFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont subset(file.readAll(), 12);
    QVERIFY(subset.isValid());

    QTemporaryDir folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QStringList texts = shownTexts(form);
    auto *text1 = form.findChild<QLineEdit *>("Text1");
    // Every operator on the tape, the operator display cycled through all four, a saved
    // tape in the file list, a function result in exponent form.
    QTest::keyClicks(text1, "1280+45.5*3-2/4=");
    for (int i = 0; i < 4; ++i) {
        click(form, {"Label2"});
        texts << shownTexts(form);
    }
    click(form, {"Label32"});
    QTest::keyClicks(text1, "100");
    click(form, {"Label21"}); // exp
    texts << shownTexts(form);
    // The printed report, and every message: square root and logarithms of bad entries,
    // a failed save, no printer, no browser.
    click(form, {"Label30"});
    texts << platform.printed;
    click(form, {"Label33", "Label6", "Label5(3)", "Label22"}); // CE - 4 sqr
    click(form, {"Label33", "Label5(9)", "Label23"});           // CE 0 log
    click(form, {"Label33", "Label6", "Label5(3)", "Label23"}); // CE - 4 log
    // A blank tape has no journal open in the folder, which Windows would keep otherwise.
    click(form, {"Label13"}); // AC
    QVERIFY(QDir(form.dataFolder()).removeRecursively());
    QFile blocker(form.dataFolder());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::keyClicks(text1, "5+");
    click(form, {"Label32"});
    platform.printerPresent = false;
    click(form, {"Label30"});
    platform.browserPresent = false;
    click(form, {"Image13"}); // the banner, without a browser
    int messages = 0;
    for (const QString &entry : std::as_const(platform.log))
        if (entry.startsWith("message:") || entry.startsWith("warning:")) {
            texts << entry.mid(8);
            ++messages;
        }
    QCOMPARE(messages, 6);
    QCOMPARE(platform.printed.size(), 3);

    QSet<char32_t> missing;
    for (const QString &text : std::as_const(texts))
        for (const char32_t c : text.toUcs4())
            if (c != '\n' && !subset.supportsCharacter(c))
                missing.insert(c);
    QString list;
    for (const char32_t c : missing)
        list += QString::fromUcs4(&c, 1);
    QVERIFY2(missing.isEmpty(), qPrintable("not in the subset (run tools/make_font.sh): " + list));
}

void TestFont::everyTextIsSetInTheProgramFont() {
    QTemporaryDir folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QVERIFY(showStarted(form));
    const QString family = programFontFamily;
    QCOMPARE(family, QString("TapeCalc Serif"));
    int checked = 0;
    for (const QWidget *w : form.findChildren<QWidget *>()) {
        if (!qobject_cast<const QLabel *>(w) && !qobject_cast<const QLineEdit *>(w) &&
            !qobject_cast<const QPlainTextEdit *>(w) && !qobject_cast<const QListWidget *>(w))
            continue;
        QVERIFY2(QFontInfo(w->font()).family() == family, qPrintable(w->objectName()));
        ++checked;
    }
    QCOMPARE(checked, 35 + 4 + 3); // key labels; Label1, 2, 3, 9; Text1, Text2, File1
    QCOMPARE(QFontInfo(reportFont()).family(), family);
}

QTEST_MAIN(TestFont)
#include "tst_font.moc"
