// Any bytes read as a sync state give no state or a state that is written and read back the
// same.
#include <cstdlib>
#include <string>

#include "sync/sync_state.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto state = parseSyncState(bytes);
  if (!state) return 0;
  for (const SyncResource& r : state->resources) {
    if (r.href.empty()) std::abort();
    if (r.status == ResourceStatus::Event && (!r.uid || r.hash.size() != 16)) std::abort();
  }
  const std::string text = syncStateText(*state);
  const auto again = parseSyncState(text);
  if (!again || *again != *state || syncStateText(*again) != text) std::abort();
  return 0;
}
