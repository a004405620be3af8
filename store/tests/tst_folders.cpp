// Where the program looks for its cues, pictures and help, and where it keeps tapes, on
// temporary program layouts: a build tree or portable copy, and an installed prefix.
#include "store/folders.h"

#include "testsupport/nobody.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace tapecalc;

class TestFolders : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void choices_data();
    void choices();
    void installedDefault();
    void baseDirectoryRules_data();
    void baseDirectoryRules();
};

void TestFolders::choices_data() {
    QTest::addColumn<bool>("installed");    // share/tapecalc exists beside bin/
    QTest::addColumn<QString>("beside");    // resource folders beside the program
    QTest::addColumn<QString>("dataState"); // bin/shujucuncu: none, folder, readonly, file
    QTest::addColumn<QString>("sound");     // expected: beside or shared
    QTest::addColumn<QString>("pictures");
    QTest::addColumn<QString>("data"); // expected: beside or user

    // clang-format off
    QTest::newRow("build tree") << false << "shengyin anniu help" << "none" << "beside" << "beside" << "beside";
    QTest::newRow("nothing anywhere") << false << "" << "none" << "beside" << "beside" << "beside";
    QTest::newRow("installed") << true << "" << "none" << "shared" << "shared" << "user";
    QTest::newRow("installed, cues beside") << true << "shengyin" << "none" << "beside" << "shared" << "user";
    QTest::newRow("installed, tape folder beside") << true << "" << "folder" << "shared" << "shared" << "beside";
    QTest::newRow("read-only tape folder") << false << "" << "readonly" << "beside" << "beside" << "user";
    QTest::newRow("a file in its place") << false << "" << "file" << "beside" << "beside" << "user";
    // clang-format on
}

void TestFolders::choices() {
    QFETCH(bool, installed);
    QFETCH(QString, beside);
    QFETCH(QString, dataState);
#ifdef Q_OS_UNIX
    if (dataState == "readonly" && asAdministrator())
        return runAsNobody(QStringLiteral("choices:") + QTest::currentDataTag());
#endif
    QFETCH(QString, sound);
    QFETCH(QString, pictures);
    QFETCH(QString, data);

    QTemporaryDir root;
    const QDir top(root.path());
    const QString program = top.filePath("prefix/bin");
    const QString shared = top.filePath("prefix/share/tapecalc");
    const QString user = top.filePath("user/shujucuncu");
    QVERIFY(QDir().mkpath(program));
    if (installed)
        for (const char *name : {"shengyin", "anniu", "help"})
            QVERIFY(QDir().mkpath(shared + '/' + name));
    for (const QString &name : beside.split(' ', Qt::SkipEmptyParts))
        QVERIFY(QDir().mkpath(program + '/' + name));
    const QString tapes = program + "/shujucuncu";
    if (dataState == "folder" || dataState == "readonly")
        QVERIFY(QDir().mkpath(tapes));
    if (dataState == "readonly") {
        QVERIFY(QFile::setPermissions(tapes, QFile::ReadOwner | QFile::ExeOwner));
        QFile probe(tapes + "/probe");
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QFile::setPermissions(tapes, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            TAPECALC_MISSING("a user whom a read-only folder stops");
        }
    }
    if (dataState == "file") {
        QFile file(tapes);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    const Folders found = findFolders(program, shared, user);
    const auto where = [&](const QString &kind, const QString &name) {
        return (kind == "beside" ? program : shared) + '/' + name;
    };
    QCOMPARE(found.sound, where(sound, "shengyin"));
    QCOMPARE(found.pictures, where(pictures, "anniu"));
    QCOMPARE(found.help,
             where(installed && !beside.contains("help") ? "shared" : "beside", "help"));
    QCOMPARE(found.data, data == "beside" ? tapes : user);
    // The tape folder beside the program is made when chosen; the per-user one waits for
    // the first save; neither leaves anything else behind.
    QCOMPARE(QFileInfo(tapes).isDir(),
             data == "beside" || dataState == "folder" || dataState == "readonly");
    QVERIFY(!QFileInfo::exists(user));
    if (QFileInfo(tapes).isDir())
        QVERIFY(QDir(tapes).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QFile::setPermissions(tapes, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// The installed data folder is found from the program's folder as the build installs it,
// and the per-user folder follows the application's name.
void TestFolders::installedDefault() {
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir root;
    const QDir top(root.path());
    QVERIFY(QDir().mkpath(top.filePath("bin")));
    QVERIFY(QDir().mkpath(top.filePath(TAPECALC_SHARED_DIR "/shengyin")));
    const Folders found = findFolders(top.filePath("bin"));
    QCOMPARE(found.sound, top.filePath(TAPECALC_SHARED_DIR "/shengyin"));
    QCOMPARE(found.data,
             QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/shujucuncu");
    QVERIFY(found.data.contains(QCoreApplication::applicationName()));
}

void TestFolders::baseDirectoryRules_data() {
    QTest::addColumn<QString>("home");     // "unset", a relative path, or "absolute"
    QTest::addColumn<QString>("dataHome"); // the same for XDG_DATA_HOME
    QTest::addColumn<QString>("tapes");    // beside the program, or under which data home
    // clang-format off
    QTest::newRow("HOME unset") << "unset" << "unset" << "beside";
    QTest::newRow("relative HOME") << "home" << "unset" << "beside";
    QTest::newRow("relative XDG_DATA_HOME") << "absolute" << "relative/share" << "home";
    QTest::newRow("relative HOME, absolute XDG_DATA_HOME") << "home" << "absolute" << "dataHome";
    // clang-format on
}

// The per-user folder follows the base-directory rules: a relative HOME or XDG_DATA_HOME
// is ignored, so tapes never land under the folder the program was started from; with no
// home at all (a service, a root cron job) tapes are kept beside the program, never
// under "/".
void TestFolders::baseDirectoryRules() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QFETCH(QString, home);
    QFETCH(QString, dataHome);
    QFETCH(QString, tapes);
    QStandardPaths::setTestModeEnabled(false);
    QTemporaryDir root;
    const QDir top(root.path());
    QVERIFY(QDir().mkpath(top.filePath("bin")));
    QVERIFY(QDir().mkpath(top.filePath(TAPECALC_SHARED_DIR "/shengyin")));
    const QByteArray savedHome = qgetenv("HOME");
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    const auto set = [&](const char *name, const QString &value, const QString &absolute) {
        if (value == "unset")
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value == "absolute" ? absolute : value));
    };
    set("HOME", home, top.filePath("home"));
    set("XDG_DATA_HOME", dataHome, top.filePath("data"));
    const QString working = QDir::currentPath();
    QDir::setCurrent(top.path());
    const Folders found = findFolders(top.filePath("bin"));
    QDir::setCurrent(working);
    qputenv("HOME", savedHome);
    if (savedDataHome.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedDataHome);
    const QString user = QCoreApplication::applicationName() + "/shujucuncu";
    QCOMPARE(found.data, tapes == "beside" ? top.filePath("bin/shujucuncu")
                         : tapes == "home" ? top.filePath("home/.local/share/" + user)
                                           : top.filePath("data/" + user));
#else
    QSKIP("the base-directory rules are the free desktops'");
#endif
}

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
