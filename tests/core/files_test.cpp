#include "store/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

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

std::span<const std::uint8_t> span(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The names in `dir` that are left over from a write.
std::vector<std::string> leftovers(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() == ".tmp") out.push_back(entry.path().filename());
  }
  return out;
}

// Runs `during` at the first write into any file, as another process could.
class InterruptedFiles : public FakeFiles {
 public:
  std::function<void(FileHandle)> during;
  int write(FileHandle file, std::span<const std::uint8_t> data) override {
    if (auto hook = std::exchange(during, nullptr)) hook(file);
    return FakeFiles::write(file, data);
  }
};

// Whatever is planted under the names a temporary file used to have, nothing is opened through
// it: a link's target and a FIFO stay untouched, and the file is written all the same.
TEST(Files, PlantedTemporaryNamesAreNeverOpened) {
  for (const std::string planted : {"link", "dangling link", "fifo", "file"}) {
    SCOPED_TRACE(planted);
    test::TempDir dir;
    const std::string path = dir.file("tavik!4.dat");
    test::writeFile(path, "old");
    test::writeFile(dir.file("victim"), "victim");
    for (const std::string& temp : {path + ".tmp", dir.file("tavik!4.dat..tmp")}) {
      int made = 0;
      if (planted == "link") made = ::symlink(dir.file("victim").c_str(), temp.c_str());
      if (planted == "dangling link") made = ::symlink(dir.file("created").c_str(), temp.c_str());
      if (planted == "fifo") made = ::mkfifo(temp.c_str(), 0644);
      if (planted == "file") test::writeFile(temp, "planted");
      ASSERT_EQ(made, 0);
    }
    FakeFiles files;
    writeFileAtomically(files, path, span("new"), 2);
    EXPECT_EQ(test::readFile(path), "new");
    EXPECT_EQ(test::readFile(dir.file("victim")), "victim");
    EXPECT_FALSE(test::fileExists(dir.file("created")));
    EXPECT_EQ(leftovers(dir.path()).size(), 2u);  // the two planted ones
  }
}

// A private file is never readable by others, not even while its new text is being written.
TEST(Files, TemporaryFileHasTheFinalModeFromTheStart) {
  for (const mode_t mode : {0600, 0640, 0604}) {
    SCOPED_TRACE(mode);
    test::TempDir dir;
    const std::string path = dir.file("f");
    test::writeFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    InterruptedFiles files;
    mode_t whileWriting = 0;
    files.during = [&](FileHandle file) {
      struct stat st {};
      ASSERT_EQ(::fstat(file, &st), 0);
      whileWriting = st.st_mode & 07777;
    };
    writeFileAtomically(files, path, span("new text"), 3);
    EXPECT_EQ(whileWriting & 0077, mode & 0077 & ~0022u);  // the umask may take more, never add
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, mode);
  }
}

// Two writers of one file at the same moment (two runs ending together) do not meet in one
// temporary file: both complete, and the file holds one of the two texts whole.
TEST(Files, ConcurrentWritesOfOneFileBothComplete) {
  test::TempDir dir;
  const std::string path = dir.file("settings.conf");
  InterruptedFiles files;
  bool secondDone = false;
  files.during = [&](FileHandle) {
    FakeFiles other;
    writeFileAtomically(other, path, span("second"), 100);
    secondDone = true;
  };
  writeFileAtomically(files, path, span("first, longer"), 100);
  EXPECT_TRUE(secondDone);
  EXPECT_EQ(test::readFile(path), "first, longer");
  EXPECT_TRUE(leftovers(dir.path()).empty());
}

