// computeView over 0, 100 and 1000 events, every one inside a 99-day window, with all 25
// calendar days switched on; and over 1000 events a third of which hold texts in other scripts.
#include <benchmark/benchmark.h>

#include "bench/bench_tables.h"
#include "dates/countdown.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2006, 12, 15);

void rebuild(benchmark::State& state, EventTable& table) {
  const HolidaySelection holidays = bench::allDays();
  const Settings settings{.anzdays = 99, .prior = 2};
  std::size_t lines = 0;
  for (auto _ : state) {
    ViewResult view = computeView(table, settings, holidays, kToday, false);
    lines = view.lines.size();
    benchmark::DoNotOptimize(view);
  }
  state.counters["lines"] = static_cast<double>(lines);
}

void BM_ComputeView(benchmark::State& state) {
  // No event has autoDelete set, so the table stays as it is between rebuilds.
  EventTable table = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  rebuild(state, table);
}

void BM_ComputeViewMixedScripts(benchmark::State& state) {
  EventTable table = bench::mixedScriptTableOf(static_cast<int>(state.range(0)), kToday);
  rebuild(state, table);
}

BENCHMARK(BM_ComputeView)
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

BENCHMARK(BM_ComputeViewMixedScripts)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace
