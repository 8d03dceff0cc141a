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

int weekday(DayNumber n) {
  return static_cast<int>(
      std::chrono::weekday{sys_days{days{n.value + kEpochOffset}}}.c_encoding());
}

}  // namespace tavik
