// The journal of the tape being keyed, on a temporary folder: what follow, edited and
// kept write is read back with the core's replay against the views they were given, also
// on a disk that fills up; the recovery at start turns the journals of ended copies into
// tape files, leaves hostile ones alone and gives no tape twice when it is killed midway.
// The journal under a real window, ended by 退出, Esc and signals, is
// ui/tests/tst_journal_window.
#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "store/journal.h"
#include "store/tapefiles.h"
#include "store/tests/tapefixtures.h"
#include "testsupport/missing.h"
#include "testsupport/smalldisk.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <random>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace tapecalc;

namespace {

const QDateTime moment(QDate(2026, 12, 6), QTime(16, 58, 7));

struct Folder {
    QTemporaryDir dir;
    QString data() const { return dir.filePath("shujucuncu"); }
    QStringList names(const QString &pattern) const {
        return QDir(data()).entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System,
                                      QDir::Name);
    }
    QStringList journals() const { return names(".tapecalc-journal-*"); }
    QStringList aside() const { return names(".tapecalc-damaged-journal-*"); }
    QStringList unknown() const { return names(".tapecalc-unknown-journal-*"); }
    QStringList markers() const { return names(".tapecalc-recovering-*"); }
    QStringList tapes() const { return names("*.qtz"); }
    QByteArray read(const QString &name) const {
        QFile file(QDir(data()).filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString &name, const QByteArray &bytes) const {
        QDir().mkpath(data());
        QFile file(QDir(data()).filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    // The journal's one file, replayed; an empty view when there is none.
    journal::Replayed replayed() const {
        const QStringList all = journals();
        return journal::replay(all.size() == 1 ? read(all[0]).toStdString() : std::string());
    }
};

QString viewOf(const journal::Replayed &replayed) {
    return QString::fromStdU16String(replayed.view);
}

bool isBlank(const QString &view) {
    return view.trimmed().isEmpty();
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void followReplaysAsTheView();
    void edited_data();
    void edited();
    void keptMarksTheViewAndStartsOverWhenOutweighed();
    void discardAndTheEndOfTheObject();
    void aFullDiskNeverCutsTheFile_data();
    void aFullDiskNeverCutsTheFile();
    void recover_data();
    void recover();
    void hostileJournals_data();
    void hostileJournals();
    void killedRecoveryGivesEachTapeOnce_data();
    void killedRecoveryGivesEachTapeOnce();
    void liveJournalIsLeftAlone();
    void aClearInAReadOnlyFolderStaysCleared();
};

// Random views, each a change of the one before (a surrogate pair and line ends among
// the units, now and then cleared): after each, the file replays as the view with the
// kept mark of the last follow that changed it, and a blank view has no file. follow's
// answer is where the views first differ.
void TestJournal::followReplaysAsTheView() {
    static const std::u16string units = u"0123456789.+-×÷\r\n \U0001F600";
    std::mt19937 random(20);
    Folder folder;
    TapeJournal journal(folder.data());
    QString view;
    bool kept = false; // as the last follow that changed the view said
    for (int step = 0; step < 600; ++step) {
        QString next = view;
        if (random() % 40 == 0) {
            next = random() % 2 ? QString() : QStringLiteral(" \n");
        } else {
            const auto at = static_cast<qsizetype>(random() % (next.size() + 1));
            const auto removed = static_cast<qsizetype>(random() % (next.size() - at + 1) % 5);
            QString inserted;
            for (std::size_t n = random() % 6; n > 0; --n)
                inserted += QChar(units[random() % units.size()]);
            next.replace(at, removed, inserted);
        }
        const bool keptNow = random() % 5 == 0;
        qsizetype same = 0;
        while (same < view.size() && same < next.size() && view[same] == next[same])
            ++same;
        const QByteArray why = QStringLiteral("step %1: %2").arg(step).arg(next).toUtf8();
        QVERIFY2(journal.follow(next, keptNow) == same, why);
        kept = next == view ? kept : keptNow;
        view = next;
        QCOMPARE(journal.view(), view);
        QCOMPARE(folder.journals().size(), isBlank(view) ? 0 : 1);
        if (isBlank(view))
            continue;
        const journal::Replayed replayed = folder.replayed();
        QVERIFY2(viewOf(replayed) == view && replayed.whole, why);
        QVERIFY2(replayed.kept == kept, why);
    }
}

void TestJournal::edited_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("removed");
    QTest::addColumn<bool>("fits"); // in the view "5\n+\n3\n-\n", 8 units
    // clang-format off
    QTest::newRow("typed at the start")        << 0  << 0 << true;
    QTest::newRow("a line replaced")           << 4  << 1 << true;
    QTest::newRow("typed at the end")          << 8  << 0 << true;
    QTest::newRow("the whole view replaced")   << 0  << 8 << true;
    QTest::newRow("before the start")          << -1 << 0 << false;
    QTest::newRow("beyond the end")            << 9  << 0 << false;
    QTest::newRow("removes past the end")      << 6  << 3 << false;
    QTest::newRow("removes a negative count")  << 2  << -1 << false;
    // clang-format on
}

// A correction that fits the text followed so far is in the file; one that does not
// changes neither the text nor the file.
void TestJournal::edited() {
    QFETCH(int, position);
    QFETCH(int, removed);
    QFETCH(bool, fits);
    Folder folder;
    TapeJournal journal(folder.data());
    const QString view = "5\n+\n3\n-\n";
    journal.follow(view, true);
    const QByteArray before = folder.read(folder.journals().value(0));
    QCOMPARE(journal.edited(position, removed, "7"), fits);
    const QString expected = fits ? QString(view).replace(position, removed, "7") : view;
    QCOMPARE(journal.view(), expected);
    const journal::Replayed replayed = folder.replayed();
    QCOMPARE(viewOf(replayed), expected);
    QCOMPARE(replayed.kept, !fits);
    if (!fits)
        QCOMPARE(folder.read(folder.journals().value(0)), before);
}

// kept() says the view is in a file, once; a change after it takes the mark back. However
// long the corrections go on, the file stays within twice the view's bytes and 64 KiB:
// it starts over from the view.
void TestJournal::keptMarksTheViewAndStartsOverWhenOutweighed() {
    Folder folder;
    TapeJournal journal(folder.data());
    journal.kept(); // nothing followed, no file
    QCOMPARE(folder.journals(), QStringList());
    QString view = QString("12\n+\n").repeated(20);
    journal.follow(view);
    QVERIFY(!folder.replayed().kept);
    journal.kept();
    QVERIFY(folder.replayed().kept);
    const QByteArray once = folder.read(folder.journals()[0]);
    journal.kept();
    QCOMPARE(folder.read(folder.journals()[0]), once);
    journal.follow(view + "3\n");
    QVERIFY(!folder.replayed().kept);

    // A line corrected back and forth: small records that would grow the file past the tape.
    const QFileInfo file(journal.path());
    qint64 largest = 0;
    for (int i = 0; i < 8000; ++i) {
        view[0] = QChar(u'1' + i % 9);
        journal.follow(view);
        largest = std::max(largest, QFileInfo(file.filePath()).size());
    }
    journal.kept();
    QVERIFY2(largest <= 2 * 2 * view.size() + 65536, QByteArray::number(largest));
    const journal::Replayed replayed = folder.replayed();
    QCOMPARE(viewOf(replayed), view);
    QVERIFY(replayed.kept && replayed.whole);
    QVERIFY(replayed.records < 8000);
    QCOMPARE(folder.names(".tapecalc-*"), QStringList{file.fileName()}); // no temporary left
}

void TestJournal::aFullDiskNeverCutsTheFile_data() {
    QTest::addColumn<bool>("aboutToStartOver"); // when the disk fills
    QTest::addColumn<int>("diskKiB");
    QTest::newRow("filled while the file is small") << false << 256;
    QTest::newRow("filled as the file is about to start over") << true << 256;
    QTest::newRow("a disk smaller than the file's size limit") << false << 64;
}

// On a disk that fills up, every change is followed by a file that replays whole as a
// view that was followed, never older than the one when the disk filled; the user hears
// once that the file stopped keeping up, and once when it does again.
void TestJournal::aFullDiskNeverCutsTheFile() {
#ifndef Q_OS_LINUX
    QSKIP("a tmpfs of its own is for Linux");
#else
    QFETCH(bool, aboutToStartOver);
    QFETCH(int, diskKiB);
    Folder folder;
    SmallDisk disk(folder.data(), diskKiB * 1024);
    if (!disk.mounted())
        TAPECALC_MISSING("mounting a tmpfs needs root");
    TapeJournal journal(folder.data());
    QList<TapeJournal::Health> told;
    journal.onHealthChange([&told](TapeJournal::Health health) { told << health; });
    std::mt19937 random(1);
    QStringList views; // every view followed
    QString view;
    const auto change = [&](bool line) {
        if (line)
            view += QString::number(random() % 100000) + "\n+\n";
        else
            view[0] = QChar(u'1' + (view[0].unicode() - u'0') % 9); // always another digit
        journal.follow(view);
        views << view;
    };
    const auto fileView = [&] {
        const journal::Replayed replayed = folder.replayed();
        return replayed.whole ? viewOf(replayed) : QStringLiteral("(not whole)");
    };
    for (int i = 0; i < 20; ++i)
        change(true);
    // Corrected until the file is about to start over: the disk fills just before it does.
    const QString path = journal.path();
    while (aboutToStartOver && QFileInfo(path).size() + 100 < 2 * 2 * view.size() + 65536)
        change(false);
    QCOMPARE(fileView(), view);
    QVERIFY(disk.fill());
    const qsizetype filled = views.size() - 1;
    for (int i = 0; i < 600; ++i) {
        change(random() % 2 == 0);
        const qsizetype at = views.lastIndexOf(fileView());
        QVERIFY2(at >= filled, qPrintable(QStringLiteral("change %1").arg(i)));
    }
    QCOMPARE(told, QList{TapeJournal::Health::diskFull});
    disk.free();
    change(true);
    QCOMPARE(fileView(), view);
    QCOMPARE(told, (QList{TapeJournal::Health::diskFull, TapeJournal::Health::keepsUp}));
    QCOMPARE(folder.names(".tapecalc-*"), QStringList{QFileInfo(journal.path()).fileName()});
#endif
}

// The user's end (discard) takes the file; the object's end keeps it for the next start.
void TestJournal::discardAndTheEndOfTheObject() {
    Folder folder;
    {
        TapeJournal journal(folder.data());
        journal.follow("5\n+\n");
        journal.discard();
        QCOMPARE(folder.journals(), QStringList());
        journal.follow("6\n+\n");
        QCOMPARE(folder.journals().size(), 1);
        QCOMPARE(QDir(folder.data()).filePath(folder.journals()[0]), journal.path());
    }
    QCOMPARE(folder.journals().size(), 1);
    QCOMPARE(viewOf(folder.replayed()), "6\n+\n");
}

void TestJournal::recover_data() {
    QTest::addColumn<QByteArray>("bytes"); // of a journal left by an ended copy
    QTest::addColumn<QString>("tape");     // the recovered file's text; empty: none
    const auto change = [](const std::u16string &text) {
        return QByteArray::fromStdString(journal::changeRecord({0, 0, text}));
    };
    const QByteArray header = QByteArray::fromStdString(std::string(journal::header));
    const QByteArray kept = QByteArray::fromStdString(journal::keptRecord());
    // clang-format off
    QTest::newRow("a tape")                     << header + change(u"5\n+\n3\n×\n") << "5\r\n+\r\n3\r\n×\r\n";
    QTest::newRow("blank lines dropped")        << header + change(u"\n5\n+\n\n \n") << "5\r\n+\r\n";
    QTest::newRow("kept in a file")             << header + change(u"5\n+\n") + kept << "";
    QTest::newRow("changed after it was kept")  << header + change(u"5\n+\n") + kept + change(u"7\n") << "7\r\n5\r\n+\r\n";
    QTest::newRow("a blank tape")               << header + change(u" \n\n") << "";
    QTest::newRow("the header alone")           << header << "";
    QTest::newRow("empty, cut before a write")  << QByteArray() << "";
    // clang-format on
}

// A journal whose copy has ended (this process's own, its lock free) becomes one tape
// file named from the moment, as a save back writes the view, and goes either way.
void TestJournal::recover() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, tape);
    Folder folder;
    const QString name =
        QString::fromLatin1(journalPrefix) + QString::number(QCoreApplication::applicationPid());
    folder.write(name, bytes);
    folder.write(tapeFileName(moment), "an earlier tape"); // its name is not taken over
    const QStringList recovered = recoverJournals(folder.data(), moment).tapes;
    QCOMPARE(folder.journals(), QStringList());
    QCOMPARE(recovered.size(), tape.isEmpty() ? 0 : 1);
    QCOMPARE(folder.tapes().size(), 1 + recovered.size());
    QCOMPARE(folder.read(tapeFileName(moment)), "an earlier tape");
    if (!tape.isEmpty())
        QCOMPARE(decodeTapeText(folder.read(recovered[0])), tape);
}

