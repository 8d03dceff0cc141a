// Windows-1252 bytes to QString, checked against the core's UTF-8 route.
#include "platform/qt_text.h"

#include <gtest/gtest.h>

#include "store/cp1252.h"

namespace tavik {
namespace {

TEST(QtText, EveryByteReadsAsTheCodecSays) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = cp1252ToUtf8(all);
  const QString viaUtf8 = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  const QString text = fromCp1252(all);
  ASSERT_EQ(text.size(), 256);
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    EXPECT_EQ(text.at(b).unicode(), viaUtf8.at(b).unicode());
  }
  EXPECT_EQ(text.at(0x80), QChar(0x20AC));  // euro sign
  EXPECT_EQ(text.at(0xE4), QChar(0xE4));    // a umlaut
  EXPECT_EQ(toCp1252(text), all);
}

TEST(QtText, EmptyAndPlainTexts) {
  EXPECT_TRUE(fromCp1252("").isEmpty());
  EXPECT_EQ(fromCp1252("Geburtstag \x84Oma\x93"), QString::fromUtf8("Geburtstag „Oma“"));
}

}  // namespace
}  // namespace tavik
