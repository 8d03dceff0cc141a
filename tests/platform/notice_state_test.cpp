// The once-a-day rule of the notification: what a start says, and the state file it keeps.
#include "platform/posix/notice_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>

#include "platform/desktop_notification.h"
#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using test::TempDir;
using Lines = std::vector<std::string>;

DayNumber day(int y, int m, int d) {
  return *makeDayNumber(y, m, d);
}

TEST(NoticeState, UnsaidLinesKeepOnlyWhatTodayHasNotSaid) {
  const NoticeState kept{"/d", day(2026, 12, 11), {"Heute - Anna", "In 7 Tagen - Ben"}};
  struct Case {
    const char* name;
    std::optional<NoticeState> kept;
    DayNumber today;
    Lines lines;
    Lines want;
  };
  const Case cases[] = {
      {.name = "nothing kept",
       .kept = std::nullopt,
       .today = day(2026, 12, 11),
       .lines = {"Heute - Anna"},
       .want = {"Heute - Anna"}},
      {.name = "same day, same lines",
       .kept = kept,
       .today = day(2026, 12, 11),
       .lines = {"Heute - Anna", "In 7 Tagen - Ben"},
       .want = {}},
      {.name = "same day, one added between the two",
       .kept = kept,
       .today = day(2026, 12, 11),
       .lines = {"Heute - Anna", "Heute - Cleo", "In 7 Tagen - Ben"},
       .want = {"Heute - Cleo"}},
      {.name = "same day, one gone",
       .kept = kept,
       .today = day(2026, 12, 11),
       .lines = {"In 7 Tagen - Ben"},
       .want = {}},
      {.name = "a second event with the same line",
       .kept = kept,
       .today = day(2026, 12, 11),
       .lines = {"Heute - Anna", "Heute - Anna"},
       .want = {"Heute - Anna"}},
      {.name = "next day",
       .kept = kept,
       .today = day(2026, 12, 12),
       .lines = {"Heute - Anna", "In 7 Tagen - Ben"},
       .want = {"Heute - Anna", "In 7 Tagen - Ben"}},
      {.name = "clock set back a day",
       .kept = kept,
       .today = day(2026, 12, 10),
       .lines = {"Heute - Anna"},
       .want = {"Heute - Anna"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(unsaidLines(c.kept, c.today, c.lines), c.want);
  }
}

TEST(NoticeState, AfterSayingAddsToTheSameDayAndStartsANewDayAfresh) {
  const NoticeState kept{"/d", day(2026, 12, 11), {"A"}};
  EXPECT_EQ(afterSaying(kept, "/d", day(2026, 12, 11), {"B"}),
            (NoticeState{"/d", day(2026, 12, 11), {"A", "B"}}));
  EXPECT_EQ(afterSaying(kept, "/d", day(2026, 12, 12), {"B"}),
            (NoticeState{"/d", day(2026, 12, 12), {"B"}}));
  EXPECT_EQ(afterSaying(std::nullopt, "/d", day(2026, 12, 11), {"B"}),
            (NoticeState{"/d", day(2026, 12, 11), {"B"}}));
}

TEST(NoticeState, AnyTextSurvivesTheFile) {
  const NoticeState state{"/home/a\\b\nc d%",
                          day(2026, 2, 28),
                          {"Heute - back\\slash\\n", "two\nlines\r\n", "", "\xff\xfe not UTF-8",
                           "Ayşe Yılmaz – Дмитрий"}};
  const std::string bytes = encodeNoticeState(state);
  EXPECT_EQ(decodeNoticeState(bytes), state);
  EXPECT_EQ(decodeNoticeState(encodeNoticeState({"/d", day(2026, 1, 1), {}})),
            (NoticeState{"/d", day(2026, 1, 1), {}}));
}

TEST(NoticeState, SpoiltOrForeignBytesCountAsNoneKept) {
  const std::string good = "tavik-notified 1\n/d\n2026-12-11\nHeute - Anna\n";
  ASSERT_TRUE(decodeNoticeState(good));
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"another header", "tavik-notified 2\n/d\n2026-12-11\nHeute - Anna\n"},
      {"foreign text", "[General]\nnotify=1\n"},
      {"no date", "tavik-notified 1\n/d\n"},
      {"a day that does not exist", "tavik-notified 1\n/d\n2026-02-29\n"},
      {"cut short in a line", good.substr(0, good.size() - 3)},
      {"an unknown escape", "tavik-notified 1\n/d\n2026-12-11\nHeute \\t Anna\n"},
      {"a lone backslash at the end", "tavik-notified 1\n/d\n2026-12-11\nAnna\\\n"},
      {"a bare CR", "tavik-notified 1\n/d\n2026-12-11\nAn\rna\n"},
      {"NUL bytes", std::string(64, '\0')},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(decodeNoticeState(bytes), std::nullopt);
  }
}

