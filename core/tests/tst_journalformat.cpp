// The journal's records against the changes that wrote them: random changes replayed,
// the journal cut at every byte, and every byte of it damaged in turn.
#include "core/journalformat.h"

#include <QTest>

#include <random>
#include <vector>

using namespace tapecalc;

namespace {

// Random changes of a text, with the text after each; units beyond ASCII included, a
// surrogate pair among them.
struct Session {
    std::string bytes{journal::header};
    std::vector<std::size_t> ends;     // the journal's size after each record
    std::vector<std::u16string> views; // the view after each record
    std::vector<bool> kept;
};

Session randomSession(std::mt19937 &random, int records) {
    static const std::u16string alphabet = u"0123456789.+-×÷\n \U0001F600";
    Session s;
    std::u16string view;
    bool kept = false;
    for (int r = 0; r < records; ++r) {
        if (random() % 8 == 0) {
            s.bytes += journal::keptRecord();
            kept = true;
        } else {
            const auto position = static_cast<std::uint32_t>(random() % (view.size() + 1));
            const auto removed =
                static_cast<std::uint32_t>(random() % (view.size() - position + 1));
            std::u16string inserted(random() % 6, u'0');
            for (char16_t &c : inserted)
                c = alphabet[random() % alphabet.size()];
            s.bytes += journal::changeRecord({position, removed, inserted});
            view.replace(position, removed, inserted);
            kept = false;
        }
        s.ends.push_back(s.bytes.size());
        s.views.push_back(view);
        s.kept.push_back(kept);
    }
    return s;
}

// The state after the first `n` records.
bool isStateAfter(const journal::Replayed &r, const Session &s, std::size_t n) {
    return r.records == n && r.view == (n == 0 ? u"" : s.views[n - 1]) &&
           r.kept == (n > 0 && s.kept[n - 1]) &&
           r.usedBytes == (n == 0 ? journal::header.size() : s.ends[n - 1]);
}

} // namespace

class TestJournalFormat : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void replayGivesTheChangedText();
    void cutJournalGivesItsWholeRecords();
    void damagedRecordEndsTheReplay();
};

void TestJournalFormat::replayGivesTheChangedText() {
    std::mt19937 random(21);
    for (int session = 0; session < 200; ++session) {
        const Session s = randomSession(random, 1 + session % 40);
        const journal::Replayed r = journal::replay(s.bytes);
        QVERIFY(r.whole);
        QVERIFY(isStateAfter(r, s, s.views.size()));
    }
    QVERIFY(journal::replay("no journal").view.empty());
}

void TestJournalFormat::cutJournalGivesItsWholeRecords() {
    std::mt19937 random(22);
    const Session s = randomSession(random, 60);
    std::size_t whole = 0;
    for (std::size_t cut = journal::header.size(); cut <= s.bytes.size(); ++cut) {
        while (whole < s.ends.size() && s.ends[whole] <= cut)
            ++whole;
        const journal::Replayed r = journal::replay(std::string_view(s.bytes).substr(0, cut));
        QVERIFY2(isStateAfter(r, s, whole), qPrintable(QString::number(cut)));
        QCOMPARE(r.whole, r.usedBytes == cut);
    }
}

void TestJournalFormat::damagedRecordEndsTheReplay() {
    std::mt19937 random(23);
    const Session s = randomSession(random, 40);
    std::size_t record = 0;
    for (std::size_t at = journal::header.size(); at < s.bytes.size(); ++at) {
        while (s.ends[record] <= at)
            ++record;
        std::string damaged = s.bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ (1 + random() % 255));
        QVERIFY2(isStateAfter(journal::replay(damaged), s, record),
                 qPrintable(QString::number(at)));
    }
}

QTEST_APPLESS_MAIN(TestJournalFormat)
#include "tst_journalformat.moc"
