// The journal of the tape being keyed, with real processes: this program started again
// as a child ("--child") keys through a real window offscreen and is ended by SIGTERM,
// 退出, Esc or SIGKILL, also after its disk filled up; then a start must recover the tape
// the child last showed, and say so in one message. The journal's own file and its
// recovery are store/tests/tst_journal.
#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "store/freename.h"
#include "store/journal.h"
#include "store/tapefiles.h"
#include "testsupport/missing.h"
#include "testsupport/smalldisk.h"
#include "ui/form1.h"
#include "ui/tests/recordingplatform.h"
#include "ui/tests/startwindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <csignal>

using namespace tapecalc;

namespace {

// The child

struct EndingPlatform : RecordingPlatform {
    void endProgram() override { QCoreApplication::exit(0); }
};

QString viewOf(Form1 &form) {
    return form.findChild<QPlainTextEdit *>("Text2")->toPlainText();
}

// A key as a short code: "t" and a character typed into the entry box, "k" and a key's
// name clicked, "v" a place and a character typed into the tape view, "o" and a name
// clicked in the file list.
QString randomKey(QRandomGenerator &random, qsizetype viewLength) {
    const int pick = random.bounded(100);
    if (pick < 66)
        return QStringLiteral("t") + "0123456789.0123456789.0123456789.+-*/\r"[random.bounded(38)];
    if (pick < 77)
        return pick < 72 ? "kLabel14" : "kLabel15"; // back, forward
    if (pick < 88)
        return QStringLiteral("v%1 ").arg(random.bounded(viewLength + 1)) +
               "0123456789.+-*/\b"[random.bounded(16)];
    if (pick < 91 || viewLength > 3000)
        return "kLabel13"; // AC
    return random.bounded(2) == 0 ? "oa.qtz" : "ob.qtz";
}

// Presses the key; whether the view is now a tape file's content: it opened one, or
// changed nothing since.
bool press(Form1 &form, const QString &key, bool kept) {
    const QString before = viewOf(form);
    const QString arg = key.mid(1);
    if (key[0] == 't')
        QTest::keyClick(form.findChild<QWidget *>("Text1"), arg[0].toLatin1());
    else if (key[0] == 'k')
        QTest::mouseClick(form.findChild<QWidget *>(arg), Qt::LeftButton);
    if (key[0] == 'v') {
        auto *view = form.findChild<QPlainTextEdit *>("Text2");
        QTextCursor cursor = view->textCursor();
        cursor.setPosition(std::min(arg.section(' ', 0, 0).toInt(), int(before.size())));
        view->setTextCursor(cursor);
        if (key.back() == '\b')
            QTest::keyClick(view, Qt::Key_Backspace);
        else
            QTest::keyClicks(view, key.right(1));
    }
    if (key[0] != 'o')
        return kept && viewOf(form) == before;
    auto *list = form.findChild<QListWidget *>("File1");
    for (QListWidgetItem *item : list->findItems(arg, Qt::MatchExactly))
        Q_EMIT list->itemClicked(item);
    return !form.calculator().currentTapeFile.empty();
}

// Arguments: program folder, shadow's program folder, seed, log, mode. Logs "M" and each
// message of the start, "ready", then after each key "D", "1" when kept, else "0", the
// view's size and the view. In the soak the shadow, a second window on its own folder,
// takes each key first and its view is logged as "P" (pending): a kill between the
// journal's write and the log still has a known tape to expect.
int child(int argc, char **argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(2);
    QFile log(args[3]);
    if (!log.open(QIODevice::Append | QIODevice::Unbuffered)) {
        qCritical("cannot open the log %s", qPrintable(args[3]));
        return 1;
    }
    const auto logView = [&log](char tag, bool kept, const QString &view) {
        const QByteArray bytes = view.toUtf8();
        log.write(tag + QByteArray(kept ? "1 " : "0 ") + QByteArray::number(bytes.size()) + '\n' +
                  bytes + '\n');
    };
    EndingPlatform platform;
    Form1 form(platform, args[0]);
    showStarted(form); // the start's recovery and its messages
    for (const QString &entry : platform.log)
        log.write("M" + entry.mid(8).toUtf8() + '\n');
    log.write("ready\n");
    if (args[4] == "soak") {
        const QDir shadowData(args[1] + "/shujucuncu");
        for (const QString &name : shadowData.entryList({".tapecalc-journal-*"}, QDir::Hidden))
            QFile::remove(shadowData.filePath(name)); // not under test: cleared, not recovered
        RecordingPlatform shadowPlatform;
        Form1 shadow(shadowPlatform, args[1]);
        QRandomGenerator random(args[2].toUInt());
        for (bool kept = false;;) {
            const QString key = randomKey(random, viewOf(form).size());
            const bool shadowKept = press(shadow, key, kept);
            logView('P', shadowKept, viewOf(shadow));
            kept = press(form, key, kept);
            logView('D', kept, viewOf(form));
        }
    }
    if (args[4] == "fill") {
        // Lines keyed in rounds: 20, then 100 once "<args[1]>1" exists (the parent filled
        // the disk meanwhile), then 1 once "<args[1]>2" exists (it freed the disk). After
        // each round the notices so far and the view.
        qsizetype told = 0;
        int round = 0;
        for (const int lines : {20, 100, 1}) {
            while (round > 0 && !QFileInfo::exists(args[1] + QString::number(round)))
                QTest::qWait(5);
            ++round;
            for (int n = 0; n < lines; ++n)
                for (const char c : QByteArray("1234567890123+"))
                    press(form, QStringLiteral("t") + c, false);
            for (; told < platform.log.size(); ++told)
                if (!platform.log[told].startsWith("cue:") &&
                    !platform.log[told].startsWith("blocking:"))
                    log.write("M" + platform.log[told].toUtf8() + '\n');
            logView('D', false, viewOf(form));
        }
        return QApplication::exec();
    }
    for (const char c : QByteArray("12+34*5\r6-"))
        press(form, QStringLiteral("t") + c, false);
    logView('D', false, viewOf(form));
    if (args[4] != "wait")
        QTimer::singleShot(0, &form,
                           [&] { press(form, args[4] == "exit" ? "kLabel28" : "t\x1b", false); });
    return QApplication::exec();
}

// The test

struct Folder {
    QTemporaryDir dir;
    Folder() { QDir().mkpath(data()); }
    QString data() const { return dir.filePath("shujucuncu"); }
    QString log(int run) const { return dir.filePath(QStringLiteral("log%1").arg(run)); }
    QStringList names(const QString &pattern) const {
        return QDir(data()).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
    }
    QStringList tapes() const { return names("*.qtz"); }
    QStringList journals() const { return names(".tapecalc-journal-*"); }
    QByteArray read(const QString &name) const {
        QFile file(QDir(data()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString &name, const QByteArray &bytes) const {
        QFile file(QDir(data()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
};

struct Log {
    QList<QPair<QByteArray, QString>> views; // tag ("P0", "D1" …) and view, whole entries
    QStringList messages;
    bool ready = false;
};

Log readLog(const QString &path) {
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    Log log;
    for (qsizetype at = 0, end; (end = bytes.indexOf('\n', at)) >= 0;) {
        const QByteArray line = bytes.mid(at, end - at);
        at = end + 1;
        const qsizetype size = line.mid(3).toLongLong();
        if (line == "ready")
            log.ready = true;
        else if (line.startsWith('M'))
            log.messages << QString::fromUtf8(line.mid(1));
        else if (at + size < bytes.size()) // not torn by the kill
            log.views.append({line.left(2), QString::fromUtf8(bytes.mid(at, size))});
        at += line.startsWith('P') || line.startsWith('D') ? size + 1 : 0;
    }
    return log;
}

void startChild(QProcess &child, const Folder &folder, const QString &shadow, int run,
                const QString &mode) {
    child.start(
        QCoreApplication::applicationFilePath(),
        {"--child", folder.dir.path(), shadow, QString::number(run), folder.log(run), mode});
    QVERIFY(child.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while (!readLog(folder.log(run)).ready) {
        QVERIFY2(child.state() != QProcess::NotRunning, child.readAllStandardError().constData());
        QVERIFY(waited.elapsed() < 20000);
        QThread::msleep(2);
    }
}

// A recovered file holds the view as a save back writes it; a kept or blank view none.
QString expectedFile(const QPair<QByteArray, QString> &entry) {
    return entry.first[1] == '1' ? QString()
                                 : QString::fromStdString(tapeFileText(entry.second.toStdString()));
}

QString recoveredMessage(const QString &name) {
    return QStringLiteral("上次未保存的纸带已恢复为：") + name;
}

} // namespace

class TestJournalWindow : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void howTheProgramEnds_data();
    void howTheProgramEnds();
    void liveCopysJournalIsLeftAlone();
    void oneMessageForAllRecovered_data();
    void oneMessageForAllRecovered();
    void fullDiskThenKill_data();
    void fullDiskThenKill();
};

// The kill soak, alone (label soak): chosen by the argument --soak.
class JournalSoak : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void randomKills();
};

void TestJournalWindow::howTheProgramEnds_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("signal"); // sent to the waiting child
    // clang-format off
    QTest::newRow("退出") << "exit" << 0;
    QTest::newRow("Esc") << "esc" << 0;
#ifdef Q_OS_UNIX
    QTest::newRow("SIGTERM, as at shutdown") << "wait" << SIGTERM;
    QTest::newRow("SIGHUP, as at logout") << "wait" << SIGHUP;
    QTest::newRow("SIGKILL") << "wait" << SIGKILL;
#endif
    // clang-format on
}

// The tape goes with the user's own end and is a tape file at the next start otherwise;
// that start is the window's usual one.
void TestJournalWindow::howTheProgramEnds() {
    QFETCH(QString, mode);
    QFETCH(int, signal);
    const bool recovered = signal != 0;
    Folder folder;
    QProcess child;
    startChild(child, folder, {}, 0, mode);
    QTRY_COMPARE(readLog(folder.log(0)).views.size(), 1);
#ifdef Q_OS_UNIX
    if (recovered)
        ::kill(static_cast<pid_t>(child.processId()), signal);
#endif
    child.waitForFinished();
    QCOMPARE(child.exitCode(), signal); // the signal's number for a crash exit
    QCOMPARE(folder.journals().size(), recovered ? 1 : 0);

    RecordingPlatform platform;
    Form1 form(platform, folder.dir.path());
    // Nothing is recovered before the window is on the screen.
    QCOMPARE(folder.journals().size(), recovered ? 1 : 0);
    QVERIFY(showStarted(form));
    QCOMPARE(QDir(folder.data()).entryList(QDir::Files | QDir::Hidden),
             recovered ? QStringList{tapeFileName(platform.clock)} : QStringList());
    const QStringList tapes = folder.tapes();
    if (recovered)
        QCOMPARE(decodeTapeText(folder.read(tapes[0])),
                 expectedFile(readLog(folder.log(0)).views[0]));
    QTRY_COMPARE(platform.log.size(), tapes.size());
    QCOMPARE(platform.log.join(""), recovered ? "message:" + recoveredMessage(tapes[0]) : "");
    QCOMPARE(form.findChild<QListWidget *>("File1")->count(), tapes.size());
    QCOMPARE(form.calculator().lineNumber, 0);
}

void TestJournalWindow::liveCopysJournalIsLeftAlone() {
    Folder folder;
    QProcess child;
    startChild(child, folder, {}, 0, "wait");
    QTRY_COMPARE(readLog(folder.log(0)).views.size(), 1);
    const QStringList journals = folder.journals();
    const QByteArray bytes = folder.read(journals.value(0));
    QCOMPARE(journals.size(), 1);
    {
        RecordingPlatform platform;
        Form1 second(platform, folder.dir.path()); // a second copy, started and ended
        QVERIFY(showStarted(second));
    }
    QCOMPARE(folder.tapes(), QStringList());
    QCOMPARE(folder.journals(), journals);
    QCOMPARE(folder.read(journals[0]), bytes);
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(recoverJournals(folder.data(), QDateTime::currentDateTime()).tapes.size(), 1);
}

void TestJournalWindow::oneMessageForAllRecovered_data() {
    QTest::addColumn<int>("tapes");
    QTest::addColumn<int>("unreadable"); // journals of another version
    // clang-format off
    QTest::newRow("one")                   << 1   << 0;
    QTest::newRow("ten, each named")       << 10  << 0;
    QTest::newRow("eleven, ten named")     << 11  << 0;
    QTest::newRow("300 crashed copies")    << 300 << 0;
    QTest::newRow("one, and two unreadable") << 1 << 2;
    // clang-format on
}

// However many copies ended without saving, the next start shows one message once the
// window is up: the tapes it made (ten names and the count beyond ten) and the journals
// it could not read, renamed aside as they are.
void TestJournalWindow::oneMessageForAllRecovered() {
    QFETCH(int, tapes);
    QFETCH(int, unreadable);
    Folder folder;
    const QByteArray journal = QByteArray::fromStdString(std::string(journal::header) +
                                                         journal::changeRecord({0, 0, u"5\n+\n"}));
    QStringList left;
    for (int n = 0; n < tapes + unreadable; ++n) {
        const QString name = QStringLiteral(".tapecalc-journal-%1").arg(999000000 + n);
        folder.write(name, n < tapes ? journal : "TapeCalc journal 9\n");
        if (n >= tapes) // renamed aside as they are
            left << QString(name).replace("journal-", "unknown-journal-");
    }
    RecordingPlatform platform;
    Form1 form(platform, folder.dir.path());
    QCOMPARE(platform.log, QStringList()); // not before the window is up
    QVERIFY(showStarted(form));
    QCOMPARE(platform.log.size(), 1);
    QStringList made; // in the order of the journals' names, each under the first free name
    for (int n = 1; n <= tapes; ++n)
        made << numberedName(tapeFileName(platform.clock), n, '-');
    QStringList sorted = made;
    sorted.sort();
    QCOMPARE(folder.tapes(), sorted);
    const auto named = [](const QStringList &names) {
        return names.size() <= 10
                   ? names.join("、")
                   : names.mid(0, 10).join("、") + QStringLiteral(" 等 %1 个").arg(names.size());
    };
    QString text = recoveredMessage(named(made));
    if (!left.isEmpty())
        text += "\n数据文件夹中有无法读取的纸带记录，已原样留下：" + named(left);
    QCOMPARE(platform.log[0], (left.isEmpty() ? "message:" : "warning:") + text);
    QCOMPARE(folder.names(".tapecalc-*"), left);
    QCOMPARE(form.findChild<QListWidget *>("File1")->count(), tapes);
}

void TestJournalWindow::fullDiskThenKill_data() {
    QTest::addColumn<bool>("freed"); // the disk was freed, and a line keyed, before the kill
    QTest::newRow("killed while the disk is full") << false;
    QTest::newRow("killed after the disk was freed") << true;
}

// The real program on a small disk of its own: 20 lines keyed, the disk filled, 100 more
// lines keyed (the window says once that the tape is no longer kept), maybe the disk freed
// and a line keyed (it says once that it is again), then SIGKILL. The next start recovers
// at least the 20 lines (every line when the disk was freed).
void TestJournalWindow::fullDiskThenKill() {
#ifndef Q_OS_LINUX
    QSKIP("a tmpfs of its own is for Linux");
#else
    QFETCH(bool, freed);
    Folder folder;
    SmallDisk disk(folder.data(), 512 * 1024);
    if (!disk.mounted())
        TAPECALC_MISSING("mounting a tmpfs needs root");
    const QString go = folder.dir.filePath("go");
    const auto touch = [](const QString &path) { return QFile(path).open(QIODevice::WriteOnly); };
    QProcess child;
    startChild(child, folder, go, 0, "fill");
    QTRY_COMPARE_WITH_TIMEOUT(readLog(folder.log(0)).views.size(), 1, 20000);
    QVERIFY(disk.fill());
    QVERIFY(touch(go + "1"));
    QTRY_COMPARE_WITH_TIMEOUT(readLog(folder.log(0)).views.size(), 2, 60000);
    const QString full = QStringLiteral("notice:磁盘已满，未保存的纸带无法自动保留");
    QCOMPARE(readLog(folder.log(0)).messages, QStringList{full});
    if (freed) {
        disk.free();
        QVERIFY(touch(go + "2"));
        QTRY_COMPARE_WITH_TIMEOUT(readLog(folder.log(0)).views.size(), 3, 20000);
        QCOMPARE(readLog(folder.log(0)).messages,
                 (QStringList{full, QStringLiteral("notice:未保存的纸带又能自动保留了")}));
    }
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished());
    disk.free();

    RecordingPlatform platform;
    Form1 form(platform, folder.dir.path());
    QVERIFY(showStarted(form));
    const Log log = readLog(folder.log(0));
    QCOMPARE(folder.tapes().size(), 1);
    const QString got = decodeTapeText(folder.read(folder.tapes()[0]));
    const QString keyedBefore = expectedFile(log.views[0]);
    if (freed)
        QCOMPARE(got, expectedFile(log.views[2]));
    qInfo("%lld of %lld lines recovered", got.count('\n') / 2,
          expectedFile(log.views.back()).count('\n') / 2);
    QVERIFY(got.startsWith(keyedBefore) && expectedFile(log.views.back()).startsWith(got));
#endif
}

// After each SIGKILL the next child's start must recover the tape its predecessor showed
// after its last logged key, or after the key in flight (its shadow's view).
void JournalSoak::randomKills() {
#ifdef Q_OS_WIN
    QSKIP("the kill soak is for POSIX systems: a Windows process starts too slowly under wine "
          "for 200 kills in the time");
#endif
    Folder folder, shadow;
    for (const Folder *f : {&folder, &shadow}) {
        f->write("a.qtz", "5\r\n+\r\n3\r\n×\r\n2\r\n×\r\n");
        f->write("b.qtz", "1.5,-\r\n\"2\"\r\n÷\r\n");
    }
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    // The soak is a count of kills; the time is only a cap, far above a quiet machine's
    // (about 28 s, several times that under the sanitizers), so a loaded one still passes.
#ifdef TAPECALC_SANITIZED
    const qint64 budgetMs = 240000;
#else
    const qint64 budgetMs = 120000;
#endif
    int kills = 0, keys = 0, recovered = 0;
    QStringList mismatches;
    QElapsedTimer clock;
    clock.start();
    for (int run = 0; run <= 220; ++run) {
        const QStringList before = folder.tapes();
        QProcess child;
        const bool last = run == 220 || clock.elapsed() > budgetMs;
        startChild(child, folder, shadow.dir.path(), run, last ? "exit" : "soak");
        const Log killed = readLog(folder.log(run - 1));
        keys += static_cast<int>(killed.views.size() / 2);
        QStringList accepted;
        qsizetype k = killed.views.size() - 1;
        if (k >= 0 && killed.views[k].first[0] == 'P')
            accepted << expectedFile(killed.views[k--]);
        accepted << (k >= 0 ? expectedFile(killed.views[k]) : QString());
        QStringList added = folder.tapes(), named;
        for (const QString &name : before)
            added.removeOne(name);
        for (const QString &name : added)
            named << recoveredMessage(name);
        recovered += static_cast<int>(added.size());
        const QString got = decodeTapeText(folder.read(added.value(0)));
        if (run > 0 && (added.size() > 1 || !accepted.contains(got) ||
                        readLog(folder.log(run)).messages != named))
            mismatches << QStringLiteral("run %1: got %2 (%3), wanted one of %4")
                              .arg(run)
                              .arg(got, added.join(','), accepted.join(" | "));
        if (last) {
            QVERIFY(child.waitForFinished());
            break;
        }
        QThread::msleep(random.bounded(0, 40));
        QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
        child.kill();
        QVERIFY(child.waitForFinished());
        ++kills;
    }
    qInfo("seed %u: %d kills in %lld ms, %d keys, %d tapes recovered, %d mismatches", seed, kills,
          clock.elapsed(), keys, recovered, static_cast<int>(mismatches.size()));
    QVERIFY2(kills >= 200, qPrintable(QString("only %1 kills in the time").arg(kills)));
    QVERIFY2(mismatches.isEmpty(), qPrintable(mismatches.join('\n')));
    QCOMPARE(folder.journals(), QStringList());
    QVERIFY(recovered > kills / 4);
}

int main(int argc, char **argv) {
    if (argc > 1 && qstrcmp(argv[1], "--child") == 0)
        return child(argc, argv);
    const bool soak = argc > 1 && qstrcmp(argv[1], "--soak") == 0;
    if (soak) { // not an argument of Qt Test's
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    QApplication app(argc, argv);
    TestJournalWindow suite;
    JournalSoak soakSuite;
    return QTest::qExec(soak ? static_cast<QObject *>(&soakSuite) : &suite, argc, argv);
}

#include "tst_journal_window.moc"