TEST(NoticeState, ReadsOnlyItsOwnDirectorysReadableFile) {
  TempDir dir;
  FakeFiles files;
  const std::string path = dir.file("notified-x");
  EXPECT_EQ(readNoticeState(files, path, "/d"), std::nullopt);  // missing
  const NoticeState state{"/d", day(2026, 12, 11), {"A"}};
  writeNoticeState(files, path, state);
  EXPECT_EQ(readNoticeState(files, path, "/d"), state);
  EXPECT_EQ(readNoticeState(files, path, "/other"), std::nullopt);
  files.failAt(FakeFiles::Op::Read, 1, EIO);
  EXPECT_EQ(readNoticeState(files, path, "/d"), std::nullopt);
  ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0700), 0);
  EXPECT_EQ(readNoticeState(files, dir.file("folder"), "/d"), std::nullopt);
}

TEST(NoticeState, WriteCreatesPrivateFoldersAndReplacesALink) {
  TempDir dir;
  FakeFiles files;
  const std::string path = dir.file("state/tavik/notified-x");
  writeNoticeState(files, path, {"/d", day(2026, 12, 11), {"A"}});
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("state/tavik").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // A link planted in its place is replaced, its target left alone.
  test::writeFile(dir.file("target"), "mine");
  ASSERT_EQ(::unlink(path.c_str()), 0);
  ASSERT_EQ(::symlink(dir.file("target").c_str(), path.c_str()), 0);
  writeNoticeState(files, path, {"/d", day(2026, 12, 12), {"B"}});
  EXPECT_EQ(test::readFile(dir.file("target")), "mine");
  EXPECT_EQ(readNoticeState(files, path, "/d")->lines, Lines{"B"});
  // A file where a folder should be fails as a file error.
  const NoticeState any{"/d", day(2026, 1, 1), {}};
  EXPECT_THROW(writeNoticeState(files, dir.file("target/x/notified"), any), FileError);
}

TEST(NoticeState, StatePathIsKeyedByTheCanonicalDirectory) {
  // Published FNV-1a 64 test vectors.
  EXPECT_EQ(directoryKey(""), "cbf29ce484222325");
  EXPECT_EQ(directoryKey("a"), "af63dc4c8601ec8c");

  EXPECT_EQ(stateDirectory("/s", "/h"), "/s/tavik");
  EXPECT_EQ(stateDirectory("", "/h"), "/h/.local/state/tavik");
  EXPECT_EQ(stateDirectory("relative", "/h"), "/h/.local/state/tavik");
  EXPECT_EQ(stateDirectory(nullptr, "/h"), "/h/.local/state/tavik");
  EXPECT_EQ(stateDirectory(nullptr, nullptr), std::nullopt);

  TempDir dir;
  ASSERT_EQ(::mkdir(dir.file("real").c_str(), 0700), 0);
  ASSERT_EQ(::symlink(dir.file("real").c_str(), dir.file("link").c_str()), 0);
  ::setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);
  const std::optional<std::string> viaLink = stateFilePath(dir.file("link") + "/.", "notified");
  ASSERT_TRUE(viaLink);
  EXPECT_EQ(viaLink, stateFilePath(dir.file("real"), "notified"));
  EXPECT_EQ(*viaLink, dir.file("state") + "/tavik/notified-" +
                          directoryKey(canonicalDirectory(dir.file("real"))));
  EXPECT_NE(stateFilePath(dir.file("real"), "sync"), viaLink);
}

