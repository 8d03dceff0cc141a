// Text access of the event record.
#include "store/typs.h"

#include <algorithm>

namespace tavik {

std::string EventRecord::text() const {
  const std::size_t n = std::min<std::size_t>(textLength, kMaxTextLength);
  return std::string(reinterpret_cast<const char*>(textBytes.data()), n);
}

void EventRecord::setText(std::string_view bytes) {
  const std::size_t n = std::min(bytes.size(), kMaxTextLength);
  std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.data()), n, textBytes.begin());
  textLength = static_cast<std::uint8_t>(n);
}

}  // namespace tavik
