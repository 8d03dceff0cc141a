// The terminal listing's reading of the start directory: every record whatever the file's
// length, and its failures.
#include "cli/terminal_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <regex>
#include <string>

#include "dates/countdown.h"
#include "platform/posix/ini_user_store.h"
#include "store/data_file.h"
#include "store/event_text.h"
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
    EXPECT_EQ(listCountdown(files, settings, dir.path(), kToday).lines, expectedLines(c.listed));
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

// Names in any script read from the data file come out whole in UTF-8; a line break or an
// escape in a text shows as U+FFFD, so it can neither forge a line nor steer the terminal.
TEST(TerminalListing, TextsInAnyScriptPrintWholeWithControlsNeutralised) {
  const auto named = [](int i, std::string_view utf8) {
    EventRecord r = event(i);
    r.computeJubilee = 0;
    EXPECT_EQ(setEventText(r, utf8), TextStore::Stored);
    return r;
  };
  std::string bytes;
  for (const EventRecord& r : {named(1, "Ayşe Yılmaz"), named(2, "Дмитрий\nHeute 15.12.2006"),
                               named(3, "J\xC3\xB6rg\x1B[2J")}) {
    const RecordImage image = encodeRecord(r);
    bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
  }
  test::TempDir dir;
  test::writeFile(dir.file(kDataFileName), bytes);
  FakeFiles files;
  IniUserStore settings(files, dir.file("keine.conf"));
  const ViewResult view = listCountdown(files, settings, dir.path(), kToday);
  EXPECT_EQ(terminalText(alignedLines(view.lines, view.columns)),
            "Heute          15.12.1951  Ayşe Yılmaz\n"
            "Morgen         16.12.1952  Дмитрий\uFFFDHeute 15.12.2006\n"
            "Noch   2 Tage  17.12.1953  Jörg\uFFFD[2J\n");
}

// A countdown line from its three fields as they stand in it, padding included.
struct Fields {
  std::string day;   // with its trailing blanks
  std::string date;  // with the blanks before the text
  std::string text;
};

