// Saves cut off by SIGKILL: at chosen system calls (strace fault injection) and at random
// moments. Every tape file left must reopen whole; the next start clears the temporaries.
#include "store/durablefile.h"
#include "store/tests/selfcheckingtape.h"
#include "testsupport/missing.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"
#include "ui/tests/startwindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tapecalc;

namespace {

const QString saveLoop = QStringLiteral(TAPECALC_SAVELOOP);

// A program folder whose data folder holds, besides the tapes, files the start must keep.
struct ProgramFolder {
    QTemporaryDir dir;
    const QStringList decoys{".tapecalc-keep.txt", "notes.tmp", ".tapecalc-12345.tmp"};
    ProgramFolder() {
        QDir().mkpath(data());
        for (const QString &name : decoys) {
            QFile file(QDir(data()).filePath(name));
            if (file.open(QIODevice::WriteOnly))
                file.write("keep");
        }
    }
    QString data() const { return dir.filePath(QStringLiteral("shujucuncu")); }
    QStringList names(const QString &pattern) const {
        return QDir(data()).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
    }
    QStringList tapes() const { return names(QString::fromLatin1(tapePattern)); }
    QStringList temporaries() const {
        return names(QString::fromLatin1(durable::temporaryPattern));
    }
};

// The names whose files do not reopen as the whole tape that was saved, with the reason.
QStringList brokenTapes(const ProgramFolder &folder) {
    QStringList broken;
    for (const QString &name : folder.tapes()) {
        const QString why = selfcheck::check(folder.data(), name);
        if (!why.isEmpty())
            broken << name + ": " + why;
    }
    return broken;
}

// The program starting on that folder: temporaries go, tapes and other files stay.
void startAgain(const ProgramFolder &folder) {
    const QStringList tapes = folder.tapes();
    RecordingPlatform platform;
    Form1 form(platform, folder.dir.path());
    QVERIFY(showStarted(form));
    QCOMPARE(folder.temporaries(), QStringList());
    QCOMPARE(folder.tapes(), tapes);
    for (const QString &name : folder.decoys)
        QVERIFY2(QFileInfo::exists(QDir(folder.data()).filePath(name)), qPrintable(name));
    QCOMPARE(form.findChild<QListWidget *>(QStringLiteral("File1"))->count(), tapes.size());
}

} // namespace

class TestKillSoak : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void injectedKill_data();
    void injectedKill();
    void randomKills();
    void secondCopyStartingMidSave();
};

void TestKillSoak::injectedKill_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("when");
    QTest::addColumn<int>("tapes");
    QTest::addColumn<int>("temporaries");
    // Round 0 saves new; round 1 saves new, then back over its file; round 2 saves new.
    // The three share a clock second: round 1 tries two names, round 2 three.
    // clang-format off
    QTest::newRow("new file written, before its sync") << "fdatasync" << 1 << 0 << 1;
    QTest::newRow("new file synced, before its name") << "renameat2" << 1 << 0 << 1;
    QTest::newRow("new file named, before the folder sync") << "fsync" << 1 << 1 << 0;
    QTest::newRow("save back written, before its sync") << "fdatasync" << 3 << 2 << 1;
    QTest::newRow("save back synced, before the replace") << "rename" << 1 << 2 << 1;
    QTest::newRow("third new file, its name and -2 taken, before -3") << "renameat2" << 6 << 2 << 1;
    // clang-format on
}

void TestKillSoak::injectedKill() {
    QFETCH(QString, call);
    QFETCH(int, when);
    QFETCH(int, tapes);
    QFETCH(int, temporaries);
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        TAPECALC_MISSING("strace is not installed (tools/setup.sh installs it)");
    ProgramFolder folder;
    QProcess traced;
    traced.start(strace, {"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + call, "-e",
                          QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(when),
                          saveLoop, folder.data(), "1"});
    QVERIFY(traced.waitForFinished(30000));
    const QByteArray errors = traced.readAllStandardError();
    if (errors.contains("ptrace") || errors.contains("not permitted"))
        TAPECALC_MISSING(qPrintable("strace cannot trace here: " + QString::fromLocal8Bit(errors)));
    QVERIFY2(errors.isEmpty(), errors.constData());

    QCOMPARE(folder.tapes().size(), tapes);
    QCOMPARE(folder.temporaries().size(), temporaries);
    QCOMPARE(brokenTapes(folder), QStringList());
    startAgain(folder);
}

void TestKillSoak::randomKills() {
    ProgramFolder folder;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    constexpr int wanted = 250;
    constexpr qint64 budgetMs = 150000; // a cap only: a quiet machine needs about 15 s
    int kills = 0;
    QElapsedTimer clock;
    clock.start();
    for (int run = 0; run < wanted && clock.elapsed() < budgetMs; ++run) {
        QProcess child;
        child.start(saveLoop, {folder.data(), QString::number(run)});
        QVERIFY(child.waitForStarted());
        // The child needs a few milliseconds to load; later moments fall among its saves.
        QThread::msleep(random.bounded(2, 60));
        child.kill();
        QVERIFY(child.waitForFinished(10000));
        // Only the kill ends the loop: it stops by itself at a failed save.
        QVERIFY2(child.exitStatus() == QProcess::CrashExit,
                 qPrintable("the save loop stopped: " + child.readAllStandardError()));
        ++kills;
    }
    const qint64 elapsed = clock.elapsed();
    const int leftover = static_cast<int>(folder.temporaries().size());
    qInfo("seed %u: %d kills in %lld ms; %d tape files, %d temporaries left", seed, kills, elapsed,
          static_cast<int>(folder.tapes().size()), leftover);
    QVERIFY2(kills >= 200, qPrintable(QString("only %1 kills in the time").arg(kills)));
    QVERIFY(!folder.tapes().isEmpty());
    QCOMPARE(brokenTapes(folder), QStringList());
    startAgain(folder);
}

// A second copy of the program starting while the first saves: its start-up clean-up
// must never take a temporary that the first is still writing, so every save of the
// first succeeds (the save loop ends at the first failed save).
void TestKillSoak::secondCopyStartingMidSave() {
    ProgramFolder folder;
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    QProcess child;
    child.start(saveLoop, {folder.data(), "7"});
    QVERIFY(child.waitForStarted());
    int starts = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        // Lets the process object notice an end.
        child.waitForFinished(0);
        QVERIFY2(child.state() == QProcess::Running,
                 qPrintable(QStringLiteral("a save failed after %1 starts (seed %2): %3")
                                .arg(starts)
                                .arg(seed)
                                .arg(QString::fromLocal8Bit(child.readAllStandardError()))));
        RecordingPlatform platform;
        Form1 form(platform, folder.dir.path());
        QVERIFY(showStarted(form));
        ++starts;
        QThread::usleep(random.bounded(0, 3000));
    }
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    qInfo("seed %u: %d starts during the saves; %d tape files", seed, starts,
          static_cast<int>(folder.tapes().size()));
    QVERIFY(folder.tapes().size() > 10);
    QCOMPARE(brokenTapes(folder), QStringList());
}

QTEST_MAIN(TestKillSoak)
#include "tst_killsoak.moc"
