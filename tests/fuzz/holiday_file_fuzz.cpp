// Any holiday file loads without a crash: 51 bytes or more are taken as they are, less fail.
#include <cstdlib>
#include <cstring>

#include "store/failure.h"
#include "store/settings_store.h"
#include "tests/fuzz/memory_files.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::MemoryFiles files;
  files.files["h"] = std::string(reinterpret_cast<const char*>(data), size);
  HolidaySelection selection;
  selection.bytes.fill(0xEE);
  try {
    loadHolidaySelection(files, "h", selection);
  } catch (const FileError& e) {
    if (size >= kHolidaySelectionSize || e.errorNumber() != kReadPastEnd) std::abort();
    for (const std::uint8_t b : selection.bytes) {
      if (b != 0xEE) std::abort();  // a failed load leaves the selection alone
    }
    return 0;
  }
  if (size < kHolidaySelectionSize) std::abort();
  if (std::memcmp(selection.bytes.data(), data, kHolidaySelectionSize) != 0) std::abort();
  if (!files.allClosed()) std::abort();
  return 0;
}