// A file that is a symbolic link (into a synced folder, say) stays a link: its target is
// replaced, in the target's own directory.
TEST(Files, WritesThroughSymbolicLinks) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> links;  // link -> stored target
    std::string target;                                      // the file written
  };
  const Case cases[] = {
      {"relative", {{"f", "real"}}, "real"},
      {"into another folder", {{"f", "sub/real"}}, "sub/real"},
      {"absolute", {{"f", "@/sub/real"}}, "sub/real"},
      {"chain", {{"f", "g"}, {"g", "../w/sub/real"}}, "sub/real"},
      {"dangling: the target is created", {{"f", "sub/new"}}, "sub/new"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string w = dir.file("w");
    std::filesystem::create_directories(w + "/sub");
    test::writeFile(w + "/real", "old");
    test::writeFile(w + "/sub/real", "old");
    ASSERT_EQ(::chmod((w + "/sub/real").c_str(), 0600), 0);
    for (auto [link, target] : c.links) {
      if (target.starts_with('@')) target = w + target.substr(1);
      ASSERT_EQ(::symlink(target.c_str(), (w + "/" + link).c_str()), 0);
    }
    FakeFiles files;
    writeFileAtomically(files, w + "/f", span("new"), 2);
    EXPECT_EQ(test::readFile(w + "/" + c.target), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(w + "/f"));
    for (const auto& [link, target] : c.links) {
      EXPECT_TRUE(std::filesystem::is_symlink(w + "/" + link)) << link;
    }
    if (c.target == "sub/real") {
      EXPECT_EQ(std::filesystem::status(w + "/sub/real").permissions(),
                std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_TRUE(leftovers(w).empty());
    EXPECT_TRUE(leftovers(w + "/sub").empty());
  }
}

// Links that lead nowhere fail the write; the one asked to replace a link replaces it without
// looking at its target.
TEST(Files, LinkLoopsFailAndLinksCanBeReplaced) {
  test::TempDir dir;
  ASSERT_EQ(::symlink("b", dir.file("a").c_str()), 0);
  ASSERT_EQ(::symlink("a", dir.file("b").c_str()), 0);
  FakeFiles files;
  try {
    writeFileAtomically(files, dir.file("a"), span("x"), 1);
    ADD_FAILURE() << "a link loop was written";
  } catch (const FileError& e) {
    EXPECT_EQ(e.errorNumber(), ELOOP);
  }
  EXPECT_TRUE(leftovers(dir.path()).empty());

  test::writeFile(dir.file("victim"), "victim");
  ASSERT_EQ(::chmod(dir.file("victim").c_str(), 0400), 0);  // not even writable
  ASSERT_EQ(::symlink(dir.file("victim").c_str(), dir.file("f.bak").c_str()), 0);
  writeFileAtomically(files, dir.file("f.bak"), span("backup"), 4, Links::Replace);
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("f.bak")));
  EXPECT_EQ(test::readFile(dir.file("f.bak")), "backup");
  EXPECT_EQ(test::readFile(dir.file("victim")), "victim");
}

// Failures at the new calls leave the old file whole and nothing behind; a name taken meanwhile
// is no failure, another one is tried.
TEST(Files, FailuresOfLinkAndTemporaryCalls) {
  struct Case {
    Op op;
    int errorNumber;
    bool fails;
  } const cases[] = {
      {Op::ReadLink, EIO, true}, {Op::Open, ENOSPC, true}, {Op::Open, EEXIST, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.errorNumber);
    test::TempDir dir;
    test::writeFile(dir.file("f"), "old");
    FakeFiles files;
    // The second open is the temporary file's (the first checks the old file may be written).
    files.failAt(c.op, c.op == Op::Open ? 2 : 1, c.errorNumber);
    if (c.fails) {
      EXPECT_THROW(writeFileAtomically(files, dir.file("f"), span("new"), 3), FileError);
    } else {
      writeFileAtomically(files, dir.file("f"), span("new"), 3);
    }
    EXPECT_EQ(test::readFile(dir.file("f")), c.fails ? "old" : "new");
    EXPECT_TRUE(leftovers(dir.path()).empty());
  }
}

}  // namespace
}  // namespace tavik
