#include "store/cp1252.h"

#include <gtest/gtest.h>

namespace tavik {
namespace {

TEST(Cp1252, KnownCharacters) {
  struct Case {
    std::string bytes;
    std::string utf8;
  } const cases[] = {
      {"abc", "abc"},
      {"\xC4nne M\xFCller \xDF", "Änne Müller ß"},
      {"\x80", "€"},
      {"\x84"
       "a"
       "\x93",
       "„a“"},
      {"\x9F", "Ÿ"},
      {"\x81", "\xC2\x81"},
      {std::string(1, '\0'), std::string(1, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(cp1252ToUtf8(c.bytes), c.utf8);
    EXPECT_EQ(utf8ToCp1252(c.utf8), c.bytes);
  }
}

TEST(Cp1252, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

// Every byte swept: the controls are C0, DEL and the five undefined bytes (they map to C1),
// and the two neutralising forms change those and nothing else.
TEST(Cp1252, ControlBytesAreNeutralised) {
  const std::string controls = std::string(1, '\0') + "\x01\t\n\r\x1B\x1F\x7F\x81\x8D\x8F\x90\x9D";
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string printable;
  std::string replaced;
  for (const char ch : all) {
    const bool control = isControlCharacter(cp1252CodePoint(static_cast<unsigned char>(ch)));
    const auto b = static_cast<unsigned char>(ch);
    EXPECT_EQ(control, b < 0x20 || b == 0x7F || controls.find(ch) != std::string::npos) << int(b);
    printable += control ? "\xEF\xBF\xBD" : cp1252ToUtf8(std::string(1, ch));
    replaced += control ? '?' : ch;
  }
  EXPECT_EQ(cp1252ToPrintableUtf8(all), printable);
  EXPECT_EQ(withoutControls(all, '?'), replaced);
  EXPECT_EQ(cp1252ToPrintableUtf8("Tee\x1B[1m \xC4"), "Tee\xEF\xBF\xBD[1m \xC3\x84");
  EXPECT_EQ(withoutControls(std::string("a\r\nb\0c", 6), ' '), "a  b c");
}

TEST(Cp1252, CharactersOutsideTheCodePageAreRefused) {
  for (const char* text : {"Ω", "日本", "😀", "\xC3", "\xC3\x28", "\xC0\x80", "\xE2\x82"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(utf8ToCp1252(text).has_value());
  }
}

}  // namespace
}  // namespace tavik
