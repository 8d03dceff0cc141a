// Any data file loads without a crash; every record read is saved byte for byte as it came, but
// for an extension text that no longer reads, which goes; a save that fails at any call leaves
// the file as it was, and nothing unread is ever lost.
#include <cstdlib>
#include <cstring>

#include "store/data_file.h"
#include "store/failure.h"
#include "store/record_extension.h"
#include "tests/fuzz/memory_files.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  fuzz::MemoryFiles files;
  files.files["d"] = original;
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

  // The records in the file, free-slot images left out, must come back unchanged but for an
  // unreadable extension text, and that only in the block's text part.
  std::string expected;
  for (std::size_t i = 0; i < whole; ++i) {
    const char* record = original.data() + i * kRecordSize;
    double date;
    std::memcpy(&date, record, sizeof date);  // the fuzz host is little-endian
    if (date == 0.0) continue;
    RecordImage image;
    std::memcpy(image.data(), record, kRecordSize);
    EventRecord decoded = decodeRecord(std::span<const std::uint8_t, kRecordSize>(image));
    if (dropUnreadableText(decoded)) image = encodeRecord(decoded);
    const std::size_t textPartAt = kRecordSize - kReservedSize + kTextCheckAt;
    if (std::memcmp(image.data(), record, textPartAt) != 0) std::abort();
    expected.append(reinterpret_cast<const char*>(image.data()), kRecordSize);
  }

  // The first save meets a failing call, chosen by the input's length; the old file stays whole
  // and no temporary file is left. The next save is the user's second try at closing.
  files.failCall(size % 23);
  try {
    file.save(files, table);
  } catch (const FileError&) {
    if (files.files["d"] != original) std::abort();
    if (files.anyTemporary()) std::abort();
    if (!files.allClosed()) std::abort();
    files.failCall(0);
    file.save(files, table);
  }
  if (files.files["d"] != expected) std::abort();
  if (file.loadWasIncomplete()) std::abort();
  const bool wantBackup = size > whole * kRecordSize;
  if (wantBackup != files.files.count("d.bak")) std::abort();
  if (wantBackup && files.files["d.bak"] != original) std::abort();
  if (files.files.size() != (wantBackup ? 2u : 1u) || !files.allClosed()) std::abort();
  return 0;
}
