// The journal of the tape being keyed, with real processes (ui/tests/keyloop): what each
// way of ending leaves, a live copy's journal, damaged journals, and a soak of SIGKILLs
// at random moments after which every start must recover the tape last shown.
#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "store/journal.h"
#include "store/tapefiles.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tapecalc;

namespace {

struct Folder {
    QTemporaryDir dir;
    Folder() { QDir().mkpath(data()); }
    QString data() const { return dir.filePath(QStringLiteral("shujucuncu")); }
    QString log(int run) const { return dir.filePath(QStringLiteral("log%1").arg(run)); }
    QStringList names(const QString &pattern) const {
        return QDir(data()).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
    }
    QStringList tapes() const { return names(QString::fromLatin1(tapePattern)); }
    QStringList journals() const { return names(QString::fromLatin1(journalPrefix) + '*'); }
    QByteArray read(const QString &name) const {
        QFile file(QDir(data()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString &name, const QByteArray &bytes) const {
        QFile file(QDir(data()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

// What a recovered file must hold for a view: the view as a save back writes it.
QString fileText(const QString &view) {
    return QString::fromStdString(savedBackText(view.toStdString()));
}

struct Log {
    QList<QPair<QByteArray, QString>> views; // tag ("P0", "D1" …) and view, whole entries
    QStringList messages;
    bool ready = false;
};

Log readLog(const QString &path) {
    QFile file(path);
    Log log;
    if (!file.open(QIODevice::ReadOnly))
        return log;
    const QByteArray bytes = file.readAll();
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            break;
        const QByteArray line = bytes.mid(at, end - at);
        at = end + 1;
        if (line == "ready")
            log.ready = true;
        else if (line.startsWith("M "))
            log.messages << QString::fromUtf8(line.mid(2));
        else if (line.size() > 3 && (line[0] == 'P' || line[0] == 'D')) {
            const qsizetype size = line.mid(3).toLongLong();
            if (at + size + 1 > bytes.size())
                break; // torn by the kill
            log.views.append({line.left(2), QString::fromUtf8(bytes.mid(at, size))});
            at += size + 1;
        }
    }
    return log;
}

// A child on `folder`, once it has started (and recovered what it found).
void startChild(QProcess &child, const Folder &folder, const QString &shadow, int run,
                const char *mode) {
    child.start(QStringLiteral(TAPECALC_KEYLOOP),
                {folder.dir.path(), shadow, QString::number(run), folder.log(run), mode});
    QVERIFY(child.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (!readLog(folder.log(run)).ready) {
        QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
        QVERIFY(waited.elapsed() < 20000);
        QThread::msleep(2);
    }
}

QString recoveredMessage(const QString &name) {
    return QStringLiteral("上次未保存的纸带已恢复为：") + name;
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void sigtermKeepsTheTape();
    void exitAndEscLeaveNothing_data();
    void exitAndEscLeaveNothing();
    void liveCopysJournalIsLeftAlone();
    void damagedJournalRecoversWhatItCan();
    void randomKills();
};

void TestJournal::sigtermKeepsTheTape() {
    Folder folder;
    QProcess child;
    startChild(child, folder, {}, 0, "wait");
    QTRY_VERIFY(readLog(folder.log(0)).views.size() == 1);
    child.terminate(); // SIGTERM, as at logout or shutdown
    QVERIFY(child.waitForFinished());
    QCOMPARE(folder.journals().size(), 1);

    RecordingPlatform platform;
    Form1 form(platform, folder.dir.path());
    QCOMPARE(folder.journals(), QStringList());
    const QStringList tapes = folder.tapes();
    QCOMPARE(tapes, QStringList{tapeFileName(platform.clock)});
    QCOMPARE(decodeTapeText(folder.read(tapes[0])),
             fileText(readLog(folder.log(0)).views[0].second));
    QTRY_COMPARE(platform.log, QStringList{"message:" + recoveredMessage(tapes[0])});
    QCOMPARE(form.findChild<QListWidget *>("File1")->count(), 1);
    QCOMPARE(form.calculator().lineNumber, 0); // the window starts as always
}

void TestJournal::exitAndEscLeaveNothing_data() {
    QTest::addColumn<QByteArray>("mode");
    QTest::newRow("退出") << QByteArray("exit");
    QTest::newRow("Esc") << QByteArray("esc");
}

void TestJournal::exitAndEscLeaveNothing() {
    QFETCH(QByteArray, mode);
    Folder folder;
    QProcess child;
    startChild(child, folder, {}, 0, mode.constData());
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitCode(), 0);
    QVERIFY(!readLog(folder.log(0)).views.isEmpty());
    QCOMPARE(QDir(folder.data()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestJournal::liveCopysJournalIsLeftAlone() {
    Folder folder;
    QProcess child;
    startChild(child, folder, {}, 0, "wait");
    QTRY_VERIFY(readLog(folder.log(0)).views.size() == 1);
    const QStringList journals = folder.journals();
    QCOMPARE(journals.size(), 1);
    const QByteArray bytes = folder.read(journals[0]);
    {
        RecordingPlatform platform;
        Form1 second(platform, folder.dir.path());
        QCOMPARE(folder.tapes(), QStringList());
        QCOMPARE(folder.read(journals[0]), bytes);
    }
    QCOMPARE(folder.journals(), journals); // nor does the second copy's end touch it
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(recoverJournals(folder.data(), QDateTime::currentDateTime()).size(), 1);
}

// A journal cut off inside its last record, one with a damaged record in the middle, and
// one that is no journal at all: the first two give the tape up to their last whole record
// before the damage, the third nothing; all three go, and the window starts.
void TestJournal::damagedJournalRecoversWhatItCan() {
    Folder folder;
    const std::u16string first = u"5\n+\n", second = u"3\n×\n";
    const std::string whole = std::string(journal::header) + journal::changeRecord({0, 0, first}) +
                              journal::changeRecord({4, 0, second});
    const QByteArray cut = QByteArray::fromStdString(whole).chopped(3);
    QByteArray damaged = QByteArray::fromStdString(whole);
    damaged[journal::header.size() + 10] = 'X'; // inside the first record
    damaged += QByteArray::fromStdString(journal::changeRecord({0, 0, first}));
    folder.write(QString::fromLatin1(journalPrefix) + "999999991", cut);
    folder.write(QString::fromLatin1(journalPrefix) + "999999992", damaged);
    folder.write(QString::fromLatin1(journalPrefix) + "999999993", "no journal");

    RecordingPlatform platform;
    Form1 form(platform, folder.dir.path());
    QCOMPARE(folder.journals(), QStringList());
    const QStringList tapes = folder.tapes();
    QCOMPARE(tapes.size(), 1);
    QCOMPARE(decodeTapeText(folder.read(tapes[0])), fileText(QString::fromStdU16String(first)));
    QTRY_COMPARE(platform.log.size(), 1);
    QTest::keyClicks(form.findChild<QWidget *>("Text1"), "2+");
    QCOMPARE(form.calculator().lineNumber, 1);
}

void TestJournal::randomKills() {
    if (qEnvironmentVariableIsSet("TAPECALC_SKIP_SOAK"))
        QSKIP("runs on its own as tst_journal_soak (label soak)");
    Folder folder, shadow;
    for (const Folder *f : {&folder, &shadow}) {
        f->write("a.qtz", "5\r\n+\r\n3\r\n×\r\n2\r\n×\r\n");
        f->write("b.qtz", "1.5,-\r\n\"2\"\r\n÷\r\n");
    }
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    constexpr int wanted = 220;
#ifdef TAPECALC_SANITIZED
    constexpr qint64 budgetMs = 150000; // every start of the child is several times slower
#else
    constexpr qint64 budgetMs = 28000;
#endif
    int kills = 0, recovered = 0, keys = 0;
    QStringList mismatches;
    QElapsedTimer clock;
    clock.start();
    // After each kill the next child's start must recover the tape its predecessor showed
    // after its last logged key, or after the key in flight (its shadow's view).
    const auto check = [&](int run, const QStringList &before, const Log &started) {
        const Log killed = readLog(folder.log(run - 1));
        const auto &views = killed.views;
        keys += static_cast<int>(views.size() / 2);
        const auto expected = [&](qsizetype i) {
            return i < 0 || views[i].first[1] == '1' ? QString() : fileText(views[i].second);
        };
        QStringList accepted;
        qsizetype last = views.size() - 1;
        if (last >= 0 && views[last].first[0] == 'P')
            accepted << expected(last--);
        accepted << expected(last);
        QStringList added = folder.tapes();
        for (const QString &name : before)
            added.removeOne(name);
        const QString got = added.isEmpty() ? QString() : decodeTapeText(folder.read(added[0]));
        QStringList named;
        for (const QString &name : added)
            named << recoveredMessage(name);
        recovered += static_cast<int>(added.size());
        if (added.size() > 1 || !accepted.contains(got) || started.messages != named)
            mismatches << QStringLiteral("run %1: got %2 (%3), wanted one of %4")
                              .arg(run)
                              .arg(got, added.join(','), accepted.join(" | "));
    };
    for (int run = 0; run < wanted && clock.elapsed() < budgetMs; ++run) {
        const QStringList before = folder.tapes();
        QProcess child;
        startChild(child, folder, shadow.dir.path(), run, "soak");
        if (run > 0)
            check(run, before, readLog(folder.log(run)));
        QThread::msleep(random.bounded(0, 40));
        QVERIFY2(child.state() == QProcess::Running,
                 qPrintable("the key loop stopped: " + child.readAllStandardError()));
        child.kill();
        QVERIFY(child.waitForFinished());
        ++kills;
    }
    const QStringList before = folder.tapes();
    {
        RecordingPlatform platform;
        Form1 last(platform, folder.dir.path());
        QCoreApplication::processEvents();
        Log started;
        for (const QString &entry : platform.log)
            started.messages << entry.mid(8);
        check(kills, before, started);
    }
    qInfo("seed %u: %d kills in %lld ms, %d keys, %d tapes recovered, %d mismatches", seed, kills,
          clock.elapsed(), keys, recovered, static_cast<int>(mismatches.size()));
    QVERIFY2(kills >= 200, qPrintable(QString("only %1 kills in the time").arg(kills)));
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join('\n')));
    QCOMPARE(folder.journals(), QStringList());
    QVERIFY(recovered > kills / 4);
}

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