void TestJournal::hostileJournals_data() {
    QTest::addColumn<QString>("kind"); // "link", "fifo", "sparse" (of `size`) or "bytes"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("tape");  // the recovered file's text: none, "*" for any, or
                                        // one the open would refuse (not made): "!" too
                                        // large, "|" of a row too long
    QTest::addColumn<QString>("after"); // renamed "unknown" or "aside", or "goes"
    const auto change = [](std::uint32_t at, const std::u16string &text) {
        return QByteArray::fromStdString(journal::changeRecord({at, 0, text}));
    };
    const QByteArray header = QByteArray::fromStdString(std::string(journal::header));
    const QByteArray first = header + change(0, u"5\n+\n");
    const QByteArray whole = first + change(4, u"3\n×\n");
    QByteArray damagedFirst = whole;
    damagedFirst[header.size() + 10] = 'X';
    QByteArray damagedSecond = whole + change(0, u"1\n+\n");
    damagedSecond[first.size() + 10] = 'X';
    // Inserted at the start and at the end by turns, each moving the whole text: of short
    // rows, and of one row longer than a tape's.
    const auto turns = [&](const std::u16string &text) {
        QByteArray bytes = header + change(0, text);
        for (std::uint32_t n = 0; n < 3000; ++n)
            bytes += change(n % 2 == 0 ? 0 : 100001 + n, u"1");
        return bytes;
    };
    std::u16string sevens;
    for (int n = 0; n < 50000; ++n)
        sevens += u"7\n";
    // The largest journal read: one record of a tape of "1" lines.
    const qsizetype units = (largestJournal - header.size() - 17) / 2;
    std::u16string ones;
    for (qsizetype n = 0; n < units / 2; ++n)
        ones += u"1\n";
    const QByteArray atTheBound = header + change(0, ones);
    const qint64 none = 0;
    // clang-format off
    QTest::newRow("a link to /dev/zero")            << "link"   << QByteArray() << none << "" << "unknown";
    QTest::newRow("a FIFO")                         << "fifo"   << QByteArray() << none << "" << "unknown";
    QTest::newRow("sparse, 8 GiB, with the header") << "sparse" << header << (qint64(8) << 30) << "" << "unknown";
    QTest::newRow("a byte beyond the bound")        << "sparse" << whole << largestJournal + 1 << "" << "unknown";
    QTest::newRow("at the bound, a tape too large") << "bytes"  << atTheBound << none << "!" << "unknown";
    QTest::newRow("another version's")              << "bytes"  << "TapeCalc journal 2\n" + whole.mid(header.size()) << none << "" << "unknown";
    QTest::newRow("no journal")                     << "bytes"  << QByteArray("no journal") << none << "" << "unknown";
    QTest::newRow("cut inside its last record")     << "bytes"  << whole.chopped(3) << none << "5\r\n+\r\n" << "goes";
    QTest::newRow("damaged, a whole record after")  << "bytes"  << damagedFirst << none << "" << "aside";
    QTest::newRow("damaged after a whole record")   << "bytes"  << damagedSecond << none << "5\r\n+\r\n" << "aside";
    QTest::newRow("more work than a replay may do") << "bytes"  << turns(sevens + u"\n") << none << "*" << "aside";
    QTest::newRow("a row longer than a tape's")     << "bytes"  << turns(std::u16string(100000, u'7') + u"\n") << none << "|" << "unknown";
    QTest::newRow("a link to nowhere")              << "dangling" << QByteArray() << none << "" << "unknown";
    // clang-format on
}

