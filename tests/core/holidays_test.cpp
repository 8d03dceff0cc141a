#include "dates/holidays.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dates/countdown.h"

namespace tavik {
namespace {

DayNumber on(int y, int m, int d) {
  return *makeDayNumber(y, m, d);
}

const CalendarDay& dayNamed(std::string_view name) {
  for (const CalendarDay& d : kPublicHolidays) {
    if (d.name == name) return d;
  }
  for (const CalendarDay& d : kOtherDays) {
    if (d.name == name) return d;
  }
  throw std::invalid_argument(std::string(name));
}

// Known Easter dates from published tables.
TEST(Holidays, EasterSunday) {
  struct Case {
    int year;
    Ymd want;
  } const cases[] = {
      {2006, {2006, 4, 16}}, {2008, {2008, 3, 23}}, {2011, {2011, 4, 24}},
      {2038, {2038, 4, 25}}, {2285, {2285, 3, 22}}, {1583, {1583, 4, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.year);
    EXPECT_EQ(splitDayNumber(easterSunday(c.year)), c.want);
  }
}

TEST(Holidays, EasterIsASundayFrom22MarchTo25April) {
  for (int year = 1583; year <= 9999; ++year) {
    const DayNumber easter = easterSunday(year);
    ASSERT_EQ(weekday(easter), 0) << year;
    ASSERT_GE(easter, on(year, 3, 22)) << year;
    ASSERT_LE(easter, on(year, 4, 25)) << year;
  }
}

TEST(Holidays, SundayRules) {
  struct Case {
    const char* name;
    DayNumber got;
    DayNumber want;
  } const cases[] = {
      {"Muttertag 2006", secondSundayInMay(2006), on(2006, 5, 14)},
      {"Muttertag 2011", secondSundayInMay(2011), on(2011, 5, 8)},
      {"Muttertag when 1 May is a Sunday", secondSundayInMay(2005), on(2005, 5, 8)},
      {"4th Advent on 24 Dec", fourthAdventSunday(2006), on(2006, 12, 24)},
      {"4th Advent 2007", fourthAdventSunday(2007), on(2007, 12, 23)},
      {"1. Advent 2006", *dateInYear(dayNamed("1. Advent"), 2006), on(2006, 12, 3)},
      {"Buss- und Bettag 2006", *dateInYear(dayNamed("Buß- und Bettag"), 2006), on(2006, 11, 22)},
      {"Karfreitag 2008", *dateInYear(dayNamed("Karfreitag"), 2008), on(2008, 3, 21)},
      {"Pfingstmontag 2006", *dateInYear(dayNamed("Pfingstmontag"), 2006), on(2006, 6, 5)},
      {"Fronleichnam 2006", *dateInYear(dayNamed("Fronleichnam"), 2006), on(2006, 6, 15)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.got, c.want);
  }
  for (int year = 1; year <= 9999; year += 7) {
    ASSERT_EQ(weekday(fourthAdventSunday(year)), 0) << year;
    ASSERT_EQ(weekday(*dateInYear(dayNamed("Buß- und Bettag"), year)), 3) << year;
  }
}

TEST(Holidays, NamesEntriesAndListYears) {
  struct Row {
    std::string name;
    std::string entry;
    int listYear;
  };
  const int marker = yearlessMarkerYear;
  const int occurrence = kOccurrenceYear;
  const std::vector<Row> publicHolidays = {
      {"Neujahr", "Neujahr (1.1)", marker},
      {"Heilige drei Könige", "Heilige drei Könige (6.1)", marker},
      {"Karfreitag", "Karfreitag (variabel)", occurrence},
      {"Ostermontag", "Ostermontag (variabel)", occurrence},
      {"Tag der Arbeit / Maifeiertag", "Tag der Arbeit / Maifeiertag (1.5)", marker},
      {"Christi Himmelfahrt", "Christi Himmelfahrt (variabel)", occurrence},
      {"Pfingstmontag", "Pfingstmontag (variabel)", occurrence},
      {"Fronleichnam", "Fronleichnam (variabel)", occurrence},
      {"Mariä Himmelfahrt", "Mariä Himmelfahrt (15.8)", marker},
      {"Tag der deutschen Einheit", "Tag der deutschen Einheit (3.10.1989)", 1989},
      {"Reformationstag", "Reformationstag (31.10)", marker},
      {"Allerheiligen", "Allerheiligen (1.11)", marker},
      {"Buß- und Bettag", "Buß- und Bettag (variabel)", occurrence},
      {"1. Weihnachtsfeiertag", "1. Weihnachtsfeiertag (25.12)", marker},
      {"2. Weihnachtsfeiertag", "2. Weihnachtsfeiertag (26.12)", marker},
  };
  const std::vector<Row> otherDays = {
      {"Valentinstag", "Valentinstag (14.2)", marker},
      {"Frauentag", "Frauentag (8.3)", marker},
      {"Muttertag", "Muttertag (variabel)", occurrence},
      {"Ostersonntag", "Ostersonntag (variabel)", occurrence},
      {"Pfingstsonntag", "Pfingstsonntag (variabel)", occurrence},
      {"Kindertag / Männertag", "Kindertag (1.6)", marker},
      {"Weltaidstag", "Weltaidstag (1.12)", marker},
      {"1. Advent", "1. Advent (variabel)", occurrence},
      {"Heilig Abend", "Heilig Abend (24.12)", marker},
      {"Silvester", "Silvester (31.12)", marker},
      {"Weltkindertag", "Weltkindertag (20.9)", marker},
  };
  auto check = [](const auto& table, const std::vector<Row>& want) {
    ASSERT_EQ(table.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      SCOPED_TRACE(want[i].name);
      EXPECT_EQ(std::string(table[i].name), want[i].name);
      EXPECT_EQ(std::string(table[i].dialogEntry), want[i].entry);
      EXPECT_EQ(table[i].listYear, want[i].listYear);
    }
  };
  check(kPublicHolidays, publicHolidays);
  check(kOtherDays, otherDays);
}

ViewResult pass(std::initializer_list<int> bytes, DayNumber today, int anzdays) {
  HolidaySelection selection;
  for (const int b : bytes) selection.bytes[static_cast<std::size_t>(b)] = 1;
  ViewResult view;
  addHolidays(view, selection, today, anzdays);
  return view;
}

TEST(Holidays, CountdownEntries) {
  struct Case {
    const char* name;
    int byte;
    DayNumber today;
    int anzdays;
    std::string line;  // empty: not shown
    GridRow row;
  } const cases[] = {
      {.name = "Neujahr of the next year",
       .byte = 1,
       .today = on(2006, 12, 15),
       .anzdays = 30,
       .line = "Noch 17 Tage  01.01.           Neujahr",
       .row = {"Noch 17 Tage  ", "01.01.2007", "Neujahr"}},
      {.name = "Karfreitag of the next year",
       .byte = 3,
       .today = on(2007, 12, 25),
       .anzdays = 99,
       .line = "Noch 87 Tage  21.03.2008   Karfreitag",
       .row = {"Noch 87 Tage  ", "21.03.2008", "Karfreitag"}},
      {.name = "Karfreitag beyond the window",
       .byte = 3,
       .today = on(2007, 12, 25),
       .anzdays = 86,
       .line = "",
       .row = {}},
      {.name = "Tag der deutschen Einheit",
       .byte = 10,
       .today = on(2006, 10, 1),
       .anzdays = 30,
       .line = "Noch   2 Tage  03.10.1989   Tag der deutschen Einheit",
       .row = {"Noch   2 Tage  ", "03.10.2006", "Tag der deutschen Einheit"}},
      {.name = "Heilig Abend today",
       .byte = 29,
       .today = on(2006, 12, 24),
       .anzdays = 30,
       .line = "Heute               24.12.           Heilig Abend",
       .row = {"Heute               ", "24.12.2006", "Heilig Abend"}},
      {.name = "Muttertag tomorrow",
       .byte = 23,
       .today = on(2006, 5, 13),
       .anzdays = 30,
       .line = "Morgen             14.05.2006   Muttertag",
       .row = {"Morgen             ", "14.05.2006", "Muttertag"}},
      {.name = "Kindertag shows its countdown name",
       .byte = 26,
       .today = on(2006, 6, 2),
       .anzdays = 30,
       .line = "Gestern             01.06.           Kindertag / Männertag",
       .row = {"Gestern             ", "01.06.2006", "Kindertag / Männertag"}},
      {.name = "Silvester seen on 1 January is yesterday's",
       .byte = 30,
       .today = on(2007, 1, 1),
       .anzdays = 99,
       .line = "Gestern             31.12.           Silvester",
       .row = {"Gestern             ", "31.12.2006", "Silvester"}},
      {.name = "Silvester seen on 2 January",
       .byte = 30,
       .today = on(2007, 1, 2),
       .anzdays = 99,
       .line = "",
       .row = {}},
      {.name = "Silvester of 9999",
       .byte = 30,
       .today = on(9999, 12, 31),
       .anzdays = 99,
       .line = "Heute               31.12.           Silvester",
       .row = {"Heute               ", "31.12.9999", "Silvester"}},
      {.name = "Weltkindertag today",
       .byte = 31,
       .today = on(2019, 9, 20),
       .anzdays = 30,
       .line = "Heute               20.09.           Weltkindertag",
       .row = {"Heute               ", "20.09.2019", "Weltkindertag"}},
      {.name = "Weltkindertag ahead",
       .byte = 31,
       .today = on(2026, 9, 8),
       .anzdays = 30,
       .line = "Noch 12 Tage  20.09.           Weltkindertag",
       .row = {"Noch 12 Tage  ", "20.09.2026", "Weltkindertag"}},
      {.name = "Weltkindertag yesterday",
       .byte = 31,
       .today = on(2024, 9, 21),
       .anzdays = 30,
       .line = "Gestern             20.09.           Weltkindertag",
       .row = {"Gestern             ", "20.09.2024", "Weltkindertag"}},
      {.name = "Weltkindertag of the next year",
       .byte = 31,
       .today = on(2006, 10, 25),
       .anzdays = 99,
       .line = "",
       .row = {}},
      {.name = "Neujahr after 9999",
       .byte = 1,
       .today = on(9999, 12, 31),
       .anzdays = 99,
       .line = "",
       .row = {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ViewResult v = pass({c.byte}, c.today, c.anzdays);
    if (c.line.empty()) {
      EXPECT_TRUE(v.lines.empty());
      EXPECT_TRUE(v.grid.empty());
    } else {
      EXPECT_EQ(v.lines, std::vector<std::string>{c.line});
      EXPECT_EQ(v.grid, std::vector<GridRow>{c.row});
    }
  }
}

TEST(Holidays, OnlyByteValueOneSwitchesADayOn) {
  HolidaySelection selection;
  selection.bytes[1] = 2;    // Neujahr
  selection.bytes[2] = 255;  // Heilige drei Könige
  selection.bytes[16] = 1;   // reserved
  selection.bytes[31] = 2;   // Weltkindertag, a reserved byte in older files
  selection.bytes[32] = 1;   // reserved
  selection.bytes[50] = 1;   // reserved
  ViewResult view;
  addHolidays(view, selection, on(2006, 9, 1), 255);
  EXPECT_TRUE(view.lines.empty());
}

TEST(Holidays, PassAddsInTableOrder) {
  std::vector<int> all;
  for (int b = 1; b <= 15; ++b) all.push_back(b);
  for (int b = 21; b <= 30; ++b) all.push_back(b);
  HolidaySelection selection;
  for (const int b : all) selection.bytes[static_cast<std::size_t>(b)] = 1;
  ViewResult view;
  // From 31 December 2005 (yesterday) up to 13 September 2006.
  addHolidays(view, selection, on(2006, 1, 1), 255);
  std::vector<std::string> names;
  for (const GridRow& row : view.grid) names.push_back(row.text);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Neujahr", "Heilige drei Könige", "Karfreitag", "Ostermontag",
                                      "Tag der Arbeit / Maifeiertag", "Christi Himmelfahrt",
                                      "Pfingstmontag", "Fronleichnam", "Mariä Himmelfahrt",
                                      "Valentinstag", "Frauentag", "Muttertag", "Ostersonntag",
                                      "Pfingstsonntag", "Kindertag / Männertag", "Silvester"}));

  // From 1 September 2006 to 13 May 2007: the autumn days, then next year's up to Muttertag.
  view = {};
  selection.bytes[31] = 1;
  addHolidays(view, selection, on(2006, 9, 1), 254);
  names.clear();
  for (const GridRow& row : view.grid) names.push_back(row.text);
  EXPECT_EQ(names, (std::vector<std::string>{"Neujahr",
                                             "Heilige drei Könige",
                                             "Karfreitag",
                                             "Ostermontag",
                                             "Tag der Arbeit / Maifeiertag",
                                             "Tag der deutschen Einheit",
                                             "Reformationstag",
                                             "Allerheiligen",
                                             "Buß- und Bettag",
                                             "1. Weihnachtsfeiertag",
                                             "2. Weihnachtsfeiertag",
                                             "Valentinstag",
                                             "Frauentag",
                                             "Muttertag",
                                             "Ostersonntag",
                                             "Weltaidstag",
                                             "1. Advent",
                                             "Heilig Abend",
                                             "Silvester",
                                             "Weltkindertag"}));
}

// A file written before Weltkindertag existed holds 0 in its byte: the day stays off.
TEST(Holidays, OlderFilesLeaveWeltkindertagOff) {
  HolidaySelection selection;
  for (int b = 0; b <= 30; ++b) {
    if (b < 16 || b > 20) selection.bytes[static_cast<std::size_t>(b)] = 1;
  }
  ViewResult view;
  addHolidays(view, selection, on(2019, 9, 15), 10);
  EXPECT_TRUE(view.lines.empty());
  selection.bytes[31] = 1;
  addHolidays(view, selection, on(2019, 9, 15), 10);
  EXPECT_EQ(view.lines, std::vector<std::string>{"Noch   5 Tage  20.09.           Weltkindertag"});
}

}  // namespace
}  // namespace tavik
