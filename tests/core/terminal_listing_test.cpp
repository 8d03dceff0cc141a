// The terminal listing's reading of the start directory: every record whatever the file's
// length, and its failures.
#include "app/terminal_listing.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dates/countdown.h"
#include "platform/ini_user_store.h"
#include "store/data_file.h"
#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using Op = FakeFiles::Op;

const DayNumber kToday = *makeDayNumber(2006, 12, 15);

// Record i falls on one of the days from yesterday to 30 days ahead.
EventRecord event(int i) {
  const Ymd day = *splitDayNumber(kToday + (i % 32 - 1));
  EventRecord r;
  r.date = toDouble(*makeDayNumber(1950 + i % 50, day.month, day.day));
  r.setText("Ereignis " + std::to_string(i));
  r.computeJubilee = i % 2;
  return r;
}

std::string images(int count) {
  std::string bytes;
  for (int i = 1; i <= count; ++i) {
    const RecordImage image = encodeRecord(event(i));
    bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
  }
  return bytes;
}

// The lines the window's first rebuild would show for the first `count` records.
std::vector<std::string> expectedLines(int count) {
  auto table = std::make_unique<EventTable>();
  for (int i = 1; i <= count; ++i) table->storeRecord(i, event(i));
  return computeView(*table, Settings{}, HolidaySelection{}, kToday, true).lines;
}

TEST(TerminalListing, ListsEveryRecordWhateverTheFileLength) {
  struct Case {
    const char* name;
    int records;  // whole records in the file
    int extra;    // bytes after them
    int listed;   // records the listing reads
  };
  const Case cases[] = {
      {.name = "one record", .records = 1, .extra = 0, .listed = 1},
      {.name = "just under a read's worth", .records = 63, .extra = 0, .listed = 63},
      {.name = "a read's worth", .records = 64, .extra = 0, .listed = 64},
      {.name = "across three reads", .records = 130, .extra = 0, .listed = 130},
      {.name = "a full table", .records = 1000, .extra = 0, .listed = 1000},
      {.name = "more than the table holds", .records = 1001, .extra = 7, .listed = 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::writeFile(dir.file(kDataFileName), images(c.records) + std::string(c.extra, 'x'));
    FakeFiles files;
    IniUserStore settings(files, dir.file("keine.conf"));
    EXPECT_EQ(listCountdown(files, settings, dir.path(), kToday), expectedLines(c.listed));
  }
}

TEST(TerminalListing, ShortLastRecordAndReadErrorsFail) {
  struct Case {
    const char* name;
    int records;
    int extra;
    int failingRead;  // 0: none
    const char* message;
  };
  const Case cases[] = {
      {.name = "short record alone",
       .records = 0,
       .extra = 1,
       .failingRead = 0,
       .message = "Versuch hinter dem Dateiende zu lesen."},
      {.name = "short record after three reads",
       .records = 130,
       .extra = 419,
       .failingRead = 0,
       .message = "Versuch hinter dem Dateiende zu lesen."},
      {.name = "second read fails",
       .records = 130,
       .extra = 0,
       .failingRead = 2,
       .message = "E/A-Fehler 5."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::writeFile(dir.file(kDataFileName), images(c.records) + std::string(c.extra, 'x'));
    FakeFiles files;
    IniUserStore settings(files, dir.file("keine.conf"));
    if (c.failingRead > 0) files.failAt(Op::Read, c.failingRead, EIO);
    try {
      listCountdown(files, settings, dir.path(), kToday);
      ADD_FAILURE() << "no failure";
    } catch (const Failure& e) {
      EXPECT_EQ(e.userMessage(), c.message);
    }
  }
}

}  // namespace
}  // namespace tavik
