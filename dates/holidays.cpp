// Holiday date rules and the holiday pass.
#include "dates/holidays.h"

namespace tavik {

DayNumber easterSunday(int year) {
  // Anonymous Gregorian algorithm (Meeus/Jones/Butcher); all operands are non-negative.
  const int a = year % 19;
  const int b = year / 100;
  const int c = year % 100;
  const int d = b / 4;
  const int e = b % 4;
  const int f = (b + 8) / 25;
  const int g = (b - f + 1) / 3;
  const int h = (19 * a + b - d - g + 15) % 30;
  const int i = c / 4;
  const int k = c % 4;
  const int l = (32 + 2 * e + 2 * i - h - k) % 7;  // h + k <= 32, so l >= 0
  const int m = (a + 11 * h + 22 * l) / 451;
  const int n = h + l - 7 * m + 114;
  return *makeDayNumber(year, n / 31, n % 31 + 1);
}

DayNumber secondSundayInMay(int year) {
  const DayNumber mayFirst = *makeDayNumber(year, 5, 1);
  return mayFirst + (7 - weekday(mayFirst)) % 7 + 7;
}

DayNumber fourthAdventSunday(int year) {
  const DayNumber christmasEve = *makeDayNumber(year, 12, 24);
  return christmasEve - weekday(christmasEve);
}

std::optional<DayNumber> dateInYear(const CalendarDay& day, int year) {
  if (year < kMinYear || year > kMaxYear) return std::nullopt;
  switch (day.anchor) {
    case Anchor::FixedDate:
      return makeDayNumber(year, day.month, day.day);
    case Anchor::EasterSunday:
      return easterSunday(year) + day.offset;
    case Anchor::SecondSundayInMay:
      return secondSundayInMay(year) + day.offset;
    case Anchor::FourthAdventSunday:
      return fourthAdventSunday(year) + day.offset;
  }
  return std::nullopt;
}

}  // namespace tavik
