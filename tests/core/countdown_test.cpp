#include "dates/countdown.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "dates/holidays.h"
#include "dates/notification_lines.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

DayNumber on(int y, int m, int d) {
  return *makeDayNumber(y, m, d);
}

struct Ev {
  Ymd date;
  const char* text = "";
  std::uint8_t withoutYear = 0;
  std::uint8_t jubilee = 0;
  std::uint8_t autoDelete = 0;
  std::uint8_t high = 0;
  const char* unicode = nullptr;  // UTF-8 stored through setEventText instead of `text`
  std::uint8_t kind = 0;          // kind and lead time in the record extension
  std::uint8_t lead = 0;
};

EventRecord make(const Ev& e) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(e.date));
  r.setText(e.text);
  r.withoutYear = e.withoutYear;
  r.computeJubilee = e.jubilee;
  r.autoDelete = e.autoDelete;
  r.highPriority = e.high;
  if (e.unicode != nullptr) {
    EXPECT_EQ(setEventText(r, e.unicode), TextStore::Stored);
  }
  if (e.kind != 0 || e.lead != 0) {
    EXPECT_TRUE(giveExtension(r));
    setKind(r, e.kind);
    setLeadDays(r, e.lead);
  }
  return r;
}

EventTable tableOf(std::initializer_list<Ev> events) {
  EventTable table;
  int slot = 0;
  for (const Ev& e : events) table.storeRecord(++slot, make(e));
  return table;
}

TEST(Countdown, DayTexts) {
  struct Case {
    int d;
    std::string want;
  } const cases[] = {
      {-1, "Gestern" + std::string(13, ' ')},
      {0, "Heute" + std::string(15, ' ')},
      {1, "Morgen" + std::string(13, ' ')},
      {2, "Noch   2 Tage  "},
      {9, "Noch   9 Tage  "},
      {10, "Noch 10 Tage  "},
      {45, "Noch 45 Tage  "},
      {99, "Noch 99 Tage  "},
      {100, "Noch 100 Tage  "},
      {-2, "Vor   2 Tagen  "},
      {-3, "Vor   3 Tagen  "},
      {-12, "Vor 12 Tagen  "},
      {-30, "Vor 30 Tagen  "},
      {-365, "Vor 365 Tagen  "},
      {kOccurrenceFailure, "Vor 2147483648 Tagen  "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d);
    EXPECT_EQ(countdownText(c.d), c.want);
    EXPECT_EQ(missedDaysOf(c.want), c.d <= -2 && c.d > kOccurrenceFailure ? -c.d : 0);
  }
  EXPECT_EQ(countdownText(-1).size(), 20u);
  EXPECT_EQ(countdownText(0).size(), 20u);
  EXPECT_EQ(countdownText(1).size(), 19u);
  EXPECT_EQ(countdownText(5).size(), 15u);
  EXPECT_EQ(countdownText(50).size(), 14u);
}

// Expected values counted by hand from the calendar.
TEST(Countdown, OccurrenceDays) {
  struct Case {
    const char* name;
    int month;
    int day;
    DayNumber today;
    int want;
  } const cases[] = {
      {.name = "1 Jan seen on 31 Dec", .month = 1, .day = 1, .today = on(2006, 12, 31), .want = 1},
      {.name = "31 Dec seen on 1 Jan",
       .month = 12,
       .day = 31,
       .today = on(2007, 1, 1),
       .want = 364},
      {.name = "31 Dec seen on 1 Jan of a leap year",
       .month = 12,
       .day = 31,
       .today = on(2008, 1, 1),
       .want = 365},
      {.name = "30 days back stays", .month = 3, .day = 1, .today = on(2006, 3, 31), .want = -30},
      {.name = "31 days back is next year",
       .month = 2,
       .day = 28,
       .today = on(2006, 3, 31),
       .want = 334},
      {.name = "29 Feb in a leap year", .month = 2, .day = 29, .today = on(2008, 2, 20), .want = 9},
      {.name = "29 Feb seen on 1 Mar of a leap year",
       .month = 2,
       .day = 29,
       .today = on(2008, 3, 1),
       .want = -1},
      {.name = "29 Feb falls on 28 Feb in a common year",
       .month = 2,
       .day = 29,
       .today = on(2007, 2, 28),
       .want = 0},
      {.name = "29 Feb in the year before a leap year",
       .month = 2,
       .day = 29,
       .today = on(2007, 2, 20),
       .want = 8},
      {.name = "29 Feb seen on 1 Mar of a common year",
       .month = 2,
       .day = 29,
       .today = on(2007, 3, 1),
       .want = -1},
      {.name = "29 Feb after 30 Mar of a leap year is next year's 28 Feb",
       .month = 2,
       .day = 29,
       .today = on(2008, 3, 31),
       .want = 334},
      {.name = "29 Feb after 30 Mar before a leap year",
       .month = 2,
       .day = 29,
       .today = on(2007, 4, 2),
       .want = 333},
      {.name = "no such month",
       .month = 0,
       .day = 0,
       .today = on(2006, 5, 1),
       .want = kOccurrenceFailure},
      {.name = "31 April",
       .month = 4,
       .day = 31,
       .today = on(2006, 5, 1),
       .want = kOccurrenceFailure},
      {.name = "next year beyond 9999",
       .month = 1,
       .day = 1,
       .today = on(9999, 12, 31),
       .want = kOccurrenceFailure},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(occurrenceDays(c.month, c.day, c.today), c.want);
  }
}

