// The list order over Windows-1252 bytes: a key of primary weights, then the bytes themselves.
#include "store/text_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

namespace tavik {

namespace {

// Primary weights. 0 is kept free to end the primary part of a key, so that a text that is
// a prefix of another sorts first. Ranges: controls 1, blanks 2, symbols 3..0x9F in byte
// order, digits 0xC0..0xC9, letters 0xD0..0xE9.
constexpr std::uint8_t kControl = 1;
constexpr std::uint8_t kBlank = 2;
constexpr std::uint8_t kFirstSymbol = 3;
constexpr std::uint8_t kDigitZero = 0xC0;
constexpr std::uint8_t kLetterA = 0xD0;

// Up to two weights per byte (ß, æ, œ and þ expand to two letters).
struct Weights {
  std::array<std::uint8_t, 2> w{};
  std::uint8_t count = 0;
};

constexpr Weights letters(const char* s) {
  Weights out;
  for (; *s != '\0'; ++s) out.w[out.count++] = static_cast<std::uint8_t>(kLetterA + (*s - 'a'));
  return out;
}

constexpr Weights one(std::uint8_t weight) {
  return Weights{{weight, 0}, 1};
}

// The base letters of the accented and special letters of Windows-1252 (0x80..0xFF).
constexpr const char* highLetter(unsigned b) {
  switch (b) {
    case 0x83:
      return "f";  // ƒ
    case 0x8A:
    case 0x9A:
      return "s";  // Š š
    case 0x8C:
    case 0x9C:
      return "oe";  // Œ œ
    case 0x8E:
    case 0x9E:
      return "z";  // Ž ž
    case 0x9F:
    case 0xDD:
    case 0xFD:
    case 0xFF:
      return "y";  // Ÿ Ý ý ÿ
    case 0xAA:
      return "a";  // ª
    case 0xBA:
      return "o";  // º
    case 0xC6:
    case 0xE6:
      return "ae";  // Æ æ
    case 0xC7:
    case 0xE7:
      return "c";  // Ç ç
    case 0xD0:
    case 0xF0:
      return "d";  // Ð ð
    case 0xD1:
    case 0xF1:
      return "n";  // Ñ ñ
    case 0xD7:
    case 0xF7:
      return nullptr;  // × ÷
    case 0xD8:
    case 0xF8:
      return "o";  // Ø ø
    case 0xDE:
    case 0xFE:
      return "th";  // Þ þ
    case 0xDF:
      return "ss";  // ß
    default:
      break;
  }
  if ((b >= 0xC0 && b <= 0xC5) || (b >= 0xE0 && b <= 0xE5)) return "a";
  if ((b >= 0xC8 && b <= 0xCB) || (b >= 0xE8 && b <= 0xEB)) return "e";
  if ((b >= 0xCC && b <= 0xCF) || (b >= 0xEC && b <= 0xEF)) return "i";
  if ((b >= 0xD2 && b <= 0xD6) || (b >= 0xF2 && b <= 0xF6)) return "o";
  if ((b >= 0xD9 && b <= 0xDC) || (b >= 0xF9 && b <= 0xFC)) return "u";
  return nullptr;
}

constexpr std::array<Weights, 256> makeTable() {
  std::array<Weights, 256> table{};
  std::uint8_t symbol = kFirstSymbol;
  for (unsigned b = 0; b < 256; ++b) {
    Weights& t = table[b];
    if (b == ' ' || b == 0xA0) {
      t = one(kBlank);
    } else if (b < 0x20 || b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 ||
               b == 0x9D || b == 0xAD) {
      t = one(kControl);  // controls, the undefined bytes and the soft hyphen
    } else if (b >= '0' && b <= '9') {
      t = one(static_cast<std::uint8_t>(kDigitZero + (b - '0')));
    } else if (b == 0xB9 || b == 0xB2 || b == 0xB3) {
      t = one(static_cast<std::uint8_t>(kDigitZero + (b == 0xB9 ? 1 : b - 0xB0)));  // ¹ ² ³
    } else if (b >= 'a' && b <= 'z') {
      t = one(static_cast<std::uint8_t>(kLetterA + (b - 'a')));
    } else if (b >= 'A' && b <= 'Z') {
      t = one(static_cast<std::uint8_t>(kLetterA + (b - 'A')));
    } else if (const char* base = b >= 0x80 ? highLetter(b) : nullptr) {
      t = letters(base);
    } else {
      t = one(symbol++);
    }
  }
  return table;
}

constexpr std::array<Weights, 256> kTable = makeTable();
// ÷ gets the last symbol weight; the symbols must stay below the digits.
static_assert(kTable[0xF7].w[0] < kDigitZero);

}  // namespace

std::string listSortKey(std::string_view text) {
  std::string key(3 * text.size() + 1, '\0');
  char* out = key.data();
  for (const char ch : text) {
    const Weights& t = kTable[static_cast<unsigned char>(ch)];
    out[0] = static_cast<char>(t.w[0]);
    out[1] = static_cast<char>(t.w[1]);
    out += t.count;
  }
  // Texts equal but for case or accents are ordered by their bytes, so the order is total.
  *out++ = '\0';
  out = std::copy(text.begin(), text.end(), out);
  key.resize(static_cast<std::size_t>(out - key.data()));
  return key;
}

namespace {

// The primary weights of a text one at a time, as they stand in its key; 0 after the last.
class WeightCursor {
 public:
  explicit WeightCursor(std::string_view text) : m_text(text) {}
  std::uint8_t next() {
    if (m_pending != 0) return std::exchange(m_pending, 0);
    if (m_at == m_text.size()) return 0;
    const Weights& t = kTable[static_cast<unsigned char>(m_text[m_at++])];
    if (t.count == 2) m_pending = t.w[1];
    return t.w[0];
  }

 private:
  std::string_view m_text;
  std::size_t m_at = 0;
  std::uint8_t m_pending = 0;
};

}  // namespace

int listCompare(std::string_view a, std::string_view b) {
  // Compares the keys without building them. Equal bytes give equal weights, so the walk over
  // the weights starts where the bytes first differ.
  const std::size_t common = std::min(a.size(), b.size());
  std::size_t same = 0;
  while (same + 8 <= common) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a.data() + same, 8);
    std::memcpy(&y, b.data() + same, 8);
    if (x != y) break;
    same += 8;
  }
  while (same < common && a[same] == b[same]) ++same;
  if (same == a.size() && same == b.size()) return 0;
  if (same < common) {
    // Mostly the first differing bytes decide at once.
    const Weights& l = kTable[static_cast<unsigned char>(a[same])];
    const Weights& r = kTable[static_cast<unsigned char>(b[same])];
    if (l.w[0] != r.w[0]) return l.w[0] < r.w[0] ? -1 : 1;
  }
  WeightCursor left(a.substr(same));
  WeightCursor right(b.substr(same));
  for (;;) {
    const std::uint8_t l = left.next();
    const std::uint8_t r = right.next();
    if (l != r) return l < r ? -1 : 1;
    if (l == 0) break;
  }
  const int bytes = a.compare(b);
  return bytes < 0 ? -1 : bytes > 0 ? 1 : 0;
}

bool listLess(std::string_view a, std::string_view b) {
  return listCompare(a, b) < 0;
}

}  // namespace tavik
