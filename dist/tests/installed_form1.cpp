// The window on an installed tree, run by tests/install.sh: the program folder is the
// staged bin/, which cannot be written, so tapes go to the per-user folder while cues,
// pictures and help come from share/.
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QStandardPaths>
#include <QTest>

using namespace tapecalc;

class TestInstalled : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase();
    void savesIntoThePerUserFolder();
};

void TestInstalled::initTestCase() {
    // The per-user folder is the installed program's own.
    QCoreApplication::setApplicationName(QStringLiteral("tapecalc"));
}

void TestInstalled::savesIntoThePerUserFolder() {
    const QString bin = qEnvironmentVariable("TAPECALC_INSTALLED_BIN");
    const QString shared = qEnvironmentVariable("TAPECALC_INSTALLED_SHARE");
    if (bin.isEmpty() || shared.isEmpty())
        QFAIL("run by tests/install.sh on a staged installation");
    const QString user =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/shujucuncu";

    RecordingPlatform platform;
    Form1 form(platform, bin);
    QCOMPARE(form.dataFolder(), user);
    QVERIFY(!QFileInfo::exists(user)); // made by the first save, not at start

    const auto click = [&](const char *name) {
        auto *control = form.findChild<QWidget *>(QString::fromLatin1(name));
        QVERIFY2(control, name);
        QTest::mouseClick(control, Qt::LeftButton);
    };
    click("Label5(4)"); // 5
    click("Label8");    // 加
    click("Label32");   // 保存
    click("Image13");   // the banner: the help page

    QVERIFY2(!platform.log.contains("warning:保存失败"), qPrintable(platform.log.join('\n')));
    const QStringList tapes = QDir(user).entryList({"*.qtz"}, QDir::Files);
    QCOMPARE(tapes.size(), 1);
    QCOMPARE(form.findChild<QListWidget *>("File1")->count(), 1);
    QVERIFY(!QFileInfo::exists(bin + "/shujucuncu"));

    const QString cue = shared + "/shengyin/5.wav";
    QCOMPARE(platform.log.first(), "cue:" + cue);
    QVERIFY(QFileInfo(cue).isFile());
    const QString picture = form.findChild<QWidget *>("Image1(4)")->property("source").toString();
    QCOMPARE(QFileInfo(picture).absolutePath(), shared + "/anniu");
    QVERIFY(QFileInfo(picture).isFile());
    const QString help = shared + "/help/index.html";
    QCOMPARE(platform.log.last(), "url:" + QUrl::fromLocalFile(help).toString());
    QVERIFY(QFileInfo(help).isFile());
}

QTEST_MAIN(TestInstalled)
#include "installed_form1.moc"
