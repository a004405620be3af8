// The journal's records against the changes that wrote them: random changes replayed
// whole, cut at every byte, and damaged in every record; the bound on a replay's work.
#include "core/journalformat.h"

#include <QTest>

#include <algorithm>
#include <random>
#include <vector>

using namespace tapecalc;

class TestJournalFormat : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void replayGivesTheStateAfterTheLastWholeRecord();
    void singleUnitsTypedAtTheStartReplayWhole();
};

// Each journal is random changes (a surrogate pair and line ends among the units) and
// kept marks; the oracle is the text the changes were applied to, after each record.
void TestJournalFormat::replayGivesTheStateAfterTheLastWholeRecord() {
    static const std::u16string units = u"0123456789.+-×÷\n \U0001F600";
    std::mt19937 random(21);
    for (int session = 0; session < 100; ++session) {
        std::string bytes(journal::header);
        std::vector<std::size_t> ends{bytes.size()}; // the size after n records
        std::vector<std::u16string> views{u""};
        std::vector<bool> kept{false};
        for (int r = 0; r < 1 + session % 30; ++r) {
            std::u16string view = views.back();
            kept.push_back(random() % 8 == 0);
            if (kept.back()) {
                bytes += journal::keptRecord();
            } else {
                const auto at = static_cast<std::uint32_t>(random() % (view.size() + 1));
                const auto removed = static_cast<std::uint32_t>(random() % (view.size() - at + 1));
                std::u16string inserted(random() % 6, u'0');
                for (char16_t &c : inserted)
                    c = units[random() % units.size()];
                bytes += journal::changeRecord({at, removed, inserted});
                view.replace(at, removed, inserted);
            }
            ends.push_back(bytes.size());
            views.push_back(view);
        }
        const auto isStateAfter = [&](const journal::Replayed &read, std::size_t n) {
            return read.records == n && read.view == views[n] && read.kept == kept[n] &&
                   read.usedBytes == ends[n];
        };
        std::size_t whole = 0;
        for (std::size_t cut = ends[0]; cut <= bytes.size(); ++cut) {
            while (whole + 1 < ends.size() && ends[whole + 1] <= cut)
                ++whole;
            const journal::Replayed read = journal::replay(std::string_view(bytes).substr(0, cut));
            QVERIFY(isStateAfter(read, whole));
            QCOMPARE(read.whole, ends[whole] == cut);
        }
        for (std::size_t n = 0; n + 1 < ends.size(); ++n) {
            std::string damaged = bytes;
            const std::size_t at = ends[n] + random() % (ends[n + 1] - ends[n]);
            damaged[at] = static_cast<char>(damaged[at] ^ (1 + random() % 255));
            QVERIFY(isStateAfter(journal::replay(damaged), n));
            // A bad checksum: a torn end when it is the last record, damage before others.
            std::string badSum = bytes;
            badSum[ends[n] + 4] = static_cast<char>(badSum[ends[n] + 4] ^ 1);
            const journal::Replayed read = journal::replay(badSum);
            QVERIFY(isStateAfter(read, n));
            QCOMPARE(read.damaged, n + 2 < ends.size());
        }
    }
    QVERIFY(journal::replay("no journal").view.empty());
}

// 8 MB of single units typed at the start replay whole: the work grows with the bytes.
// (A journal of more work than a replay may do: store/tests/tst_journal's hostile ones.)
void TestJournalFormat::singleUnitsTypedAtTheStartReplayWhole() {
    std::string top(journal::header);
    std::u16string typed;
    while (top.size() < 8'000'000) {
        const char16_t unit = static_cast<char16_t>(u'0' + typed.size() % 10);
        top += journal::changeRecord({0, 0, std::u16string_view(&unit, 1)});
        typed += unit;
    }
    std::reverse(typed.begin(), typed.end()); // each unit went in before the ones typed earlier
    const journal::Replayed read = journal::replay(top);
    QVERIFY(read.whole && !read.damaged);
    QVERIFY(read.view == typed);
}

QTEST_APPLESS_MAIN(TestJournalFormat)
#include "tst_journalformat.moc"