// A journal of an ended copy that is no regular file, larger than the bound, of another
// version or no journal at all is renamed aside as it is; a damaged one gives the tape
// before the damage and is set aside whole; the start names both kinds, once.
void TestJournal::hostileJournals() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, size);
    QFETCH(QString, tape);
    QFETCH(QString, after);
    Folder folder;
    const QString name = ".tapecalc-journal-999999990"; // of no running process
    const QString path = QDir(folder.data()).filePath(name);
    folder.write(name, bytes);
    if (kind != "bytes" && kind != "sparse")
        QFile::remove(path);
#ifdef Q_OS_UNIX
    if (kind == "link")
        QVERIFY(QFile::link("/dev/zero", path));
    if (kind == "fifo")
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    if (kind == "dangling")
        QVERIFY(QFile::link(folder.data() + "/nowhere", path));
#else
    if (kind == "link" || kind == "fifo" || kind == "dangling" || size > largestJournal + 1)
        QSKIP("a POSIX file kind");
#endif
    if (kind == "sparse")
        QVERIFY(QFile::resize(path, size));
    const Recovery recovery = recoverJournals(folder.data(), moment);
    QCOMPARE(recovery.tapes, folder.tapes());
    QCOMPARE(recovery.tapes.size(), tape.isEmpty() || tape == "!" || tape == "|" ? 0 : 1);
    QCOMPARE(recovery.tooLarge.size(), tape == "!" ? 1 : 0);
    QCOMPARE(recovery.rowTooLong.size(), tape == "|" ? 1 : 0);
    if (!tape.isEmpty() && tape != "*" && tape != "!" && tape != "|")
        QCOMPARE(decodeTapeText(folder.read(recovery.tapes[0])), tape);
    QCOMPARE(folder.journals(), QStringList());
    QCOMPARE(folder.aside().size(), after == "aside" ? 1 : 0);
    QCOMPARE(folder.unknown().size(), after == "unknown" ? 1 : 0);
    const QStringList named = recovery.left + recovery.tooLarge + recovery.rowTooLong;
    QCOMPARE(named, folder.aside() + folder.unknown());
    if (kind == "bytes" && after != "goes")
        QCOMPARE(folder.read(named[0]), bytes);
    QCOMPARE(folder.markers(), QStringList());
    // Named once: the next start leaves what is aside alone.
    QCOMPARE(recoverJournals(folder.data(), moment).left, QStringList());
    // Of the journals set aside, those a start names stay; at later starts the newest by
    // their own time stay, up to the bound: these, written an hour before, go first.
    int made = 0;
    const auto setAside = [&](int count) {
        for (int n = 0; n < count; ++n) {
            const QString older = ".tapecalc-journal-9999998" + QString::number(made++);
            folder.write(older, "no journal");
            QFile file(QDir(folder.data()).filePath(older));
            if (!file.open(QIODevice::ReadWrite) ||
                !file.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                  QFileDevice::FileModificationTime))
                return qsizetype(-1);
        }
        return recoverJournals(folder.data(), moment).left.size();
    };
    const auto asideNow = [&] { return folder.aside().size() + folder.unknown().size(); };
    QCOMPARE(setAside(keptAsideJournals - 1), keptAsideJournals - 1);
    QCOMPARE(setAside(1), 1);
    QCOMPARE(asideNow(), std::max<qsizetype>(keptAsideJournals, named.size()));
    QVERIFY(named.isEmpty() || (folder.aside() + folder.unknown()).contains(named[0]));
    QCOMPARE(setAside(keptAsideJournals + 2), keptAsideJournals + 2);
    QCOMPARE(asideNow(), keptAsideJournals + 2);
    recoverJournals(folder.data(), moment);
    QCOMPARE(asideNow(), keptAsideJournals);
}

