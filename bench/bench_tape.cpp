// Opening a tape of 30,001 lines with its recomputed total, and saving it; the journal's
// part of a key at that length.
#include "bench/fulltape.h"
#include "store/journal.h"
#include "store/tapefiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace tapecalc;

namespace {
const QDateTime moment(QDate(2026, 12, 6), QTime(16, 58, 7));
}

static void BM_OpenFullTape(benchmark::State &state) {
    QTemporaryDir dir;
    Calculator calc;
    fillTape(calc);
    if (saveTape(calc, dir.path(), moment, {}) != SaveOutcome::savedNew)
        state.SkipWithError("could not save the tape");
    const QString name = QFileInfo(QString::fromStdString(calc.currentTapeFile)).fileName();
    for (auto _ : state) {
        Calculator opened;
        openSelectedTape(opened, dir.path(), name);
        benchmark::DoNotOptimize(opened.runningTotal);
        if (opened.lineNumber != tapeSlots)
            state.SkipWithError("the tape did not open whole");
    }
}
BENCHMARK(BM_OpenFullTape)->Unit(benchmark::kMillisecond);

static void BM_SaveFullTapeNew(benchmark::State &state) {
    QTemporaryDir dir;
    Calculator calc;
    fillTape(calc);
    for (auto _ : state) {
        calc.currentTapeFile.clear();
        if (saveTape(calc, dir.path(), moment, {}) != SaveOutcome::savedNew)
            state.SkipWithError("save failed");
        state.PauseTiming();
        QFile::remove(QString::fromStdString(calc.currentTapeFile));
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveFullTapeNew)->Unit(benchmark::kMillisecond);

static void BM_SaveFullTapeBack(benchmark::State &state) {
    QTemporaryDir dir;
    Calculator calc;
    fillTape(calc);
    saveTape(calc, dir.path(), moment, {});
    const QString view = QString::fromStdString(calc.shown.text2);
    for (auto _ : state) {
        if (saveTape(calc, dir.path(), moment, view) != SaveOutcome::savedBack)
            state.SkipWithError("save back failed");
    }
}
BENCHMARK(BM_SaveFullTapeBack)->Unit(benchmark::kMillisecond);

// What the journal adds to a key at a full tape (target: under 1 ms): the view compared
// with the one before, and the change written to the file. Two views that differ in
// their last line, as after a correction of the last line.
static void BM_JournalKeyFullTape(benchmark::State &state) {
    QTemporaryDir dir;
    Calculator calc;
    fillTape(calc);
    const QString view = QString::fromStdString(calc.shown.text2).replace("\r\n", "\n");
    const QString views[2] = {view + "7\n+\n", view + "8.25\n×\n"};
    TapeJournal journal(dir.path());
    journal.follow(view);
    if (journal.path().isEmpty())
        state.SkipWithError("no journal file");
    std::size_t key = 0;
    for (auto _ : state)
        journal.follow(views[key++ % 2]);
    journal.discard();
}
BENCHMARK(BM_JournalKeyFullTape)->Unit(benchmark::kMicrosecond);
