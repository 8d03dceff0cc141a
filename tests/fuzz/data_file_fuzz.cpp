// Any data file loads without a crash; every record read is saved byte for byte as it came.
#include <cstdlib>
#include <cstring>

#include "store/data_file.h"
#include "store/failure.h"
#include "tests/fuzz/memory_files.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::MemoryFiles files;
  files.files["d"] = std::string(reinterpret_cast<const char*>(data), size);
  DataFile file("d");
  EventTable table;
  bool failed = false;
  try {
    file.load(files, table);
  } catch (const FileError& e) {
    failed = true;
    if (e.errorNumber() != kReadPastEnd) std::abort();
  }
  if (!files.allClosed()) std::abort();
  const std::size_t whole = std::min<std::size_t>(size / kRecordSize, kSlotCount);
  if (failed != (size % kRecordSize != 0 && size / kRecordSize < kSlotCount)) std::abort();

  // The records in the file, free-slot images left out, must come back unchanged.
  std::string expected;
  for (std::size_t i = 0; i < whole; ++i) {
    const char* record = reinterpret_cast<const char*>(data) + i * kRecordSize;
    double date;
    std::memcpy(&date, record, sizeof date);  // the fuzz host is little-endian
    if (date != 0.0) expected.append(record, kRecordSize);
  }
  file.save(files, table);
  if (files.files["d"] != expected) std::abort();
  if (file.loadWasIncomplete()) std::abort();
  const bool wantBackup = size > whole * kRecordSize;
  if (wantBackup != files.files.count("d.bak")) std::abort();
  if (wantBackup && files.files["d.bak"] != std::string(reinterpret_cast<const char*>(data), size))
    std::abort();
  return 0;
}
