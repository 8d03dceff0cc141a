// Splitting help files into lines.
#include "store/help_text.h"

namespace tavik {

namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kEndOfText = 26;

}  // namespace

std::vector<std::string_view> helpTextLines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find(kEndOfText));
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t cr = bytes.find(kCr, start);
    if (cr == std::string_view::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, cr - start));
    start = cr + 1;
    if (start < bytes.size() && bytes[start] == kLf) ++start;
  }
  return lines;
}

}  // namespace tavik
