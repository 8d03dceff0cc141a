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
      {"\x84" "a" "\x93", "„a“"},
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

TEST(Cp1252, CharactersOutsideTheCodePageAreRefused) {
  for (const char* text : {"Ω", "日本", "😀", "\xC3", "\xC3\x28", "\xC0\x80", "\xE2\x82"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(utf8ToCp1252(text).has_value());
  }
}

}  // namespace
}  // namespace tavik