void TestJournal::killedRecoveryGivesEachTapeOnce_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("when");
    QTest::addColumn<bool>("damaged");
    // The recovery of one journal: its tape written to a temporary (fdatasync), the
    // journal named for the tape (renameat2), the tape placed (renameat2), the folder
    // synced (fsync), the journal removed (unlink) or set aside (renameat2).
    // clang-format off
    QTest::newRow("tape written, before its sync")         << "fdatasync" << 1 << false;
    QTest::newRow("tape synced, before the journal's name") << "renameat2" << 1 << false;
    QTest::newRow("journal named, before the tape's name")  << "renameat2" << 2 << false;
    QTest::newRow("tape named, before the folder sync")     << "fsync"     << 1 << false;
    QTest::newRow("folder synced, before the removal")      << "unlink"    << 1 << false;
    QTest::newRow("damaged: tape named, before set aside")  << "renameat2" << 3 << true;
    // clang-format on
}

// A recovery killed at each of its steps (strace's fault injection), then the next start:
// one tape file, whole, named at that start, and no journal, marker or temporary left.
void TestJournal::killedRecoveryGivesEachTapeOnce() {
#ifndef Q_OS_LINUX
    QSKIP("strace's fault injection is for Linux");
#endif
    QFETCH(QString, call);
    QFETCH(int, when);
    QFETCH(bool, damaged);
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty())
        TAPECALC_MISSING("strace is not installed (tools/setup.sh installs it)");
    Folder folder;
    QByteArray bytes = QByteArray::fromStdString(std::string(journal::header) +
                                                 journal::changeRecord({0, 0, u"5\n+\n3\n×\n"}));
    if (damaged)
        bytes += QByteArray::fromStdString(journal::changeRecord({0, 0, u"1\n"})).chopped(1) + "XX";
    folder.write(".tapecalc-journal-999999990", bytes);
    QProcess traced;
    traced.start(strace, {"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + call, "-e",
                          QStringLiteral("inject=%1:signal=KILL:when=%2").arg(call).arg(when),
                          QCoreApplication::applicationFilePath(), "--recover", folder.data()});
    QVERIFY(traced.waitForFinished(30000));
    const QByteArray errors = traced.readAllStandardError();
    if (errors.contains("ptrace") || errors.contains("not permitted"))
        TAPECALC_MISSING(qPrintable("strace cannot trace here: " + QString::fromLocal8Bit(errors)));
    // strace ends itself by the signal that ended the traced child.
    QVERIFY2(traced.exitStatus() == QProcess::CrashExit && traced.exitCode() == 9,
             "the recovery was not killed");

    removeLeftoverTemporaries(folder.data());
    const Recovery next = recoverJournals(folder.data(), moment);
    QCOMPARE(folder.tapes().size(), 1);
    QCOMPARE(next.tapes, folder.tapes()); // named at this start, even when made at the last
    QCOMPARE(decodeTapeText(folder.read(folder.tapes()[0])), "5\r\n+\r\n3\r\n×\r\n");
    QCOMPARE(folder.names(".tapecalc-*"), damaged ? folder.aside() : QStringList());
    QCOMPARE(next.left, folder.aside());
}

