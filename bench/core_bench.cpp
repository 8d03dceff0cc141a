// The core paths besides the countdown rebuild, over 0, 100 and 1000 events: the export list,
// reading import files with their detection, writing the four export formats, and loading and
// saving the data file.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/bench_tables.h"
#include "bench/scratch_dir.h"
#include "exchange/export_list.h"
#include "exchange/export_writer.h"
#include "exchange/import_reader.h"
#include "platform/posix/posix_files.h"
#include "store/data_file.h"

namespace {

using namespace tavik;

const DayNumber kToday = *makeDayNumber(2006, 12, 15);

std::vector<EventRecord> recordsOf(int count) {
  const EventTable table = bench::tableOf(count, kToday);
  std::vector<EventRecord> records;
  for (int slot = 1; slot <= count; ++slot) records.push_back(table.record(slot));
  return records;
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
}

void BM_ExportList(benchmark::State& state) {
  const EventTable table = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  for (auto _ : state) benchmark::DoNotOptimize(buildExportList(table));
}
BENCHMARK(BM_ExportList)->Apply(sizes);

// readImportFile as the Import page calls it: probe, detect, read every line or record.
void readImport(benchmark::State& state, ExportFormat writtenAs) {
  const bench::ScratchDir dir;
  const std::vector<EventRecord> records = recordsOf(static_cast<int>(state.range(0)));
  dir.write("import", exportFileBytes(records, writtenAs));
  PosixFiles files;
  std::size_t candidates = 0;
  for (auto _ : state) {
    const ImportResult result = readImportFile(files, dir.file("import"), nullptr);
    candidates = result.candidates.size();
    benchmark::DoNotOptimize(result);
  }
  state.counters["candidates"] = static_cast<double>(candidates);
}

void BM_ImportCsv(benchmark::State& state) {
  readImport(state, ExportFormat::Csv);
}
BENCHMARK(BM_ImportCsv)->Apply(sizes);

void BM_ImportTavik4(benchmark::State& state) {
  readImport(state, ExportFormat::Dat);
}
BENCHMARK(BM_ImportTavik4)->Apply(sizes);

// The file's bytes only, and the whole write into a file (synced and renamed into place).
void BM_ExportBytes(benchmark::State& state) {
  const std::vector<EventRecord> records = recordsOf(static_cast<int>(state.range(1)));
  const auto format = static_cast<ExportFormat>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(exportFileBytes(records, format));
}

void BM_ExportFile(benchmark::State& state) {
  const bench::ScratchDir dir;
  const std::vector<EventRecord> records = recordsOf(static_cast<int>(state.range(1)));
  const auto format = static_cast<ExportFormat>(state.range(0));
  PosixFiles files;
  for (auto _ : state) writeExportFile(files, dir.file("export"), records, format);
}

void formatsAndSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"format", "events"});
  for (int format = 0; format < 5; ++format) {
    for (int events : {0, 100, 1000}) b->Args({format, events});
  }
  b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_ExportBytes)->Apply(formatsAndSizes);
BENCHMARK(BM_ExportFile)->Apply(formatsAndSizes);

void BM_DataFileLoad(benchmark::State& state) {
  const bench::ScratchDir dir;
  PosixFiles files;
  DataFile(dir.file(kDataFileName))
      .save(files, bench::tableOf(static_cast<int>(state.range(0)), kToday));
  for (auto _ : state) {
    auto table = std::make_unique<EventTable>();
    DataFile file(dir.file(kDataFileName));
    file.load(files, *table);
    benchmark::DoNotOptimize(table->usedCount());
  }
}
BENCHMARK(BM_DataFileLoad)->Apply(sizes);

void BM_DataFileSave(benchmark::State& state) {
  const bench::ScratchDir dir;
  PosixFiles files;
  const EventTable table = bench::tableOf(static_cast<int>(state.range(0)), kToday);
  DataFile file(dir.file(kDataFileName));
  for (auto _ : state) file.save(files, table);
}
BENCHMARK(BM_DataFileSave)->Apply(sizes);

}  // namespace
