#include "store/files.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using Op = FakeFiles::Op;

std::string pattern(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

// However long a file is, no more than the limit is read, and the file is closed again.
TEST(Files, ReadStopsAtTheLimit) {
  struct Case {
    const char* name;
    std::size_t size;
    std::size_t limit;
    std::size_t want;
  } const cases[] = {
      {.name = "shorter than the limit", .size = 10, .limit = 100, .want = 10},
      {.name = "exactly the limit", .size = 10, .limit = 10, .want = 10},
      {.name = "cut at the limit", .size = 10, .limit = 4, .want = 4},
      {.name = "empty", .size = 0, .limit = 5, .want = 0},
      {.name = "cut behind the first buffer", .size = 200000, .limit = 65537, .want = 65537},
      {.name = "several buffers", .size = 200000, .limit = 1 << 20, .want = 200000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string bytes = pattern(c.size);
    test::writeFile(dir.file("f"), bytes);
    FakeFiles files;
    EXPECT_EQ(readFileBytes(files, dir.file("f"), c.limit), bytes.substr(0, c.want));
    EXPECT_EQ(files.calls(Op::Close), files.calls(Op::Open));
  }
}

TEST(Files, ReadFailureClosesAndThrows) {
  test::TempDir dir;
  test::writeFile(dir.file("f"), pattern(100000));
  FakeFiles files;
  files.failAt(Op::Read, 2, EIO);
  try {
    readFileBytes(files, dir.file("f"), 1 << 20);
    ADD_FAILURE() << "read did not fail";
  } catch (const FileError& e) {
    EXPECT_EQ(e.userMessage(), "E/A-Fehler 5.");
  }
  EXPECT_EQ(files.calls(Op::Close), 1);
}

}  // namespace
}  // namespace tavik
