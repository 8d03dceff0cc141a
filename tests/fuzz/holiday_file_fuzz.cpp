// Any holiday file loads without a crash: 51 bytes or more are taken as they are, less fail and
// leave the selection alone. Saving writes exactly the 51 bytes, or, failing at any call,
// leaves the file as it was; a file of another size is kept as "h.bak" before it is replaced.
#include <cstdlib>
#include <cstring>

#include "store/failure.h"
#include "store/settings_store.h"
#include "tests/fuzz/memory_files.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string original(reinterpret_cast<const char*>(data), size);
  fuzz::MemoryFiles files;
  files.files["h"] = original;
  HolidaySelection selection;
  selection.bytes.fill(0xEE);
  try {
    loadHolidaySelection(files, "h", selection);
  } catch (const FileError& e) {
    if (size >= kHolidaySelectionSize || e.errorNumber() != kReadPastEnd) std::abort();
    for (const std::uint8_t b : selection.bytes) {
      if (b != 0xEE) std::abort();
    }
    return 0;
  }
  if (size < kHolidaySelectionSize) std::abort();
  if (std::memcmp(selection.bytes.data(), data, kHolidaySelectionSize) != 0) std::abort();
  if (!files.allClosed()) std::abort();

  selection.bytes[0] ^= 1;  // the options page's switch
  const std::string saved(selection.bytes.begin(), selection.bytes.end());
  files.failCall(size % 13);
  bool savedAll = true;
  try {
    saveHolidaySelection(files, "h", selection);
    if (files.files["h"] != saved) std::abort();
  } catch (const FileError&) {
    if (files.files["h"] != original) std::abort();
    savedAll = false;
  }
  const bool backup = files.files.count("h.bak") == 1;
  if (backup && (size == kHolidaySelectionSize || files.files["h.bak"] != original)) std::abort();
  if (savedAll && size != kHolidaySelectionSize && !backup) std::abort();
  if (files.files.size() != (backup ? 2u : 1u) || files.anyTemporary() || !files.allClosed()) {
    std::abort();
  }
  return 0;
}