// A journal whose lock is held (another window of this process) stays as it is; once its
// object ends, the next start recovers it.
void TestJournal::liveJournalIsLeftAlone() {
    Folder folder;
    auto live = std::make_unique<TapeJournal>(folder.data());
    live->follow("5\n+\n");
    const QStringList journals = folder.journals();
    const QByteArray bytes = folder.read(journals.value(0));
    QCOMPARE(recoverJournals(folder.data(), moment).tapes, QStringList());
    QCOMPARE(folder.journals(), journals);
    QCOMPARE(folder.read(journals.value(0)), bytes);
    live->follow("5\n+\n2\n");
    QCOMPARE(viewOf(folder.replayed()), "5\n+\n2\n");
    live.reset();
    QCOMPARE(recoverJournals(folder.data(), moment).tapes, QStringList{tapeFileName(moment)});
    QCOMPARE(folder.journals(), QStringList());
}

// A tape keyed, the folder made read-only, the tape cleared (AC) and another keyed, then
// kill -9: the next start brings back the second tape, never the cleared one.
void TestJournal::aClearInAReadOnlyFolderStaysCleared() {
#ifdef Q_OS_UNIX          // a folder's read-only flag on Windows says nothing about its files
    if (::geteuid() == 0) // an administrator removes names from any folder
        return runAsNobody("aClearInAReadOnlyFolderStaysCleared");
    Folder folder;
    QProcess keyed;
    keyed.start(QCoreApplication::applicationFilePath(), {"--clear-read-only", folder.data()});
    QVERIFY(keyed.waitForFinished(30000));
    QCOMPARE(keyed.exitStatus(), QProcess::CrashExit);
    QCOMPARE(::chmod(QFile::encodeName(folder.data()).constData(), 0755), 0);
    QCOMPARE(recoverJournals(folder.data(), moment).tapes.size(), 1);
    QCOMPARE(decodeTapeText(folder.read(folder.tapes().value(0))), "3\r\n+\r\n4\r\n+\r\n");
#endif
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
#ifdef Q_OS_UNIX
    // The keys of aClearInAReadOnlyFolderStaysCleared, ended by kill -9.
    if (argc == 3 && qstrcmp(argv[1], "--clear-read-only") == 0) {
        TapeJournal journal(QString::fromLocal8Bit(argv[2]));
        journal.follow("1\n+\n2\n+\n");
        ::chmod(argv[2], 0555);
        journal.follow("");
        journal.follow("3\n+\n4\n+\n");
        ::kill(::getpid(), SIGKILL);
    }
#endif
    // The recovery alone, for strace to kill it (killedRecoveryGivesEachTapeOnce).
    if (argc == 3 && qstrcmp(argv[1], "--recover") == 0)
        return static_cast<int>(
            recoverJournals(QString::fromLocal8Bit(argv[2]), moment).tapes.size());
    TestJournal test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_journal.moc"
