// The built-in typeface: every character of the program's strings (captions, messages,
// notices, questions, Qt's words, the printed report, as tools/font_characters.py lists
// them from the sources) has its glyph in the subset, and every text is set in it. Run
// with no Chinese font of the system's (ui/tests/no-cjk-fonts.conf), as on a bare Debian.
#include "ui/form1.h"
#include "ui/programfont.h"
#include "ui/tests/recordingplatform.h"
#include "ui/tests/startwindow.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>

using namespace tapecalc;

class TestFont : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // First: the face is registered by the window's first frame, not by a test before.
    void everyTextIsSetInTheProgramFont();
    void everyCharacterOfTheSourcesHasItsGlyph();
};

void TestFont::everyCharacterOfTheSourcesHasItsGlyph() {
    QFile file(programFontFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRawFont subset(file.readAll(), 12);
    QVERIFY(subset.isValid());
    QFile list(TAPECALC_FONT_CHARACTERS);
    QVERIFY(list.open(QIODevice::ReadOnly | QIODevice::Text));
    QString missing;
    int listed = 0;
    while (!list.atEnd()) {
        bool ok = false;
        const auto c = static_cast<char32_t>(list.readLine().trimmed().mid(2).toUInt(&ok, 16));
        QVERIFY(ok);
        ++listed;
        if (!subset.supportsCharacter(c))
            missing += QString::fromUcs4(&c, 1);
    }
    QVERIFY(listed > 95); // printable ASCII and more
    QVERIFY2(missing.isEmpty(),
             qPrintable("not in the subset (run tools/make_font.sh): " + missing));
}

void TestFont::everyTextIsSetInTheProgramFont() {
    QTemporaryDir folder;
    RecordingPlatform platform;
    Form1 form(platform, folder.path());
    QVERIFY(showStarted(form));
    const QString family = programFontFamily;
    QCOMPARE(family, QString("TapeCalc Serif"));
    // Nothing but the program's own faces draws Chinese here.
    QStringList chinese = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    chinese.removeAll(family);
    chinese.removeAll(chineseFontFamily);
    if (qEnvironmentVariableIsSet("FONTCONFIG_FILE"))
        QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(", ")));
    int checked = 0;
    for (const QWidget *w : form.findChildren<QWidget *>()) {
        if (!qobject_cast<const QLabel *>(w) && !qobject_cast<const QLineEdit *>(w) &&
            !qobject_cast<const QPlainTextEdit *>(w) && !qobject_cast<const QListWidget *>(w))
            continue;
        QVERIFY2(QFontInfo(w->font()).family() == family, qPrintable(w->objectName()));
        ++checked;
    }
    QCOMPARE(checked, 35 + 4 + 3); // key labels; Label1, 2, 3, 9; Text1, Text2, File1

    // In the tape view, GB2312's Chinese, U+FFFD (for a byte no reader takes) and a
    // character no font here has (GBK's 镕) each leave ink, from the program's faces: 镕
    // alone is their box.
    QTextLayout line(QString("工资\uFFFD镕"), form.findChild<QPlainTextEdit *>("Text2")->font());
    line.beginLayout();
    line.createLine();
    line.endLayout();
    QList<quint32> glyphs;
    for (const QGlyphRun &run : line.glyphRuns()) {
        for (const quint32 glyph : run.glyphIndexes())
            QVERIFY(!run.rawFont().pathForGlyph(glyph).isEmpty());
        QVERIFY2(run.rawFont().familyName().startsWith(family),
                 qPrintable(run.rawFont().familyName()));
        glyphs << run.glyphIndexes();
    }
    QCOMPARE(glyphs.size(), 4);
    QCOMPARE(glyphs.count(0), 1);
    QCOMPARE(QFontInfo(reportFont()).family(), family);
}

QTEST_MAIN(TestFont)
#include "tst_font.moc"
