// Occurrences, countdown texts and lines, and the rebuild of the countdown view.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/day_number.h"
#include "store/event_table.h"
#include "store/typs.h"

namespace tavik {

// One row of the countdown grid: day text, date text, name; all UTF-8. `round` marks a round
// anniversary (isRoundAnniversary), which the grid shows in bold.
struct GridRow {
  std::string day;
  std::string date;
  std::string text;
  bool round = false;
  friend bool operator==(const GridRow&, const GridRow&) = default;
};

// A line of the today box as a notification words it: the day difference, the day the event
// falls on, its text with the suffix (the grid row's text) and whether it is a round
// anniversary.
struct Notice {
  int days = 0;
  DayNumber date;
  std::string text;
  bool round = false;
  friend bool operator==(const Notice&, const Notice&) = default;
};

// Where the columns of a countdown line lie, in bytes of its UTF-8: the day text without its
// trailing blanks at the start, the date at dateAt, and the text (with any suffix) from textAt
// to the line's end.
struct LineColumns {
  std::size_t dayLength = 0;
  std::size_t dateAt = 0;
  std::size_t dateLength = 0;
  std::size_t textAt = 0;
  friend bool operator==(const LineColumns&, const LineColumns&) = default;
};

// Everything one rebuild of the countdown view produces; every text is UTF-8, with the event
// texts' control characters kept for each output to neutralise.
struct ViewResult {
  std::vector<std::string> lines;            // the countdown lines in list order; never empty
  std::vector<LineColumns> columns;          // beside each line; empty with kEmptyWindowLine alone
  std::vector<GridRow> grid;                 // the filled grid rows in grid order
  std::vector<std::string> todayBox;         // the today box's lines in list order
  std::vector<LineColumns> todayBoxColumns;  // beside each of the today box's lines
  std::vector<Notice> notices;               // beside each of the today box's lines
  std::vector<std::string> popups;           // high-priority lines of today to show as messages
  std::vector<int> freedSlots;               // slots the auto-delete rule freed in this rebuild
};

// The line shown when nothing lies in the window.
inline constexpr const char* kEmptyWindowLine =
    "---- Keine Ereignisse im angegebenen Zeitraum vorhanden. ----";

// The day difference of a date that cannot be formed; it lies outside every window, the
// missed days included.
inline constexpr int kOccurrenceFailure = std::numeric_limits<int>::min();

// The most days back that missed events are listed for.
inline constexpr int kMostMissedDays = 30;

// True when d lies from `first` (-1 or further back) to `anzdays` days ahead.
constexpr bool inDayWindow(int d, int first, int anzdays) {
  return d >= first && d <= anzdays;
}

// True when the day difference d is shown: from yesterday (-1) to `anzdays` days ahead.
constexpr bool inDayWindow(int d, int anzdays) {
  return inDayWindow(d, -1, anzdays);
}

// The first day difference listed for events: -min(max(today - lastshown - 1, 1), 30), so the
// days after the last showing up to yesterday, at least yesterday and at most 30 days. -1 when
// nothing was shown yet or the date lies ahead of today (a clock set back).
int eventWindowStart(std::optional<DayNumber> lastshown, DayNumber today);

// The date of month-day in `year`. 29 February in a common year is 28 February, so that such
// events are not silently lost in three years out of four. nullopt for a day that does not
// exist and for years outside 1..9999.
std::optional<DayNumber> occurrenceInYear(int year, int month, int day);

// Days from today to the next occurrence of month-day: this year's date, or next year's when
// this year's lies more than 30 days back. kOccurrenceFailure when the date cannot be formed
// (an invalid month or day, or a next year beyond 9999).
int occurrenceDays(int month, int day, DayNumber today);

// The day difference of an event of month-day as listed in a window starting at `first`: last
// year's date when it lies from `first` to yesterday (so that the year's end loses nothing),
// else occurrenceDays.
int eventDays(int month, int day, DayNumber today, int first);

// "Gestern", "Heute" and "Morgen" padded with blanks to 20, 20 and 19 characters; "Noch " +
// blankPad2(d) + " Tage  " ahead (15 characters for 2..9, 14 for 10..99); for two days back
// and more "Vor " + blankPad2(-d) + " Tagen  ".
std::string countdownText(int d);

// The days back a day text of two days back or more stands for ("Vor  12 Tagen  " -> 12); 0
// for every other text. Such texts come first in the countdown order, the earliest first.
int missedDaysOf(std::string_view dayText);

// The number of the anniversary nearest to today: days from the stored date to today divided
// by 365.24 in extended precision, rounded half to even. Negative for dates well ahead; 0 for
// a record whose date is no valid day.
std::int32_t anniversaryCount(const EventRecord& record, DayNumber today);

// " (N)" when computeJubilee is set, withoutYear is clear and the stored year is not 9996;
// otherwise empty.
std::string anniversarySuffix(const EventRecord& record, DayNumber today);

// Whether the n-th anniversary of an event of `kind` (record extension) stands out: every 10th
// and the 18th birthday; every 10th wedding day and each one weddingDayName names. No other
// kind has round ones.
bool isRoundAnniversary(std::uint8_t kind, int n);

// The German name of the n-th wedding day for the multiples of five up to 75
// ("Silberhochzeit"); empty for the others.
std::string_view weddingDayName(int n);

// An event's countdown line, its columns and grid row for the day difference d.
struct CountdownEntry {
  std::string line;
  LineColumns columns;
  GridRow row;
};

// Line: day text, formatEventLine (the text in UTF-8), suffix. Row: day text; the stored date as
// "DD.MM.YYYY" (or "DD.MM" with withoutYear set; the stored year 9996 prints as such); text and
// suffix; whether it is round.
//
// Where anniversarySuffix gives one and the record's kind (record extension) is birthday,
// wedding day, death day or anniversary, N is the count of the occurrence d days from today:
// its year minus the stored year. For N >= 1 the row is round by isRoundAnniversary, and with
// `inWords` the suffix is worded instead: " – wird N" (" – ist N geworden" for days gone by),
// " – N. Hochzeitstag" (with the weddingDayName in parentheses where there is one),
// " – N. Todestag", " – N. Jahrestag". Everything else keeps anniversarySuffix.
CountdownEntry eventEntry(const EventRecord& record, int d, DayNumber today, bool inWords = false);

// A calendar day's date in a given year; nullopt when it cannot be formed.
using DateRule = std::function<std::optional<DayNumber>(int year)>;

// Adds the countdown line and grid row of a calendar day to `view` when its next occurrence
// (this year's date, or next year's when this year's lies more than 30 days back; last year's
// when that was yesterday) is in the window from yesterday to `anzdays`. The line shows `listYear`
// (a year such as 1989, yearlessMarkerYear for none, or kOccurrenceYear), the row the date of the
// occurrence. A day whose next-year date would lie beyond 9999 is left out. Returns the day
// difference of the entry added, or nullopt.
std::optional<int> addCalendarDay(ViewResult& view, std::string_view name, const DateRule& rule,
                                  int listYear, DayNumber today, int anzdays);

// Hands every day whose switch byte is exactly 1 to addCalendarDay: the public holidays in
// table order, then the other days. Does not look at byte 0 (computeHolidays). Returns the day
// differences of the entries added, in the order added.
std::vector<int> addHolidays(ViewResult& view, const HolidaySelection& selection, DayNumber today,
                             int anzdays);

// Puts the rows into countdown order by their day texts: the missed days first, the earliest
// first, then the other texts compared byte by byte. Rows with equal day texts end up exactly
// where a selection sort that exchanges the first strictly smallest row into each position
// leaves them, so their order depends on the order added.
void sortCountdownGrid(std::vector<GridRow>& rows);

// Rebuilds the countdown view: applies the auto-delete rule to every used slot (the freed
// event is still listed this once, from the record as it was), lists every event from
// eventWindowStart(settings.lastshown) to `settings.anzdays` days ahead, or to its lead time
// (record extension) when that is longer, and, when computeHolidays is on, every switched-on
// calendar day from yesterday on. The lines of missed days (two days back and more) come
// first, the earliest day first; lines of one day text follow the textSortKey of the rest of
// the line (date, text, suffix). Lines are worded as eventEntry does with `inWords` when
// `settings.inworten` is 1. The today box gets the lines of missed days (yesterday's events
// too when `settings.lastshown` lies before yesterday), then those of today, with
// `settings.prior` 2 the lines of high-priority events of other days and, when
// `firstRebuild`, the lines of events whose lead day (the occurrence less the lead time) lies
// after `settings.lastshown` and not after today (with no lastshown: is today), each once;
// `notices` words the same lines. The popups, only when `firstRebuild` and `settings.prior`
// is 1, get the lines of today's high-priority events in slot order. The grid holds the
// filled rows only; the empty row the grid ends in is the caller's.
ViewResult computeView(EventTable& table, const Settings& settings,
                       const HolidaySelection& holidays, DayNumber today, bool firstRebuild);

}  // namespace tavik
