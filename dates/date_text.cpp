// Date text helpers.
#include "dates/date_text.h"

#include "dates/day_number.h"

namespace tavik {

std::string zeroPad2(std::int32_t n) {
  std::string s = std::to_string(n);
  while (s.size() < 2) s.insert(0, "0");
  return s;
}

std::string blankPad2(std::int32_t n) {
  std::string s = std::to_string(n);
  if (s.size() < 2) s.insert(0, "  ");
  return s;
}

std::string formatDayMonthYear(std::uint16_t day, std::uint16_t month, std::uint16_t year) {
  std::string s = zeroPad2(day) + "." + zeroPad2(month);
  if (year == yearlessMarkerYear) return s + ".        ";
  return s + "." + zeroPad2(year);
}

std::string formatEventLine(const EventRecord& record) {
  const Ymd d = splitRecordDate(record.date);
  std::string s = zeroPad2(d.day) + "." + zeroPad2(d.month);
  if (isSet(record.withoutYear)) return s + ".           " + record.text();
  return s + "." + zeroPad2(d.year) + "   " + record.text();
}

}  // namespace tavik
