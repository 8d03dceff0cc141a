#include "store/help_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tavik {
namespace {

TEST(HelpText, Lines) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> want;
  } const cases[] = {
      {.name = "empty file", .bytes = "", .want = {}},
      {.name = "CR LF", .bytes = "eins\r\nzwei\r\n", .want = {"eins", "zwei"}},
      {.name = "CR alone", .bytes = "eins\rzwei", .want = {"eins", "zwei"}},
      {.name = "lone LF stays in its line", .bytes = "eins\nzwei", .want = {"eins\nzwei"}},
      {.name = "LF before CR", .bytes = "a\n\rb", .want = {"a\n", "b"}},
      {.name = "only the first LF belongs to the break", .bytes = "a\r\n\nb", .want = {"a", "\nb"}},
      {.name = "empty lines", .bytes = "a\r\n\r\n\r\nb", .want = {"a", "", "", "b"}},
      {.name = "only a break", .bytes = "\r\n", .want = {""}},
      {.name = "CR CR", .bytes = "\r\r", .want = {"", ""}},
      {.name = "Ctrl-Z ends the text", .bytes = "a\r\nb\x1a\r\nc", .want = {"a", "b"}},
      {.name = "Ctrl-Z first",
       .bytes = "\x1a"
                "a\r\n",
       .want = {}},
      {.name = "Ctrl-Z after a break", .bytes = "a\r\n\x1a", .want = {"a"}},
      {.name = "bytes as they are",
       .bytes = std::string("F\xFCr \x80 5\0x", 9),
       .want = {std::string("F\xFCr \x80 5\0x", 9)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string_view> lines = helpTextLines(c.bytes);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end()), c.want);
  }
}

}  // namespace
}  // namespace tavik
