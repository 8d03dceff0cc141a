// The calendar sync of 1000 events against a calendar held in memory, so what is measured is
// the sync's own work (reading, hashing, deciding, writing iCalendar), not a network.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_tables.h"
#include "sync/calendar_sync.h"
#include "tests/support/memory_calendar.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2026, 12, 10);

SyncOptions options() {
  SyncOptions o;
  o.collection = "http://127.0.0.1:5232/anna/tavik/";
  o.today = kToday;
  o.nowUnixSeconds = 1796890440;
  return o;
}

// The first sync of a full table with an empty collection: 1000 uploads.
void BM_FirstSyncUpload(benchmark::State& state) {
  const auto table = std::make_unique<EventTable>(bench::tableOf(1000, kToday));
  for (auto _ : state) {
    test::MemoryCalendar server;
    const SyncResult r = syncCalendar(*table, SyncState{}, server, options());
    if (r.report.uploaded != 1000) state.SkipWithError("not every event uploaded");
  }
}
BENCHMARK(BM_FirstSyncUpload)->Unit(benchmark::kMillisecond);

// The first sync of an empty table with a collection of 1000 events: 1000 downloads.
void BM_FirstSyncDownload(benchmark::State& state) {
  const auto full = std::make_unique<EventTable>(bench::tableOf(1000, kToday));
  test::MemoryCalendar server;
  syncCalendar(*full, SyncState{}, server, options());
  const auto empty = std::make_unique<EventTable>();
  for (auto _ : state) {
    const SyncResult r = syncCalendar(*empty, SyncState{}, server, options());
    if (r.report.added != 1000) state.SkipWithError("not every event added");
  }
}
BENCHMARK(BM_FirstSyncDownload)->Unit(benchmark::kMillisecond);

// A sync of 1000 agreed events with nothing changed: one listing, nothing fetched or written.
void BM_SyncNothingChanged(benchmark::State& state) {
  const auto table = std::make_unique<EventTable>(bench::tableOf(1000, kToday));
  test::MemoryCalendar server;
  SyncResult first = syncCalendar(*table, SyncState{}, server, options());
  const int fetched = server.fetched;
  const int writes = server.writes;
  for (auto _ : state) {
    const SyncResult r = syncCalendar(*first.table, first.state, server, options());
    if (r.report.tableChanged) state.SkipWithError("the table changed");
  }
  if (server.fetched != fetched || server.writes != writes) {
    state.SkipWithError("a sync with nothing changed fetched or wrote");
  }
}
BENCHMARK(BM_SyncNothingChanged)->Unit(benchmark::kMillisecond);

}  // namespace