// notifyOncePerDay with a sender that records, in a start directory of its own.
class NotifyOncePerDay : public testing::Test {
 protected:
  NotifyOncePerDay() { ::setenv("XDG_STATE_HOME", home.file("state").c_str(), 1); }

  // One start: the bodies sent (one at most) and whether it finished.
  std::vector<QString> start(DayNumber today, const Lines& lines, bool delivered = true) {
    std::vector<QString> bodies;
    bool finished = false;
    notifyOncePerDay(
        files, startDir.path(), today, lines,
        [&](const DesktopNotification& n, const NotificationDone& done) {
          bodies.push_back(n.summary + u'|' + n.body);
          done(delivered);
        },
        [&] { finished = true; });
    EXPECT_TRUE(finished);
    return bodies;
  }
  std::string statePath() const { return *stateFilePath(startDir.path(), "notified"); }

  TempDir home;
  TempDir startDir;
  FakeFiles files;
};

TEST_F(NotifyOncePerDay, SameDaySameContentSendsNothing) {
  const Lines lines = {"Heute - Anna", "Morgen - Ben"};
  EXPECT_EQ(start(day(2026, 12, 11), lines),
            std::vector<QString>{QStringLiteral("Heute|Heute - Anna\nMorgen - Ben")});
  EXPECT_TRUE(start(day(2026, 12, 11), lines).empty());
}

TEST_F(NotifyOncePerDay, NewContentSendsOnlyTheNewLinesWithTheirSummary) {
  start(day(2026, 12, 11), {"Heute - Anna"});
  EXPECT_EQ(start(day(2026, 12, 11), {"Heute - Anna", "In 7 Tagen - Ben"}),
            std::vector<QString>{QStringLiteral("Tavik!|In 7 Tagen - Ben")});
  EXPECT_TRUE(start(day(2026, 12, 11), {"Heute - Anna", "In 7 Tagen - Ben"}).empty());
}

TEST_F(NotifyOncePerDay, NextDaySendsAll) {
  start(day(2026, 12, 11), {"Heute - Anna", "Morgen - Ben"});
  EXPECT_EQ(start(day(2026, 12, 12), {"Gestern - Anna", "Heute - Ben"}),
            std::vector<QString>{QStringLiteral("Heute|Gestern - Anna\nHeute - Ben")});
}

TEST_F(NotifyOncePerDay, WhatNoServerTookIsSaidAgain) {
  EXPECT_EQ(start(day(2026, 12, 11), {"Heute - Anna"}, false).size(), 1u);
  EXPECT_EQ(start(day(2026, 12, 11), {"Heute - Anna"}).size(), 1u);
  EXPECT_TRUE(start(day(2026, 12, 11), {"Heute - Anna"}).empty());
}

TEST_F(NotifyOncePerDay, SpoiltStateCountsAsNoneAndIsMended) {
  start(day(2026, 12, 11), {"Heute - Anna"});
  test::writeFile(statePath(), "tavik-notified 1\n\xff\\q garbage");
  EXPECT_EQ(start(day(2026, 12, 11), {"Heute - Anna"}).size(), 1u);
  EXPECT_TRUE(start(day(2026, 12, 11), {"Heute - Anna"}).empty());
}

TEST_F(NotifyOncePerDay, UnwritableStateStillNotifies) {
  // A file where the state folder should be: nothing can be kept, every start says it all.
  test::writeFile(home.file("state"), "");
  EXPECT_EQ(start(day(2026, 12, 11), {"Heute - Anna"}).size(), 1u);
  EXPECT_EQ(start(day(2026, 12, 11), {"Heute - Anna"}).size(), 1u);
}

TEST_F(NotifyOncePerDay, NothingToSayFinishesWithoutSending) {
  EXPECT_TRUE(start(day(2026, 12, 11), {}).empty());
}

}  // namespace
}  // namespace tavik
