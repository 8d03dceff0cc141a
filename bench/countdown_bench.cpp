// computeView over 0, 100 and 1000 events, every one inside a 99-day window, with all 25
// calendar days switched on.
#include <benchmark/benchmark.h>

#include <string>

#include "dates/countdown.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2006, 12, 15);

EventTable tableOf(int count) {
  EventTable table;
  for (int i = 0; i < count; ++i) {
    // Day differences -1..99 in turn, so that every event is listed.
    const Ymd day = *splitDayNumber(kToday + (i % 101 - 1));
    EventRecord r;
    r.date = toDouble(*makeDayNumber(1950 + i % 60, day.month, day.day));
    r.setText("Ereignis Nummer " + std::to_string(i + 1) + " mit etwas Text");
    r.withoutYear = i % 5 == 0 ? 1 : 0;
    r.computeJubilee = i % 3 == 0 ? 1 : 0;
    r.highPriority = i % 7 == 0 ? 1 : 0;
    table.storeRecord(i + 1, r);
  }
  return table;
}

HolidaySelection allDays() {
  HolidaySelection selection;
  selection.bytes[0] = 1;
  for (int b = kFirstPublicHolidayByte; b < kFirstPublicHolidayByte + kPublicHolidayCount; ++b) {
    selection.bytes[static_cast<std::size_t>(b)] = 1;
  }
  for (int b = kFirstOtherDayByte; b < kFirstOtherDayByte + kOtherDayCount; ++b) {
    selection.bytes[static_cast<std::size_t>(b)] = 1;
  }
  return selection;
}

void BM_ComputeView(benchmark::State& state) {
  // No event has autoDelete set, so the table stays as it is between rebuilds.
  EventTable table = tableOf(static_cast<int>(state.range(0)));
  const HolidaySelection holidays = allDays();
  const Settings settings{.anzdays = 99, .prior = 2};
  std::size_t lines = 0;
  for (auto _ : state) {
    ViewResult view = computeView(table, settings, holidays, kToday, false);
    lines = view.lines.size();
    benchmark::DoNotOptimize(view);
  }
  state.counters["lines"] = static_cast<double>(lines);
}

BENCHMARK(BM_ComputeView)
    ->Arg(0)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

}  // namespace
