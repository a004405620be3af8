// The journal of the tape being keyed, on a temporary folder: what follow, edited and
// kept write is read back with the core's replay against the views they were given, and
// the recovery at start turns the journals of ended copies into tape files. The journal
// under a real window, ended by 退出, Esc and signals, is ui/tests/tst_journal_window.
#include "core/journalformat.h"
#include "core/tapeformat.h"
#include "store/journal.h"
#include "store/tapefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <random>

using namespace tapecalc;

namespace {

const QDateTime moment(QDate(2026, 12, 6), QTime(16, 58, 7));

struct Folder {
    QTemporaryDir dir;
    QString data() const { return dir.filePath("shujucuncu"); }
    QStringList names(const QString &pattern) const {
        return QDir(data()).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
    }
    QStringList journals() const { return names(".tapecalc-journal-*"); }
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
    void recover_data();
    void recover();
    void damagedJournalsRecoverWhatTheyCan();
    void liveJournalIsLeftAlone();
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

// kept() says the view is in a file, once; a change after it takes the mark back. Once
// the changes outweigh the tape, kept() starts the file over from the view.
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

    // A line corrected back and forth: small records that grow the file past the tape.
    for (int i = 0; i < 8000; ++i) {
        view[0] = QChar(u'1' + i % 9);
        journal.follow(view);
    }
    const qint64 grown = folder.read(folder.journals()[0]).size();
    journal.kept();
    const QByteArray started = folder.read(folder.journals()[0]);
    QVERIFY2(started.size() < grown / 10, QByteArray::number(started.size()));
    const journal::Replayed replayed = journal::replay(started.toStdString());
    QCOMPARE(viewOf(replayed), view);
    QVERIFY(replayed.kept && replayed.whole);
    QCOMPARE(replayed.records, std::size_t(2)); // the whole view and the mark
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
    const QStringList recovered = recoverJournals(folder.data(), moment);
    QCOMPARE(folder.journals(), QStringList());
    QCOMPARE(recovered.size(), tape.isEmpty() ? 0 : 1);
    QCOMPARE(folder.tapes().size(), 1 + recovered.size());
    QCOMPARE(folder.read(tapeFileName(moment)), "an earlier tape");
    if (!tape.isEmpty())
        QCOMPARE(decodeTapeText(folder.read(recovered[0])), tape);
}

// Cut inside its last record, damaged inside its first one with a whole record after, no
// journal at all, each of a process that is gone: the tape up to the last whole record
// before the fault, so one tape; all three go.
void TestJournal::damagedJournalsRecoverWhatTheyCan() {
    Folder folder;
    const std::u16string first = u"5\n+\n";
    const QByteArray whole = QByteArray::fromStdString(std::string(journal::header) +
                                                       journal::changeRecord({0, 0, first}) +
                                                       journal::changeRecord({4, 0, u"3\n×\n"}));
    QByteArray damaged = whole;
    damaged[journal::header.size() + 10] = 'X';
    folder.write(".tapecalc-journal-999999991", whole.chopped(3));
    folder.write(".tapecalc-journal-999999992", damaged);
    folder.write(".tapecalc-journal-999999993", "no journal");
    folder.write(".tapecalc-journal-notapid", whole); // no journal's name: left alone

    const QStringList recovered = recoverJournals(folder.data(), moment);
    QCOMPARE(folder.journals(), QStringList{".tapecalc-journal-notapid"});
    QCOMPARE(recovered, folder.tapes());
    QCOMPARE(recovered.size(), 1);
    QCOMPARE(decodeTapeText(folder.read(recovered[0])), "5\r\n+\r\n");
}

// A journal whose lock is held (another window of this process) stays as it is; once its
// object ends, the next start recovers it.
void TestJournal::liveJournalIsLeftAlone() {
    Folder folder;
    auto live = std::make_unique<TapeJournal>(folder.data());
    live->follow("5\n+\n");
    const QStringList journals = folder.journals();
    const QByteArray bytes = folder.read(journals.value(0));
    QCOMPARE(recoverJournals(folder.data(), moment), QStringList());
    QCOMPARE(folder.journals(), journals);
    QCOMPARE(folder.read(journals.value(0)), bytes);
    live->follow("5\n+\n2\n");
    QCOMPARE(viewOf(folder.replayed()), "5\n+\n2\n");
    live.reset();
    QCOMPARE(recoverJournals(folder.data(), moment), QStringList{tapeFileName(moment)});
    QCOMPARE(folder.journals(), QStringList());
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
