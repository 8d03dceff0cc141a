// computeView over 0, 100 and 1000 events, every one inside a 99-day window, with all 25
// calendar days switched on; over 1000 events a third of which hold texts in other scripts; and
// over 1000 events half of which have a kind and a lead time, with anniversaries in words.
#include <benchmark/benchmark.h>

#include "bench/bench_tables.h"
#include "dates/countdown.h"
#include "store/record_extension.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2006, 12, 15);

void rebuild(benchmark::State& state, EventTable& table,
             const Settings& settings = Settings{.anzdays = 99, .prior = 2},
             bool firstRebuild = false) {
  const HolidaySelection holidays = bench::allDays();
  std::size_t lines = 0;
  for (auto _ : state) {
    ViewResult view = computeView(table, settings, holidays, kToday, firstRebuild);
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

// Every second event gets a kind (1..6 in turn) and a lead time (1..99); the first rebuild, so
// that lead days reached today are announced.
void BM_ComputeViewKindsAndLeadTimes(benchmark::State& state) {
  EventTable table = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  for (int slot = 1; slot <= static_cast<int>(state.range(0)); slot += 2) {
    EventRecord r = table.record(slot);
    giveExtension(r);
    setKind(r, static_cast<std::uint8_t>(slot / 2 % 6 + 1));
    setLeadDays(r, static_cast<std::uint8_t>(slot / 2 % 99 + 1));
    table.storeRecord(slot, r);
  }
  rebuild(state, table, Settings{.anzdays = 99, .prior = 2, .inworten = 1}, true);
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

BENCHMARK(BM_ComputeViewKindsAndLeadTimes)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace
