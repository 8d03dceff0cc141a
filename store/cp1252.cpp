// The Windows-1252 code page.
#include "store/cp1252.h"

#include <cstdint>

namespace tavik {

namespace {

// Code points of the bytes 0x80..0x9F; the undefined five map to themselves.
constexpr char32_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::optional<unsigned char> toByte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
  for (int i = 0; i < 32; ++i) {
    if (kHigh[i] == c) return static_cast<unsigned char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char32_t cp1252CodePoint(unsigned char b) {
  return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
}

std::string cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char ch : bytes) appendUtf8(out, cp1252CodePoint(static_cast<unsigned char>(ch)));
  return out;
}

bool isControlCharacter(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

std::string withoutControls(std::string_view bytes, char replacement) {
  std::string out(bytes);
  for (char& ch : out) {
    if (isControlCharacter(cp1252CodePoint(static_cast<unsigned char>(ch)))) ch = replacement;
  }
  return out;
}

std::string cp1252ToPrintableUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  std::size_t plain = 0;  // start of the current run of printable ASCII, copied in one go
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b >= 0x20 && b < 0x7F) continue;
    out.append(bytes, plain, i - plain);
    plain = i + 1;
    const char32_t c = cp1252CodePoint(b);
    appendUtf8(out, isControlCharacter(c) ? char32_t{0xFFFD} : c);
  }
  out.append(bytes, plain, bytes.size() - plain);
  return out;
}

std::optional<std::string> utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    int extra = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      c = lead & 0x0F;
    } else {
      return std::nullopt;  // 4-byte sequences lie beyond what Windows-1252 holds
    }
    if (i + static_cast<std::size_t>(extra) >= utf8.size()) return std::nullopt;  // cut short
    for (int k = 1; k <= extra; ++k) {
      const auto cont = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
      if ((cont & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (cont & 0x3F);
    }
    if ((extra == 1 && c < 0x80) || (extra == 2 && c < 0x800)) return std::nullopt;  // overlong
    const auto byte = toByte(c);
    if (!byte) return std::nullopt;
    out += static_cast<char>(*byte);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace tavik
