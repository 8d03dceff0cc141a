// Byte-level text helpers.
#include "exchange/text_decode.h"

#include <algorithm>

#include "store/cp1252.h"

namespace tavik {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

bool startsWithUtf8Bom(std::string_view bytes) {
  return bytes.starts_with(kBom);
}

std::string_view withoutUtf8Bom(std::string_view bytes) {
  return startsWithUtf8Bom(bytes) ? bytes.substr(kBom.size()) : bytes;
}

bool isValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = p[i];
    if (b < 0x80) {
      ++i;
      continue;
    }
    std::size_t extra = 0;
    char32_t c = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      c = b & 0x07;
    } else {
      return false;
    }
    if (n - i <= extra) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    if (extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) return false;
    if (extra == 3 && (c < 0x10000 || c > 0x10FFFF)) return false;
    i += extra + 1;
  }
  return true;
}

bool hasNonAscii(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && startsWithIgnoreCase(a, b);
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (lower(s[i]) != lower(prefix[i])) return false;
  }
  return true;
}

bool containsIgnoreCase(std::string_view s, std::string_view part) {
  if (part.empty()) return true;
  for (std::size_t i = 0; i + part.size() <= s.size(); ++i) {
    if (startsWithIgnoreCase(s.substr(i), part)) return true;
  }
  return false;
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool beginsWithMarkerLine(std::string_view bytes, std::string_view marker) {
  std::string_view rest = withoutUtf8Bom(bytes);
  while (!rest.empty() && blank(rest.front())) rest.remove_prefix(1);
  if (!startsWithIgnoreCase(rest, marker)) return false;
  rest.remove_prefix(marker.size());
  // The marker is a line of its own: trailing blanks, then the line end or the end.
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  return rest.empty() || rest.front() == '\r' || rest.front() == '\n';
}

std::string oneLineText(std::string_view utf8) {
  std::string line(utf8);
  for (char& c : line) {
    if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7f') c = ' ';
  }
  return std::string(trimmed(line));
}

std::optional<std::string> storableText(std::string_view utf8) {
  return utf8ToCp1252(oneLineText(utf8));
}

}  // namespace tavik
