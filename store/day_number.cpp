// Day-number arithmetic over std::chrono's civil calendar.
#include "store/day_number.h"

#include <chrono>
#include <cmath>

namespace tavik {
namespace {

using namespace std::chrono;

// 1899-12-30 as days since 1970-01-01.
constexpr int kEpochOffset = -25569;

constexpr DayNumber kFirstDay{-693593};  // 0001-01-01
constexpr DayNumber kLastDay{2958465};   // 9999-12-31

}  // namespace

bool isLeapYear(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

std::optional<DayNumber> makeDayNumber(int y, int m, int d) {
  if (y < kMinYear || y > kMaxYear || d < 1 || d > daysInMonth(y, m)) return std::nullopt;
  const sys_days sd{year{y} / month{static_cast<unsigned>(m)} / day{static_cast<unsigned>(d)}};
  return DayNumber{static_cast<std::int32_t>(sd.time_since_epoch().count() - kEpochOffset)};
}

std::optional<DayNumber> makeDayNumber(const Ymd& date) {
  return makeDayNumber(date.year, date.month, date.day);
}

std::optional<Ymd> splitDayNumber(DayNumber n) {
  if (n < kFirstDay || n > kLastDay) return std::nullopt;
  const year_month_day ymd{sys_days{days{n.value + kEpochOffset}}};
  return Ymd{static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
             static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

std::optional<DayNumber> dayNumberFromDouble(double date) {
  if (!std::isfinite(date) || date < kFirstDay.value || date > kLastDay.value) return std::nullopt;
  if (date != std::trunc(date)) return std::nullopt;
  return DayNumber{static_cast<std::int32_t>(date)};
}

Ymd splitRecordDate(double date) {
  if (const auto n = dayNumberFromDouble(date)) {
    if (const auto ymd = splitDayNumber(*n)) return *ymd;
  }
  return Ymd{};
}

std::string isoDateText(DayNumber n) {
  const std::optional<Ymd> date = splitDayNumber(n);
  if (!date) return {};
  char text[11];
  const int values[3] = {date->year, date->month, date->day};
  const int widths[3] = {4, 2, 2};
  char* at = text;
  for (int part = 0; part < 3; ++part) {
    if (part > 0) *at++ = '-';
    for (int k = widths[part] - 1, v = values[part]; k >= 0; --k, v /= 10)
      at[k] = char('0' + v % 10);
    at += widths[part];
  }
  return std::string(text, at);
}

std::optional<DayNumber> parseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int values[3] = {0, 0, 0};
  const std::size_t starts[3] = {0, 5, 8};
  const std::size_t lengths[3] = {4, 2, 2};
  for (int part = 0; part < 3; ++part) {
    for (std::size_t k = 0; k < lengths[part]; ++k) {
      const char c = text[starts[part] + k];
      if (c < '0' || c > '9') return std::nullopt;
      values[part] = values[part] * 10 + (c - '0');
    }
  }
  return makeDayNumber(values[0], values[1], values[2]);
}

int weekday(DayNumber n) {
  return static_cast<int>(
      std::chrono::weekday{sys_days{days{n.value + kEpochOffset}}}.c_encoding());
}

}  // namespace tavik
