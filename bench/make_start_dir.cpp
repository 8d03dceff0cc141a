// Makes a start directory for the benchmarks.
//   make_start_dir DIR           1000 events from yesterday to 99 days ahead of today, and a
//                                holiday file with all 25 calendar days on
//   make_start_dir DIR FILE      the events of an import file (CSV, Tavik4 or Tavik3), read as
//                                the Import page reads it and stored as the data file
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "bench/bench_tables.h"
#include "exchange/import_reader.h"
#include "platform/posix/posix_files.h"
#include "store/data_file.h"
#include "store/failure.h"
#include "store/settings_store.h"

int main(int argc, char** argv) {
  using namespace tavik;
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: %s DIR [IMPORT_FILE]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  PosixFiles files;
  auto table = std::make_unique<EventTable>();
  try {
    if (argc == 3) {
      const std::string bytes = readFileBytes(files, argv[2], kImportSizeLimit);
      const ImportResult result = readImportBytes(bytes, [](const std::string&) { return true; });
      if (!result.succeeded) {
        std::fprintf(stderr, "%s: %s\n", argv[2], result.status().c_str());
        return 1;
      }
      const StoreOutcome stored = storeCandidates(*table, result.candidates);
      std::printf("%d events from %s\n", stored.stored, argv[2]);
    } else {
      const std::time_t now = std::time(nullptr);
      std::tm local{};
      localtime_r(&now, &local);
      const DayNumber today = *makeDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
      *table = bench::tableOf(kSlotCount, today);
      saveHolidaySelection(files, dir + "/" + kHolidayFileName, bench::allDays());
      std::printf("%d events within 99 days of today, all calendar days on\n", kSlotCount);
    }
    DataFile(dir + "/" + kDataFileName).save(files, *table);
  } catch (const Failure& e) {
    std::fprintf(stderr, "%s: %s.\n", dir.c_str(), e.userMessage().c_str());
    return 1;
  }
  return 0;
}
