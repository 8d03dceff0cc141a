// Any help file splits into lines without a CR, ends at the first Ctrl-Z, and the lines give
// back the text with only the line breaks taken out.
#include <cstdlib>
#include <string>

#include "store/help_text.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string_view text = bytes.substr(0, bytes.find('\x1a'));
  const std::vector<std::string_view> lines = helpTextLines(bytes);

  // The text with every CR and the one LF right after it taken out, and its count of lines.
  std::string unbroken;
  std::size_t breaks = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      unbroken += text[i];
      continue;
    }
    ++breaks;
    if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
  }
  const bool openLastLine =
      !text.empty() && text.back() != '\r' && !(text.size() >= 2 && text.ends_with("\r\n"));
  if (lines.size() != breaks + (openLastLine ? 1 : 0)) std::abort();

  std::string joined;
  const char* previousEnd = text.data();
  for (const std::string_view line : lines) {
    if (line.find('\r') != std::string_view::npos) std::abort();
    if (line.find('\x1a') != std::string_view::npos) std::abort();
    // Each line views into the text, after the line before it.
    if (line.data() < previousEnd || line.data() + line.size() > text.data() + text.size()) {
      std::abort();
    }
    previousEnd = line.data() + line.size();
    joined += line;
  }
  if (joined != unbroken) std::abort();
  return 0;
}
