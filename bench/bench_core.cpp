// One operator action, including the rebuild of the tape view, with a full tape.
#include "bench/fulltape.h"

#include <benchmark/benchmark.h>

using namespace tapecalc;

// Records the tape's last line each time (slot 30000), so every rebuild walks 30,001 lines.
static void BM_OperatorRecordsLastLine(benchmark::State &state) {
    Calculator calc;
    NoRequests out;
    fillTape(calc);
    for (auto _ : state) {
        calc.lineNumber = tapeSlots - 1;
        calc.shown.text1 = "12.5";
        benchmark::DoNotOptimize(operatorAction(calc, out, Operator::multiply));
    }
    state.counters["view_bytes"] = static_cast<double>(calc.shown.text2.size());
}
BENCHMARK(BM_OperatorRecordsLastLine)->Unit(benchmark::kMillisecond);

// Past the full tape: the key is refused, and nothing is recomputed or rebuilt.
static void BM_OperatorPastFullTape(benchmark::State &state) {
    Calculator calc;
    NoRequests out;
    fillTape(calc);
    for (auto _ : state) {
        calc.shown.text1 = "1";
        benchmark::DoNotOptimize(operatorAction(calc, out, Operator::add));
    }
}
BENCHMARK(BM_OperatorPastFullTape)->Unit(benchmark::kMillisecond);

static void BM_EqualsRecordsLastLine(benchmark::State &state) {
    Calculator calc;
    NoRequests out;
    fillTape(calc);
    for (auto _ : state) {
        calc.lineNumber = tapeSlots - 1;
        calc.shown.text1 = "3";
        benchmark::DoNotOptimize(equalsAction(calc, out, EqualsForm::key));
    }
}
BENCHMARK(BM_EqualsRecordsLastLine)->Unit(benchmark::kMillisecond);