// Shown on `lastshown`, started on `today`: the first day difference listed for events.
TEST(Countdown, EventWindowStart) {
  const DayNumber today = on(2006, 12, 15);
  struct Case {
    const char* name;
    std::optional<DayNumber> lastshown;
    int want;
  } const cases[] = {
      {.name = "never shown", .lastshown = std::nullopt, .want = -1},
      {.name = "shown today", .lastshown = today, .want = -1},
      {.name = "shown yesterday", .lastshown = today - 1, .want = -1},
      {.name = "shown the day before", .lastshown = today - 2, .want = -1},
      {.name = "shown on Friday, started on Tuesday", .lastshown = today - 4, .want = -3},
      {.name = "8 days ago", .lastshown = today - 8, .want = -7},
      {.name = "31 days ago", .lastshown = today - 31, .want = -30},
      {.name = "45 days ago is capped", .lastshown = today - 45, .want = -30},
      {.name = "a date ahead (clock set back)", .lastshown = today + 3, .want = -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(eventWindowStart(c.lastshown, today), c.want);
  }
}

// Hand-counted: 15 Dec 2006 is a Friday.
TEST(Countdown, MissedDaysComeFirstEarliestFirst) {
  EventTable table = tableOf({
      {.date = {1980, 12, 14}, .text = "Gestern"},
      {.date = {1970, 12, 12}, .text = "b", .jubilee = 1},
      {.date = {1990, 12, 15}, .text = "Heute"},
      {.date = {1970, 12, 12}, .text = "A"},
      {.date = {1975, 12, 3}, .text = "Zw\xF6lf"},
      {.date = {1999, 12, 8}, .text = "Sieben"},
      {.date = {1999, 12, 2}, .text = "Zu alt"},
      {.date = {1999, 12, 18}, .text = "Bald"},
  });
  const Settings settings{.prior = 0, .lastshown = on(2006, 12, 2)};
  const ViewResult v = computeView(table, settings, HolidaySelection{}, on(2006, 12, 15), true);
  const std::vector<std::string> lines = {
      "Vor 12 Tagen  03.12.1975   Zwölf",
      "Vor   7 Tagen  08.12.1999   Sieben",
      "Vor   3 Tagen  12.12.1970   A",
      "Vor   3 Tagen  12.12.1970   b (36)",
      "Gestern             14.12.1980   Gestern",
      "Heute               15.12.1990   Heute",
      "Noch   3 Tage  18.12.1999   Bald",
  };
  EXPECT_EQ(v.lines, lines);
  std::vector<std::string> grid;
  for (const GridRow& row : v.grid) grid.push_back(row.day + "|" + row.date + "|" + row.text);
  EXPECT_EQ(grid, (std::vector<std::string>{
                      "Vor 12 Tagen  |03.12.1975|Zwölf",
                      "Vor   7 Tagen  |08.12.1999|Sieben",
                      "Vor   3 Tagen  |12.12.1970|A",
                      "Vor   3 Tagen  |12.12.1970|b (36)",
                      "Gestern             |14.12.1980|Gestern",
                      "Heute               |15.12.1990|Heute",
                      "Noch   3 Tage  |18.12.1999|Bald",
                  }));
  // Among equal day texts the grid keeps the exchanges' order: Z S A b G H N after three
  // exchanges. The today box: what was missed, yesterday included, then today's.
  EXPECT_EQ(v.todayBox,
            (std::vector<std::string>{lines[0], lines[1], lines[2], lines[3], lines[4], lines[5]}));
  // Each line of the box keeps its columns, so the box can lay them out as the grid does.
  EXPECT_EQ(v.todayBoxColumns,
            (std::vector<LineColumns>{v.columns[0], v.columns[1], v.columns[2], v.columns[3],
                                      v.columns[4], v.columns[5]}));
}

// Monday 18 Dec 2006 after a weekend off: Saturday's and Sunday's events were both missed, and
// the today box (and so the notification) has to say so. Yesterday counts as missed only when
// the countdown was last shown before it.
TEST(Countdown, YesterdayIsMissedWhenLastShownBeforeIt) {
  const DayNumber monday = on(2006, 12, 18);
  const std::string saturday = "Vor   2 Tagen  16.12.1970   Anna";
  const std::string sunday = "Gestern             17.12.1970   Bernd";
  const std::string today = "Heute               18.12.1970   Carla";
  struct Case {
    const char* name;
    std::optional<DayNumber> lastshown;
    std::vector<std::string> todayBox;
  };
  const Case cases[] = {
      {.name = "shown on Friday", .lastshown = monday - 3, .todayBox = {saturday, sunday, today}},
      {.name = "shown on Saturday", .lastshown = monday - 2, .todayBox = {sunday, today}},
      {.name = "shown on Sunday", .lastshown = monday - 1, .todayBox = {today}},
      {.name = "shown today", .lastshown = monday, .todayBox = {today}},
      {.name = "never shown", .lastshown = std::nullopt, .todayBox = {today}},
      {.name = "a date ahead (clock set back)", .lastshown = monday + 3, .todayBox = {today}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventTable table = tableOf({
        {.date = {1970, 12, 17}, .text = "Bernd"},
        {.date = {1970, 12, 18}, .text = "Carla"},
        {.date = {1970, 12, 16}, .text = "Anna"},
    });
    const ViewResult v = computeView(table, Settings{.prior = 0, .lastshown = c.lastshown},
                                     HolidaySelection{}, monday, true);
    EXPECT_EQ(v.todayBox, c.todayBox);
    // The window keeps calling yesterday "Gestern".
    EXPECT_NE(std::find(v.lines.begin(), v.lines.end(), sunday), v.lines.end());
  }
}

TEST(Countdown, TodayBoxHoldsMissedHighPriorityLinesOnce) {
  EventTable table = tableOf({
      {.date = {1970, 12, 13}, .text = "wichtig", .high = 1},
      {.date = {1970, 12, 14}, .text = "gestern", .high = 1},
      {.date = {1970, 12, 20}, .text = "bald", .high = 1},
  });
  const Settings settings{.prior = 2, .lastshown = on(2006, 12, 10)};
  const ViewResult v = computeView(table, settings, HolidaySelection{}, on(2006, 12, 15), true);
  EXPECT_EQ(v.todayBox, (std::vector<std::string>{
                            "Vor   2 Tagen  13.12.1970   wichtig",
                            "Gestern             14.12.1970   gestern",
                            "Noch   5 Tage  20.12.1970   bald",
                        }));
}

// A date that cannot be formed must not pass for a real day 7 back, which a window shown 8
// days ago reaches.
TEST(Countdown, DayThatCannotBeFormedIsNeverListed) {
  EventTable table = tableOf({{.date = {1999, 12, 8}, .text = "Sieben"}});
  EventRecord broken = make({.date = {1999, 12, 8}, .text = "Kaputt"});
  broken.date = 0.5;  // no whole day: splits to 0.0.0
  table.storeRecord(2, broken);
  const DayNumber today = on(2006, 12, 15);
  const ViewResult v =
      computeView(table, Settings{.lastshown = today - 8}, HolidaySelection{}, today, true);
  EXPECT_EQ(v.lines, std::vector<std::string>{"Vor   7 Tagen  08.12.1999   Sieben"});
}

TEST(Countdown, LeapDayInACommonYearSeenEightDaysLater) {
  // 29 Feb falls on 28 Feb 2007; 8 March is 8 days later.
  EventTable table = tableOf({{.date = {1980, 2, 29}, .text = "Schaltjahr", .jubilee = 1}});
  const DayNumber today = on(2007, 3, 8);
  const ViewResult missed =
      computeView(table, Settings{.lastshown = on(2007, 2, 20)}, HolidaySelection{}, today, true);
  EXPECT_EQ(missed.lines, std::vector<std::string>{"Vor   8 Tagen  29.02.1980   Schaltjahr (27)"});
  EXPECT_EQ(missed.grid,
            (std::vector<GridRow>{{"Vor   8 Tagen  ", "29.02.1980", "Schaltjahr (27)"}}));
  // Shown a week ago, the day was seen then.
  const ViewResult seen =
      computeView(table, Settings{.lastshown = on(2007, 3, 1)}, HolidaySelection{}, today, true);
  EXPECT_EQ(seen.lines, std::vector<std::string>{kEmptyWindowLine});
}

TEST(Countdown, YearEndLosesNothing) {
  HolidaySelection silvester;
  silvester.bytes[0] = 1;
  silvester.bytes[30] = 1;  // Silvester (31.12)
  silvester.bytes[1] = 1;   // Neujahr (1.1)
  EventTable table = tableOf({
      {.date = {1970, 12, 31}, .text = "Silvesterkind", .jubilee = 1},
      {.date = {1970, 12, 29}, .text = "Vorher"},
      {.date = {1970, 1, 2}, .text = "Morgen"},
  });
  // On 1 January, 31 December is yesterday; the calendar day shows last year's date.
  const ViewResult newYear = computeView(table, Settings{}, silvester, on(2007, 1, 1), true);
  EXPECT_EQ(newYear.lines, (std::vector<std::string>{
                               "Gestern             31.12.           Silvester",
                               "Gestern             31.12.1970   Silvesterkind (36)",
                               "Heute               01.01.           Neujahr",
                               "Morgen             02.01.1970   Morgen",
                           }));
  EXPECT_EQ(newYear.grid[0], (GridRow{"Gestern             ", "31.12.1970", "Silvesterkind (36)"}));
  EXPECT_EQ(newYear.grid[1], (GridRow{"Gestern             ", "31.12.2006", "Silvester"}));

  // Missed days reach back across the year's end; calendar days do not.
  const ViewResult missed =
      computeView(table, Settings{.lastshown = on(2006, 12, 27)}, silvester, on(2007, 1, 2), true);
  EXPECT_EQ(missed.lines, (std::vector<std::string>{
                              "Vor   4 Tagen  29.12.1970   Vorher",
                              "Vor   2 Tagen  31.12.1970   Silvesterkind (36)",
                              "Gestern             01.01.           Neujahr",
                              "Heute               02.01.1970   Morgen",
                          }));
}

TEST(Countdown, AutoDeletedMissedEventIsListedOnce) {
  EventTable table = tableOf({{.date = {2006, 12, 5}, .text = "Einmalig", .autoDelete = 1}});
  const DayNumber today = on(2006, 12, 15);
  const Settings settings{.lastshown = on(2006, 12, 1)};
  const ViewResult first = computeView(table, settings, HolidaySelection{}, today, true);
  EXPECT_EQ(first.lines, std::vector<std::string>{"Vor 10 Tagen  05.12.2006   Einmalig"});
  EXPECT_EQ(first.freedSlots, std::vector<int>{1});
  const ViewResult next = computeView(table, settings, HolidaySelection{}, today, false);
  EXPECT_EQ(next.lines, std::vector<std::string>{kEmptyWindowLine});
}

TEST(Countdown, AnniversaryCountAndSuffix) {
  struct Case {
    const char* name;
    Ev event;
    DayNumber today;
    int count;
    std::string suffix;
  } const cases[] = {
      // 13,140 days / 365.24 = 35.98
      {.name = "nearest anniversary",
       .event = {.date = {1970, 5, 10}, .jubilee = 1},
       .today = on(2006, 5, 1),
       .count = 36,
       .suffix = " (36)"},
      {.name = "19 days ahead",
       .event = {.date = {2006, 3, 1}, .jubilee = 1},
       .today = on(2006, 2, 10),
       .count = 0,
       .suffix = " (0)"},
      {.name = "370 days ahead",
       .event = {.date = {2007, 1, 10}, .jubilee = 1},
       .today = on(2006, 1, 5),
       .count = -1,
       .suffix = " (-1)"},
      {.name = "any switch value counts",
       .event = {.date = {1970, 5, 10}, .jubilee = 2},
       .today = on(2006, 5, 1),
       .count = 36,
       .suffix = " (36)"},
      {.name = "switch off",
       .event = {.date = {1970, 5, 10}},
       .today = on(2006, 5, 1),
       .count = 36,
       .suffix = ""},
      {.name = "without year",
       .event = {.date = {2000, 5, 10}, .withoutYear = 1, .jubilee = 1},
       .today = on(2006, 5, 1),
       .count = 6,
       .suffix = ""},
      {.name = "marker year",
       .event = {.date = {9996, 5, 10}, .jubilee = 1},
       .today = on(2006, 5, 1),
       .count = -7990,
       .suffix = ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EventRecord r = make(c.event);
    EXPECT_EQ(anniversaryCount(r, c.today), c.count);
    EXPECT_EQ(anniversarySuffix(r, c.today), c.suffix);
  }
}

TEST(Countdown, AnniversaryRoundsToNearest) {
  const EventRecord r = make({.date = {2000, 1, 1}});
  // 182 days are 0.498 years, 183 days 0.501.
  EXPECT_EQ(anniversaryCount(r, on(2000, 1, 1) + 182), 0);
  EXPECT_EQ(anniversaryCount(r, on(2000, 1, 1) + 183), 1);
  EXPECT_EQ(anniversaryCount(r, on(2000, 1, 1) - 183), -1);
}

TEST(Countdown, EventLineAndRow) {
  struct Case {
    const char* name;
    Ev event;
    DayNumber today;
    std::string line;
    GridRow row;
  } const cases[] = {
      {.name = "dated with anniversary",
       .event = {.date = {1970, 3, 5}, .text = "Feier", .jubilee = 1},
       .today = on(2006, 3, 1),
       .line = "Noch   4 Tage  05.03.1970   Feier (36)",
       .row = {"Noch   4 Tage  ", "05.03.1970", "Feier (36)"}},
      {.name = "without year",
       .event = {.date = {2000, 12, 24}, .text = "Feier", .withoutYear = 1, .jubilee = 1},
       .today = on(2006, 12, 1),
       .line = "Noch 23 Tage  24.12.           Feier",
       .row = {"Noch 23 Tage  ", "24.12", "Feier"}},
      {.name = "marker year without the switch prints its year",
       .event = {.date = {9996, 12, 24}, .text = "Feier", .jubilee = 1},
       .today = on(2006, 12, 23),
       .line = "Morgen             24.12.9996   Feier",
       .row = {"Morgen             ", "24.12.9996", "Feier"}},
      {.name = "29 Feb on 28 Feb of a common year keeps its date",
       .event = {.date = {1980, 2, 29}, .text = "Geburtstag"},
       .today = on(2007, 2, 28),
       .line = "Heute               29.02.1980   Geburtstag",
       .row = {"Heute               ", "29.02.1980", "Geburtstag"}},
      {.name = "29 Feb seen on 1 Mar of a leap year",
       .event = {.date = {1980, 2, 29}, .text = "Geburtstag"},
       .today = on(2008, 3, 1),
       .line = "Gestern             29.02.1980   Geburtstag",
       .row = {"Gestern             ", "29.02.1980", "Geburtstag"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EventRecord r = make(c.event);
    const CountdownEntry entry =
        eventEntry(r, occurrenceDays(c.event.date.month, c.event.date.day, c.today), c.today);
    EXPECT_EQ(entry.line, c.line);
    EXPECT_EQ(entry.row, c.row);
  }
}

TEST(Countdown, EmptyWindow) {
  EventTable table = tableOf({{.date = {1970, 8, 1}, .text = "Fern"}});
  const ViewResult v = computeView(table, Settings{}, HolidaySelection{}, on(2006, 5, 1), true);
  EXPECT_EQ(v.lines, std::vector<std::string>{kEmptyWindowLine});
  EXPECT_TRUE(v.grid.empty());
  EXPECT_TRUE(v.todayBox.empty());
  EXPECT_TRUE(v.popups.empty());
  EXPECT_TRUE(v.freedSlots.empty());
}

TEST(Countdown, WindowOfOneDay) {
  EventTable table = tableOf({
      {.date = {1970, 5, 3}, .text = "Zwei"},
      {.date = {1970, 5, 2}, .text = "Morgen"},
      {.date = {1970, 5, 1}, .text = "Heute"},
      {.date = {1970, 4, 30}, .text = "Gestern"},
      {.date = {1970, 4, 29}, .text = "Vorgestern"},
  });
  const ViewResult v =
      computeView(table, Settings{.anzdays = 1}, HolidaySelection{}, on(2006, 5, 1), true);
  EXPECT_EQ(v.lines, (std::vector<std::string>{
                         "Gestern             30.04.1970   Gestern",
                         "Heute               01.05.1970   Heute",
                         "Morgen             02.05.1970   Morgen",
                     }));
  EXPECT_EQ(v.todayBox, std::vector<std::string>{"Heute               01.05.1970   Heute"});
}

TEST(Countdown, ThreeDigitCountsSortAfterTheirTwoDigitPrefix) {
  const DayNumber today = on(2006, 1, 1);
  auto ev = [&](int days, const char* text) {
    const Ymd d = *splitDayNumber(today + days);
    return Ev{.date = {1990, d.month, d.day}, .text = text};
  };
  EventTable table = tableOf({ev(11, "elf"), ev(100, "hundert"), ev(10, "zehn"), ev(2, "zwei")});
  const ViewResult v =
      computeView(table, Settings{.anzdays = 120}, HolidaySelection{}, today, false);
  const std::vector<std::string> wantLines = {
      "Noch   2 Tage  03.01.1990   zwei",
      "Noch 10 Tage  11.01.1990   zehn",
      "Noch 100 Tage  11.04.1990   hundert",
      "Noch 11 Tage  12.01.1990   elf",
  };
  EXPECT_EQ(v.lines, wantLines);
  ASSERT_EQ(v.grid.size(), 4u);
  EXPECT_EQ(v.grid[0].text, "zwei");
  EXPECT_EQ(v.grid[1].text, "zehn");
  EXPECT_EQ(v.grid[2].text, "hundert");
  EXPECT_EQ(v.grid[3].text, "elf");
}

TEST(Countdown, LinesWithTheSameDayFollowDateThenText) {
  EventTable table = tableOf({
      {.date = {1970, 5, 5}, .text = "b"},
      {.date = {1965, 5, 5}, .text = "z"},
      {.date = {1970, 5, 5}, .text = "A"},
  });
  const ViewResult v = computeView(table, Settings{}, HolidaySelection{}, on(2006, 5, 1), false);
  EXPECT_EQ(v.lines, (std::vector<std::string>{
                         "Noch   4 Tage  05.05.1965   z",
                         "Noch   4 Tage  05.05.1970   A",
                         "Noch   4 Tage  05.05.1970   b",
                     }));
}

// Countdown order of whole texts that begin with their day text: missed days first, the
// earliest first, then `less`.
template <typename Less>
bool countdownLess(const std::string& a, const std::string& b, Less less) {
  const int backA = missedDaysOf(a);
  const int backB = missedDaysOf(b);
  if (backA != backB) return backA > backB;
  return less(a, b);
}

// The selection sort as it runs on the grid: the first strictly smallest row of the rest is
// exchanged into each position.
void plainSelectionSort(std::vector<GridRow>& rows) {
  std::vector<int> back;  // each row's missed days, read once
  for (const GridRow& row : rows) back.push_back(missedDaysOf(row.day));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::size_t m = i;
    for (std::size_t j = i + 1; j < rows.size(); ++j) {
      if (back[j] != back[m] ? back[j] > back[m] : rows[j].day < rows[m].day) m = j;
    }
    std::swap(rows[i], rows[m]);
    std::swap(back[i], back[m]);
  }
}

// Texts Windows-1252 cannot hold take the place of their Latin fallback, after a Windows-1252
// text with the same fallback; the columns are byte offsets into the UTF-8 line.
TEST(Countdown, TextsInAnyScriptShowWholeAndSortByTheirLatinForm) {
  EventTable table = tableOf({
      {.date = {1970, 5, 5}, .text = "Zoo"},
      {.date = {1970, 5, 5}, .unicode = "Ζωή"},
      {.date = {1970, 5, 5}, .high = 1, .unicode = "Ayşe Yılmaz"},
      {.date = {1970, 5, 5}, .text = "\xC9mile"},
      {.date = {1970, 5, 5}, .jubilee = 1, .unicode = "Дмитрий"},
      {.date = {1970, 5, 5}, .unicode = "Ayşe"},
      {.date = {1970, 5, 5}, .text = "Ayse"},
      {.date = {1970, 5, 7}, .text = "Bald"},
  });
  const ViewResult v =
      computeView(table, Settings{.prior = 1}, HolidaySelection{}, on(2006, 5, 5), true);
  const std::vector<std::string> today = {
      "Heute               05.05.1970   Ayse",
      "Heute               05.05.1970   Ayşe",
      "Heute               05.05.1970   Ayşe Yılmaz",
      "Heute               05.05.1970   Дмитрий (36)",
      "Heute               05.05.1970   Émile",
      "Heute               05.05.1970   Ζωή",
      "Heute               05.05.1970   Zoo",
  };
  std::vector<std::string> lines = today;
  lines.push_back("Noch   2 Tage  07.05.1970   Bald");
  EXPECT_EQ(v.lines, lines);
  EXPECT_EQ(v.todayBox, today);
  EXPECT_EQ(v.popups, std::vector<std::string>{"Heute               05.05.1970   Ayşe Yılmaz"});
  ASSERT_EQ(v.columns.size(), v.lines.size());
  EXPECT_EQ(v.lines[3].substr(v.columns[3].textAt), "Дмитрий (36)");
  std::vector<std::string> texts;
  for (const GridRow& row : v.grid) texts.push_back(row.text);
  // The grid keeps the order added among equal day texts.
  EXPECT_EQ(texts, (std::vector<std::string>{"Zoo", "Ζωή", "Ayşe Yılmaz", "Émile", "Дмитрий (36)",
                                             "Ayşe", "Ayse", "Bald"}));
}

TEST(Countdown, GridOrderAmongEqualDayTextsFollowsTheExchanges) {
  // Added A(5) B(3) C(5) D(3) E(5): B moves up and sends A to C's old place behind C.
  const DayNumber today = on(2006, 1, 1);
  auto ev = [&](int days, const char* text) {
    const Ymd d = *splitDayNumber(today + days);
    return Ev{.date = {1990, d.month, d.day}, .text = text};
  };
  EventTable table = tableOf({ev(5, "A"), ev(3, "B"), ev(5, "C"), ev(3, "D"), ev(5, "E")});
  const ViewResult v = computeView(table, Settings{}, HolidaySelection{}, today, false);
  std::string order;
  for (const GridRow& row : v.grid) order += row.text;
  EXPECT_EQ(order, "BDCAE");
}

TEST(Countdown, GridSortMatchesThePlainSelectionSort) {
  std::mt19937 random(20061215);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const int size = std::uniform_int_distribution(0, 400)(random);
    // Few distinct day texts, so that equal ones are common.
    const int span = std::uniform_int_distribution(1, 130)(random);
    std::vector<GridRow> rows;
    for (int i = 0; i < size; ++i) {
      const int d = std::uniform_int_distribution(-30, span - 2)(random);
      rows.push_back({countdownText(d), "", std::to_string(i)});
    }
    std::vector<GridRow> want = rows;
    plainSelectionSort(want);
    sortCountdownGrid(rows);
    ASSERT_EQ(rows, want);
  }
}

// The rebuild against the plain definitions: every line sorted by textSortKey after the missed
// days, the grid rows in the order added sorted by the plain selection sort, on random tables.
TEST(Countdown, RebuildMatchesThePlainSorts) {
  std::mt19937 random(4006);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution(low, high)(random); };
  const std::vector<std::string> words = {"Anna",
                                          "anna",
                                          "\xC4nne",
                                          "Anton",
                                          "Ma\xDF"
                                          "e",
                                          "Masse",
                                          "10",
                                          "1",
                                          " x",
                                          "Zoo",
                                          ""};
  // Stored in the extension; some share their Latin form with a word above.
  const std::vector<std::string> otherScripts = {"Ānne", "Дмитрий", "Ayşe", "Zoë", "Ζωή", "Ănna"};
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const DayNumber today = on(2006, 1, 1) + pick(0, 3 * 365);
    Settings settings{.anzdays = static_cast<std::uint8_t>(pick(1, 255)),
                      .prior = static_cast<std::uint8_t>(pick(0, 2))};
    if (round % 4 != 0) settings.lastshown = today - pick(0, 45);
    const int first = round % 4 == 0 ? -1 : -std::clamp(today - *settings.lastshown - 1, 1, 30);
    HolidaySelection holidays;
    for (std::uint8_t& b : holidays.bytes) b = static_cast<std::uint8_t>(pick(0, 1));
    EventTable table;
    const int events = pick(0, 300);
    for (int slot = 1; slot <= events; ++slot) {
      const Ymd day = *splitDayNumber(today + pick(-40, 400));
      EventRecord r = make(
          {.date = {pick(1900, 2010), day.month, day.day},
           .text =
               words[static_cast<std::size_t>(pick(0, static_cast<int>(words.size()) - 1))].c_str(),
           .withoutYear = static_cast<std::uint8_t>(pick(0, 1)),
           .jubilee = static_cast<std::uint8_t>(pick(0, 1)),
           .high = static_cast<std::uint8_t>(pick(0, 1))});
      if (pick(0, 3) == 0) {
        setEventText(r, otherScripts[static_cast<std::size_t>(
                            pick(0, static_cast<int>(otherScripts.size()) - 1))]);
      }
      table.storeRecord(slot, r);
    }

    ViewResult want;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (table.slotIsFree(slot)) continue;
      const EventRecord& r = table.record(slot);
      const Ymd stored = splitRecordDate(r.date);
      const int d = eventDays(stored.month, stored.day, today, first);
      if (!inDayWindow(d, first, settings.anzdays)) continue;
      const CountdownEntry entry = eventEntry(r, d, today);
      const bool yesterdayMissed = settings.lastshown && today - *settings.lastshown >= 2;
      if (d <= -2 || (d == -1 && yesterdayMissed) ||
          (isSet(r.highPriority) && settings.prior == 2 && d != 0)) {
        want.todayBox.push_back(entry.line);
      }
      want.lines.push_back(entry.line);
      want.grid.push_back(entry.row);
    }
    if (holidays.computeHolidays()) addHolidays(want, holidays, today, settings.anzdays);
    for (const std::string& line : want.lines) {
      if (line.starts_with("Heute")) want.todayBox.push_back(line);
    }
    if (want.lines.empty()) want.lines.emplace_back(kEmptyWindowLine);
    auto order = [](const std::string& a, const std::string& b) {
      return countdownLess(a, b, [](const std::string& x, const std::string& y) {
        return textSortKey(x) < textSortKey(y);
      });
    };
    std::sort(want.lines.begin(), want.lines.end(), order);
    std::sort(want.todayBox.begin(), want.todayBox.end(), order);
    plainSelectionSort(want.grid);

    const ViewResult got = computeView(table, settings, holidays, today, false);
    ASSERT_EQ(got.lines, want.lines);
    ASSERT_EQ(got.grid, want.grid);
    ASSERT_EQ(got.todayBox, want.todayBox);
  }
}