TEST(TerminalListing, AlignedLinesPutDayDateAndTextInColumns) {
  using Lines = std::vector<std::string>;
  struct Case {
    const char* name;
    std::vector<Fields> lines;
    Lines want;
  };
  const Case cases[] = {
      {.name = "every day text, with and without year",
       .lines = {{"Gestern             ", "14.12.2005   ", "Zahnarzt"},
                 {"Heute               ", "15.12.2006   ", "Weihnachtsfeier"},
                 {"Morgen             ", "16.12.1970   ", "\xC4nne (36)"},
                 {"Noch   5 Tage  ", "20.12.           ", "Hochzeitstag"},
                 {"Noch 10 Tage  ", "03.10.1989   ", "Tag der deutschen Einheit"}},
       .want = {"Gestern        14.12.2005  Zahnarzt", "Heute          15.12.2006  Weihnachtsfeier",
                "Morgen         16.12.1970  \xC4nne (36)",
                "Noch   5 Tage  20.12.      Hochzeitstag",
                "Noch 10 Tage   03.10.1989  Tag der deutschen Einheit"}},
      {.name = "another day text, year-less dates only",
       .lines = {{"Vor   3 Tagen  ", "01.12.           ", "Weltaidstag"},
                 {"Heute               ", "04.12.           ", "Geburtstag"}},
       .want = {"Vor   3 Tagen  01.12.  Weltaidstag", "Heute          04.12.  Geburtstag"}},
      {.name = "texts kept byte for byte, short and long years",
       .lines = {{"Heute               ", "15.12.05   ", "  zwei Blanks vorn"},
                 {"Morgen             ", "16.12.2006   ",
                  "Termin 01.02.2003   oder 02.02.           "},
                 {"Noch 12 Tage  ", "27.12.123   ", ""}},
       .want = {"Heute         15.12.05      zwei Blanks vorn",
                "Morgen        16.12.2006  Termin 01.02.2003   oder 02.02.           ",
                "Noch 12 Tage  27.12.123   "}},
      {.name = "no lines", .lines = {}, .want = {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lines lines;
    std::vector<LineColumns> columns;
    for (const Fields& f : c.lines) {
      lines.push_back(f.day + f.date + f.text);
      columns.push_back({f.day.find_last_not_of(' ') + 1, f.day.size(),
                         f.date.find_last_not_of(' ') + 1, f.day.size() + f.date.size()});
    }
    EXPECT_EQ(alignedLines(lines, columns), c.want);
  }
}

// tavik-start keeps the events in the per-user data directory; --list run elsewhere (in the
// home directory, say) lists that one unless the directory it runs in has a data file.
TEST(TerminalListing, ListsTheUserDataDirectoryWhenTheCurrentOneHasNoEvents) {
  EXPECT_EQ(userDataDirectory("/x/daten", "/home/anna"), "/x/daten/tavik");
  EXPECT_EQ(userDataDirectory("", "/home/anna"), "/home/anna/.local/share/tavik");
  EXPECT_EQ(userDataDirectory(nullptr, "/home/anna"), "/home/anna/.local/share/tavik");
  EXPECT_EQ(userDataDirectory(nullptr, nullptr), std::nullopt);

  enum class Here { Nothing, DataFile, Directory };
  struct Case {
    const char* name;
    Here here;           // what lies in the data file's place in the current directory
    bool userData;       // the user's data directory holds a data file
    bool userDirectory;  // a user data directory is known at all
    bool listsUser;
  };
  const Case cases[] = {
      {.name = "nothing here",
       .here = Here::Nothing,
       .userData = true,
       .userDirectory = true,
       .listsUser = true},
      {.name = "events here",
       .here = Here::DataFile,
       .userData = true,
       .userDirectory = true,
       .listsUser = false},
      {.name = "unreadable here stays here",
       .here = Here::Directory,
       .userData = true,
       .userDirectory = true,
       .listsUser = false},
      {.name = "nothing anywhere",
       .here = Here::Nothing,
       .userData = false,
       .userDirectory = true,
       .listsUser = false},
      {.name = "no home",
       .here = Here::Nothing,
       .userData = false,
       .userDirectory = false,
       .listsUser = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string here = dir.file("hier");
    const std::string user = dir.file("daten");
    ASSERT_EQ(::mkdir(here.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(user.c_str(), 0755), 0);
    if (c.here == Here::DataFile) test::writeFile(here + "/" + kDataFileName, images(1));
    if (c.here == Here::Directory) {
      ASSERT_EQ(::mkdir((here + "/" + kDataFileName).c_str(), 0755), 0);
    }
    if (c.userData) test::writeFile(user + "/" + kDataFileName, images(2));
    FakeFiles files;
    const std::optional<std::string> userDirectory =
        c.userDirectory ? std::optional(user) : std::nullopt;
    EXPECT_EQ(listingDirectory(files, here, userDirectory), c.listsUser ? user : here);
  }
}

// The view of an empty window has a line without columns; it stays as it is.
TEST(TerminalListing, EmptyWindowLineStaysAsItIs) {
  auto table = std::make_unique<EventTable>();
  const ViewResult view = computeView(*table, Settings{}, HolidaySelection{}, kToday, true);
  EXPECT_EQ(alignedLines(view.lines, view.columns), std::vector<std::string>{kEmptyWindowLine});
}

// Over a real rebuild: every line keeps its day text, date and text, and the dates and texts
// each start in one column.
TEST(TerminalListing, AlignedLinesOfARebuildLineUp) {
  auto table = std::make_unique<EventTable>();
  for (int i = 1; i <= 40; ++i) {
    EventRecord r = event(i);
    r.withoutYear = i % 3 == 0;
    table->storeRecord(i, r);
  }
  HolidaySelection holidays;
  holidays.bytes.fill(1);
  Settings settings;
  settings.anzdays = 99;
  const ViewResult view = computeView(*table, settings, holidays, kToday, true);
  const std::vector<std::string>& lines = view.lines;
  const std::vector<std::string> aligned = alignedLines(lines, view.columns);
  ASSERT_EQ(aligned.size(), lines.size());
  const std::regex date(R"([0-9]{2}\.[0-9]{2}\.)");
  const auto dateColumn = [&](const std::string& line) {
    std::smatch m;
    return std::regex_search(line, m, date) ? static_cast<std::size_t>(m.position(0))
                                            : std::string::npos;
  };
  const std::size_t dateAt = dateColumn(aligned.front());
  const std::size_t textAt = dateAt + 12;  // "DD.MM.YYYY" and two blanks
  bool widestDay = false;
  bool widestDate = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const std::string& line = aligned[i];
    ASSERT_GE(line.size(), textAt);
    EXPECT_EQ(dateColumn(line), dateAt);
    EXPECT_EQ(line.substr(dateAt - 2, 2), "  ");
    EXPECT_EQ(line.substr(textAt - 2, 2), "  ");
    widestDay = widestDay || line[dateAt - 3] != ' ';
    widestDate = widestDate || line[textAt - 3] != ' ';
    // Blanks taken out of the original line, nothing else.
    std::string squeezed = line;
    std::string original = lines[i];
    std::erase(squeezed, ' ');
    std::erase(original, ' ');
    EXPECT_EQ(squeezed, original);
    EXPECT_EQ(lines[i].substr(lines[i].size() - (line.size() - textAt)), line.substr(textAt));
  }
  // No column wider than its widest entry.
  EXPECT_TRUE(widestDay);
  EXPECT_TRUE(widestDate);
}

}  // namespace
}  // namespace tavik

namespace tavik {
namespace {

TEST(FrontArguments, EachOptionAloneIsTakenAndTheHelpNamesIt) {
  struct Case {
    const char* name;
    std::vector<const char*> args;
    FrontAction want;
  };
  const Case cases[] = {
      {.name = "none", .args = {"tavik"}, .want = FrontAction::Window},
      {.name = "list", .args = {"tavik", "--list"}, .want = FrontAction::List},
      {.name = "notify", .args = {"tavik", "--notify"}, .want = FrontAction::Notify},
      {.name = "two", .args = {"tavik", "--notify", "--list"}, .want = FrontAction::Invalid},
      {.name = "unknown", .args = {"tavik", "--notif"}, .want = FrontAction::Invalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(parseFrontArguments(static_cast<int>(c.args.size()), c.args.data()).action, c.want);
  }
  EXPECT_NE(helpText().find("\n  --notify    "), std::string::npos);
}

}  // namespace
}  // namespace tavik
