// Day numbers (whole days since 1899-12-30) <-> year, month, day in the proleptic Gregorian
// calendar.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik {

// A calendar date; years 1..9999, months 1..12, days 1..31.
struct Ymd {
  int year = 0;
  int month = 0;
  int day = 0;
  friend auto operator<=>(const Ymd&, const Ymd&) = default;
};

// A whole day number. Differences of two day numbers are plain ints (days).
struct DayNumber {
  std::int32_t value = 0;
  friend auto operator<=>(const DayNumber&, const DayNumber&) = default;
  friend constexpr int operator-(DayNumber a, DayNumber b) { return a.value - b.value; }
  friend constexpr DayNumber operator+(DayNumber a, int days) { return {a.value + days}; }
  friend constexpr DayNumber operator-(DayNumber a, int days) { return {a.value - days}; }
};

inline constexpr int kMinYear = 1;
inline constexpr int kMaxYear = 9999;

bool isLeapYear(int year);
int daysInMonth(int year, int month);  // 0 for a month outside 1..12

// Builds the day number of y-m-d; nullopt for a day that does not exist (31 April,
// 29 February outside a leap year, month 13) or a year outside 1..9999.
std::optional<DayNumber> makeDayNumber(int year, int month, int day);
std::optional<DayNumber> makeDayNumber(const Ymd& date);

// Splits a day number; nullopt when it lies outside the years 1..9999.
std::optional<Ymd> splitDayNumber(DayNumber n);

// The day number a record's `date` double holds: nullopt for a value that is not a whole
// number of a day in the years 1..9999 (NaN, infinities, fractions, far-off values).
std::optional<DayNumber> dayNumberFromDouble(double date);
inline double toDouble(DayNumber n) {
  return static_cast<double>(n.value);
}

// Splits a record's date; falls back to 0.0.0 for a value that is no valid day, so that lists
// can still show (and let the user delete) such a record.
Ymd splitRecordDate(double date);

// "YYYY-MM-DD", the form dates are stored in as text.
std::string isoDateText(DayNumber n);
// The day of a "YYYY-MM-DD" text (exactly ten characters); nullopt for anything else.
std::optional<DayNumber> parseIsoDate(std::string_view text);

// 0 = Sunday .. 6 = Saturday.
int weekday(DayNumber n);

}  // namespace tavik
