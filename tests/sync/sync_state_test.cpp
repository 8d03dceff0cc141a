#include "sync/sync_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using test::TempDir;

SyncState sample() {
  SyncState s;
  s.collection = "https://cloud.example.org/remote.php/dav/calendars/anna/tavik/";
  s.syncToken = "http://sabre.io/ns/sync/17";
  s.resources.push_back({"/anna/tavik/a b%c.ics", "\"1-2\"", ResourceStatus::Event,
                         uidFromText("01234567-89ab-cdef-0123-456789abcdef"), "00ff00ff00ff00ff",
                         ""});
  s.resources.push_back({"/anna/tavik/geb.ics", "W/\"x\ty\"", ResourceStatus::Event,
                         uidFromText("fedcba98-7654-3210-fedc-ba9876543210"), "0123456789abcdef",
                         "BEGIN:VCALENDAR\r\nSUMMARY:Дмитрий 100%\r\n\tX\r\nEND:VCALENDAR\r\n"});
  s.resources.push_back(
      {"/anna/tavik/todo.ics", "\"9\"", ResourceStatus::Ignored, std::nullopt, "", ""});
  s.resources.push_back({"/anna/tavik/lang.ics", "\"3\"", ResourceStatus::Skipped,
                         uidFromText("00000000-0000-0000-0000-000000000001"), "", ""});
  return s;
}

// Hrefs, tokens and texts with blanks, TABs, line ends, '%' and any script survive the file.
TEST(SyncState, TextRoundTrips) {
  const SyncState s = sample();
  ASSERT_TRUE(s.resources[0].uid && s.resources[1].uid && s.resources[3].uid);
  const auto back = parseSyncState(syncStateText(s));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, s);
  EXPECT_EQ(parseSyncState(syncStateText(SyncState{})), SyncState{});
}

// Anything but a whole state of this version reads as no state.
TEST(SyncState, SpoiltTextIsNoState) {
  const std::string good = syncStateText(sample());
  const auto replaced = [&good](std::string_view from, std::string_view to) {
    std::string s = good;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {.name = "empty", .text = ""},
      {.name = "cut in the last resource", .text = good.substr(0, good.find("lang.ics"))},
      {.name = "without the last line end", .text = good.substr(0, good.size() - 1)},
      {.name = "closing count wrong", .text = replaced("end\t4", "end\t3")},
      {.name = "other version", .text = replaced("tavik-sync-state\t1", "tavik-sync-state\t2")},
      {.name = "unknown status", .text = replaced("\tignored\t", "\tlost\t")},
      {.name = "bad uid", .text = replaced("fedcba98-7654", "fedcba98-765x")},
      {.name = "event without hash", .text = replaced("\t00ff00ff00ff00ff\t", "\t\t")},
      {.name = "bad escape", .text = replaced("a%20b", "a%2")},
      {.name = "raw blank in a field", .text = replaced("a%20b", "a b")},
      {.name = "line after the end", .text = good + "token\tx\n"},
      {.name = "NUL bytes", .text = std::string(40, '\0')},
  };
  ASSERT_TRUE(parseSyncState(good));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(parseSyncState(c.text));
  }
}

TEST(SyncState, FileIsWrittenAtomicallyAndReadDefensively) {
  TempDir dir;
  FakeFiles files;
  const std::string path = dir.file("sync.state");
  EXPECT_EQ(loadSyncState(files, path), SyncState{});  // none yet

  saveSyncState(files, path, sample());
  EXPECT_EQ(loadSyncState(files, path), sample());

  // A failing write leaves the old file whole.
  SyncState other = sample();
  other.syncToken = "neu";
  files.failAt(FakeFiles::Op::Write, 1, ENOSPC);
  EXPECT_THROW(saveSyncState(files, path, other), FileError);
  EXPECT_EQ(loadSyncState(files, path), sample());

  test::writeFile(path, syncStateText(sample()).substr(0, 100));
  EXPECT_EQ(loadSyncState(files, path), SyncState{});

  // A link planted in place of the file is replaced; its target is not written.
  const std::string target = dir.file("target");
  test::writeFile(target, "fremd");
  ASSERT_EQ(::unlink(path.c_str()), 0);
  ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
  saveSyncState(files, path, sample());
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(test::readFile(target), "fremd");
  EXPECT_EQ(loadSyncState(files, path), sample());
}

}  // namespace
}  // namespace tavik