TEST(Countdown, HighPriorityHandling) {
  // Today, in 5 days and yesterday with high priority; in 3 days without.
  const std::string today = "Heute               01.05.1970   heute";
  const std::string soon = "Noch   5 Tage  06.05.1970   bald";
  const std::string yesterday = "Gestern             30.04.1970   gestern";
  struct Case {
    const char* name;
    std::uint8_t prior;
    bool first;
    std::vector<std::string> popups;
    std::vector<std::string> todayBox;
  } const cases[] = {
      {.name = "ignore", .prior = 0, .first = true, .popups = {}, .todayBox = {today}},
      {.name = "popup at the first rebuild",
       .prior = 1,
       .first = true,
       .popups = {today},
       .todayBox = {today}},
      {.name = "no popup later", .prior = 1, .first = false, .popups = {}, .todayBox = {today}},
      {.name = "into the today box",
       .prior = 2,
       .first = true,
       .popups = {},
       .todayBox = {yesterday, today, soon}},
      {.name = "unknown handling", .prior = 3, .first = true, .popups = {}, .todayBox = {today}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventTable table = tableOf({
        {.date = {1970, 5, 1}, .text = "heute", .high = 1},
        {.date = {1970, 5, 6}, .text = "bald", .high = 1},
        {.date = {1970, 5, 4}, .text = "normal"},
        {.date = {1970, 4, 30}, .text = "gestern", .high = 1},
    });
    const ViewResult v =
        computeView(table, Settings{.prior = c.prior}, HolidaySelection{}, on(2006, 5, 1), c.first);
    EXPECT_EQ(v.popups, c.popups);
    EXPECT_EQ(v.todayBox, c.todayBox);
    EXPECT_EQ(v.lines.size(), 4u);
  }
}

TEST(Countdown, AutoDeletedEventIsListedOnceWithItsOldDate) {
  EventTable table = tableOf({
      {.date = {2005, 3, 1}, .text = "Einmalig", .autoDelete = 1},
      {.date = {2006, 2, 10}, .text = "Vorbei", .autoDelete = 1},
      {.date = {2006, 2, 13}, .text = "Bleibt", .autoDelete = 1},
  });
  const DayNumber today = on(2006, 2, 20);
  const ViewResult first = computeView(table, Settings{}, HolidaySelection{}, today, true);
  EXPECT_EQ(first.lines, std::vector<std::string>{"Noch   9 Tage  01.03.2005   Einmalig"});
  EXPECT_EQ(first.grid, (std::vector<GridRow>{{"Noch   9 Tage  ", "01.03.2005", "Einmalig"}}));
  EXPECT_EQ(first.freedSlots, (std::vector<int>{1, 2}));
  EXPECT_TRUE(table.slotIsFree(1));
  EXPECT_TRUE(table.slotIsFree(2));
  EXPECT_FALSE(table.slotIsFree(3));

  const ViewResult next = computeView(table, Settings{}, HolidaySelection{}, today, false);
  EXPECT_EQ(next.lines, std::vector<std::string>{kEmptyWindowLine});
  EXPECT_TRUE(next.freedSlots.empty());
}

TEST(Countdown, HolidaysFollowTheEventsAndReachTheTodayBox) {
  HolidaySelection on24 = {};
  on24.bytes[0] = 1;
  on24.bytes[29] = 1;  // Heilig Abend
  EventTable table = tableOf({{.date = {2000, 12, 24}, .text = "Bescherung", .withoutYear = 1}});
  const ViewResult v = computeView(table, Settings{}, on24, on(2006, 12, 24), true);
  const std::vector<std::string> want = {
      "Heute               24.12.           Bescherung",
      "Heute               24.12.           Heilig Abend",
  };
  EXPECT_EQ(v.lines, want);
  EXPECT_EQ(v.todayBox, want);
  EXPECT_EQ(v.grid, (std::vector<GridRow>{{"Heute               ", "24.12", "Bescherung"},
                                          {"Heute               ", "24.12.2006", "Heilig Abend"}}));

  on24.bytes[0] = 0;
  const ViewResult off = computeView(table, Settings{}, on24, on(2006, 12, 24), false);
  EXPECT_EQ(off.lines.size(), 1u);
}

// The columns beside each line pick out its day text without the padding, the date as the
// line shows it (a holiday's listed year, not the grid's) and the text with its suffix.
TEST(Countdown, ColumnsPickOutDayDateAndText) {
  HolidaySelection days = {};
  days.bytes[0] = 1;
  days.bytes[10] = 1;  // Tag der deutschen Einheit, listed with 1989
  days.bytes[29] = 1;  // Heilig Abend, listed without a year
  EventTable table = tableOf({
      {.date = {1970, 10, 2}, .text = "Anna", .jubilee = 1},
      {.date = {2000, 10, 10}, .text = " ohne 01.02.   Jahr ", .withoutYear = 1},
  });
  Settings settings;
  settings.anzdays = 99;
  const ViewResult v = computeView(table, settings, days, on(2006, 10, 1), true);
  ASSERT_EQ(v.columns.size(), v.lines.size());
  std::vector<std::string> split;
  for (std::size_t i = 0; i < v.lines.size(); ++i) {
    const std::string& line = v.lines[i];
    const LineColumns& c = v.columns[i];
    split.push_back(line.substr(0, c.dayLength) + "|" + line.substr(c.dateAt, c.dateLength) + "|" +
                    line.substr(c.textAt));
  }
  EXPECT_EQ(split, (std::vector<std::string>{
                       "Morgen|02.10.1970|Anna (36)",
                       "Noch   2 Tage|03.10.1989|Tag der deutschen Einheit",
                       "Noch   9 Tage|10.10.| ohne 01.02.   Jahr ",
                       "Noch 84 Tage|24.12.|Heilig Abend",
                   }));
}

// An event with a lead time is listed from that many days ahead when the window is shorter.
TEST(Countdown, LeadTimeWidensTheEventsWindow) {
  struct Case {
    const char* name;
    DayNumber today;
    Ymd date;
    std::uint8_t anzdays;
    std::uint8_t lead;
    bool listed;
  } const cases[] = {
      {"no lead time, beyond the window", on(2006, 12, 15), {1970, 12, 22}, 3, 0, false},
      {"no lead time, inside the window", on(2006, 12, 15), {1970, 12, 18}, 3, 0, true},
      {"lead time shorter than the window", on(2006, 12, 15), {1970, 12, 18}, 3, 2, true},
      {"lead time shorter, beyond the window", on(2006, 12, 15), {1970, 12, 19}, 3, 2, false},
      {"lead time longer: its last day", on(2006, 12, 15), {1970, 12, 22}, 3, 7, true},
      {"lead time longer: a day beyond", on(2006, 12, 15), {1970, 12, 23}, 3, 7, false},
      {"across the year's end", on(2006, 12, 28), {1970, 1, 6}, 3, 10, true},
      {"across the year's end, a day beyond", on(2006, 12, 28), {1970, 1, 8}, 3, 10, false},
      {"the longest lead time", on(2006, 12, 15), {1970, 3, 24}, 30, 99, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventTable table = tableOf({{.date = c.date, .text = "Anna", .lead = c.lead}});
    const ViewResult v =
        computeView(table, Settings{.anzdays = c.anzdays}, HolidaySelection{}, c.today, false);
    EXPECT_EQ(v.grid.size(), c.listed ? 1u : 0u);
  }
}

// A lead time puts the event into the today box once: on the first rebuild after its lead
// day was reached, however many days the program was not started.
TEST(Countdown, LeadDayIsAnnouncedOnce) {
  const DayNumber friday = on(2006, 12, 15);
  struct Case {
    const char* name;
    DayNumber today;
    Ymd date;
    std::optional<DayNumber> lastshown;
    std::vector<std::string> todayBox;
    bool first = true;
  };
  const Case cases[] = {
      {"lead day today", friday, {1970, 12, 22}, friday - 1, {"Noch   7 Tage  22.12.1970   Anna"}},
      {"lead day today, never shown",
       friday,
       {1970, 12, 22},
       std::nullopt,
       {"Noch   7 Tage  22.12.1970   Anna"}},
      {"lead day today, shown today already", friday, {1970, 12, 22}, friday, {}},
      {"not the first rebuild", friday, {1970, 12, 22}, friday - 1, {}, false},
      {"lead day tomorrow", friday, {1970, 12, 23}, friday - 1, {}},
      {"lead day two days ago, not shown since",
       friday,
       {1970, 12, 20},
       friday - 3,
       {"Noch   5 Tage  20.12.1970   Anna"}},
      {"lead day two days ago, shown then", friday, {1970, 12, 20}, friday - 2, {}},
      {"lead day two days ago, never shown", friday, {1970, 12, 20}, std::nullopt, {}},
      {"a date ahead (clock set back)", friday, {1970, 12, 22}, friday + 3, {}},
      {"occurrence next year",
       on(2006, 12, 28),
       {1970, 1, 3},
       on(2006, 12, 26),
       {"Noch   6 Tage  03.01.1970   Anna"}},
      {"occurrence next year, shown on its lead day",
       on(2006, 12, 28),
       {1970, 1, 3},
       on(2006, 12, 27),
       {}},
      {"lead day last year, occurrence today",
       on(2007, 1, 3),
       {1970, 1, 3},
       on(2006, 12, 20),
       {"Heute               03.01.1970   Anna"}},
      {"today's event is there once",
       friday,
       {1970, 12, 15},
       friday - 8,
       {"Heute               15.12.1970   Anna"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventTable table = tableOf({{.date = c.date, .text = "Anna", .lead = 7}});
    const ViewResult v = computeView(table, Settings{.anzdays = 3, .lastshown = c.lastshown},
                                     HolidaySelection{}, c.today, c.first);
    EXPECT_EQ(v.todayBox, c.todayBox);
    EXPECT_EQ(v.notices.size(), v.todayBox.size());
  }
  // Without a lead time an event ahead never reaches the box.
  EventTable plain = tableOf({{.date = {1970, 12, 17}, .text = "Anna"}});
  EXPECT_TRUE(
      computeView(plain, Settings{.lastshown = friday - 5}, HolidaySelection{}, friday, true)
          .todayBox.empty());
}

// Row texts as the grid shows them, with and without words, and which rows are round.
TEST(Countdown, AnniversariesInWordsAndRoundOnes) {
  constexpr std::uint8_t kBirthday = 1, kWedding = 2, kDeath = 3, kNameDay = 4, kJubilee = 5,
                         kAppointment = 6;
  const DayNumber friday = on(2006, 12, 15);
  auto ev = [](Ymd date, const char* text, std::uint8_t kind, std::uint8_t jubilee = 1,
               std::uint8_t withoutYear = 0) {
    return Ev{
        .date = date, .text = text, .withoutYear = withoutYear, .jubilee = jubilee, .kind = kind};
  };
  struct Case {
    const char* name;
    Ev event;
    DayNumber today;
    std::string text;
    bool round = false;
    bool inWords = true;
    int first = -1;
  };
  const Case cases[] = {
      {"birthday today", ev({1956, 12, 15}, "Anna", kBirthday, 1, 0), friday, "Anna – wird 50",
       true},
      {"birthday yesterday", ev({1970, 12, 14}, "Anna", kBirthday, 1, 0), friday,
       "Anna – ist 36 geworden"},
      {"missed birthday across the year's end", ev({1970, 12, 31}, "Anna", kBirthday, 1, 0),
       on(2007, 1, 2), "Anna – ist 36 geworden", false, true, -5},
      {"birthday next year", ev({1957, 1, 3}, "Anna", kBirthday, 1, 0), on(2006, 12, 28),
       "Anna – wird 50", true},
      {"the 18th", ev({1988, 12, 20}, "Ben", kBirthday, 1, 0), friday, "Ben – wird 18", true},
      {"the 19th", ev({1987, 12, 20}, "Ben", kBirthday, 1, 0), friday, "Ben – wird 19"},
      {"29 Feb on 28 Feb of a common year", ev({1980, 2, 29}, "Lea", kBirthday, 1, 0),
       on(2007, 2, 27), "Lea – wird 27"},
      {"29 Feb on 28 Feb, seen the day after", ev({1980, 2, 29}, "Lea", kBirthday, 1, 0),
       on(2010, 3, 1), "Lea – ist 30 geworden", true},
      {"count 0", ev({2006, 12, 20}, "Neu", kBirthday, 1, 0), friday, "Neu (0)"},
      {"a future stored year", ev({2010, 12, 20}, "Bald", kBirthday, 1, 0), friday, "Bald (-4)"},
      {"words off", ev({1956, 12, 15}, "Anna", kBirthday, 1, 0), friday, "Anna (50)", true, false},
      {"no count switched on", ev({1956, 12, 15}, "Anna", kBirthday, 0, 0), friday, "Anna"},
      {"without year", ev({2000, 12, 15}, "Anna", kBirthday, 1, 1), friday, "Anna"},
      {"silver wedding", ev({1981, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern – 25. Hochzeitstag (Silberhochzeit)", true},
      {"golden wedding", ev({1956, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern – 50. Hochzeitstag (Goldene Hochzeit)", true},
      {"diamond wedding", ev({1946, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern – 60. Hochzeitstag (Diamantene Hochzeit)", true},
      {"iron wedding", ev({1941, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern – 65. Hochzeitstag (Eiserne Hochzeit)", true},
      {"80th wedding day, no name", ev({1926, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern – 80. Hochzeitstag", true},
      {"23rd wedding day", ev({1983, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern – 23. Hochzeitstag"},
      {"wedding name with words off", ev({1981, 12, 20}, "Eltern", kWedding, 1, 0), friday,
       "Eltern (25)", true, false},
      {"death day", ev({1996, 12, 20}, "Opa", kDeath, 1, 0), friday, "Opa – 10. Todestag"},
      {"anniversary", ev({2003, 12, 20}, "Firma", kJubilee, 1, 0), friday, "Firma – 3. Jahrestag"},
      {"name day keeps the number", ev({1966, 12, 20}, "Eva", kNameDay, 1, 0), friday, "Eva (40)"},
      {"appointment keeps the number", ev({1966, 12, 20}, "Zahnarzt", kAppointment, 1, 0), friday,
       "Zahnarzt (40)"},
      {"no kind keeps the number", ev({1966, 12, 20}, "Eva", 0), friday, "Eva (40)"},
      {"text from the extension",
       Ev{.date = {1976, 12, 20}, .jubilee = 1, .unicode = "Ayşe", .kind = kBirthday}, friday,
       "Ayşe – wird 30", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const EventRecord r = make(c.event);
    const int d = eventDays(c.event.date.month, c.event.date.day, c.today, c.first);
    const CountdownEntry entry = eventEntry(r, d, c.today, c.inWords);
    EXPECT_EQ(entry.row.text, c.text);
    EXPECT_TRUE(entry.line.ends_with(c.text)) << entry.line;
    EXPECT_EQ(entry.row.round, c.round);
  }
}

// The count of the occurrence shown and the rounded count the plain suffix gives agree on
// every day of the widest window, 29 February and the year's end included.
TEST(Countdown, OccurrenceCountMatchesTheRoundedCount) {
  for (const Ymd stored :
       {Ymd{1980, 2, 29}, Ymd{1970, 12, 31}, Ymd{1970, 1, 1}, Ymd{1999, 6, 15}}) {
    const EventRecord counted = make({.date = stored, .jubilee = 1, .kind = 3});
    const EventRecord plain = make({.date = stored, .jubilee = 1});
    for (DayNumber today = on(2006, 1, 1); today < on(2009, 1, 1); today = today + 1) {
      const int d = eventDays(stored.month, stored.day, today, -kMostMissedDays);
      if (!inDayWindow(d, -kMostMissedDays, kMostLeadDays)) continue;
      const std::string worded = eventEntry(counted, d, today, true).row.text;
      const std::string number = eventEntry(plain, d, today).row.text;
      ASSERT_EQ(" – " + number.substr(2, number.size() - 3) + ". Todestag", worded)
          << isoDateText(today) << " " << d;
    }
  }
}

TEST(Countdown, WithoutKindsAndWordsTheLinesStayAsTheyWere) {
  // Kinds and lead times of 0 and the option off: the lines stay what they were.
  EventTable table = tableOf({
      {.date = {1956, 12, 15}, .text = "Anna", .jubilee = 1},
      {.date = {1981, 12, 20}, .text = "Eltern", .jubilee = 1},
  });
  const ViewResult v = computeView(table, Settings{}, HolidaySelection{}, on(2006, 12, 15), true);
  EXPECT_EQ(v.lines, (std::vector<std::string>{"Heute               15.12.1956   Anna (50)",
                                               "Noch   5 Tage  20.12.1981   Eltern (25)"}));
  EXPECT_FALSE(v.grid[0].round);
}

TEST(Countdown, NotificationLines) {
  const DayNumber friday = on(2026, 12, 11);
  // Plain members: GCC 12 at -O2 takes strings inside a nested aggregate for uninitialised.
  struct Case {
    int days;
    DayNumber date;
    const char* text;
    bool round;
    const char* want;
  } const cases[] = {
      {0, friday, "Anna Schmidt – wird 50", true, "★ Heute – Anna Schmidt – wird 50"},
      {7, friday + 7, "Mama – wird 70", false, "In 7 Tagen, Fr 18.12. – Mama – wird 70"},
      {1, friday + 1, "Tom", false, "Morgen, Sa 12.12. – Tom"},
      {-1, friday - 1, "Tim – ist 9 geworden", false, "Gestern, Do 10.12. – Tim – ist 9 geworden"},
      {-4, friday - 4, "Ben (40)", false, "Vor 4 Tagen, Mo 07.12. – Ben (40)"},
      {21, on(2027, 1, 1), "Neujahr", false, "In 21 Tagen, Fr 01.01. – Neujahr"},
      {0, friday, " ohne 01.02.   Jahr ", false, "Heute – ohne 01.02.   Jahr"},
      {0, friday, "  ", false, "Heute"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(notificationLine(Notice{c.days, c.date, c.text, c.round}), c.want);
  }
}

// The notices follow the today box: its order, the day each event falls on (29 February on
// the 28th), the worded text and the round mark.
TEST(Countdown, NotificationLinesOfARebuild) {
  EventTable table = tableOf({
      {.date = {1955, 2, 28}, .text = "Mama", .jubilee = 1, .kind = 1, .lead = 7},
      {.date = {1966, 2, 19}, .text = "Ben", .jubilee = 1},
      {.date = {1980, 2, 29}, .text = "Lea", .jubilee = 1, .kind = 1, .lead = 9},
      {.date = {1975, 2, 21}, .text = "Anna Schmidt", .jubilee = 1, .kind = 1},
      {.date = {1980, 3, 20}, .text = "Sp\xE4ter", .kind = 1, .lead = 30},
      {.date = {1990, 2, 20}, .text = "Udo"},
      {.date = {1980, 2, 23}, .text = "Noch nicht", .kind = 1, .lead = 1},
  });
  // Friday 21 February 2025, last shown on Sunday the 16th.
  const Settings settings{.anzdays = 3, .inworten = 1, .lastshown = on(2025, 2, 16)};
  const ViewResult v = computeView(table, settings, HolidaySelection{}, on(2025, 2, 21), true);
  EXPECT_EQ(notificationLines(v), (std::vector<std::string>{
                                      "Vor 2 Tagen, Mi 19.02. – Ben (59)",
                                      "Gestern, Do 20.02. – Udo",
                                      "★ Heute – Anna Schmidt – wird 50",
                                      "★ In 7 Tagen, Fr 28.02. – Mama – wird 70",
                                      "In 7 Tagen, Fr 28.02. – Lea – wird 45",
                                      "In 27 Tagen, Do 20.03. – Später",
                                  }));
  EXPECT_EQ(v.notices.size(), v.todayBox.size());
}

}  // namespace
}  // namespace tavik
