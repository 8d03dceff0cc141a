// Date text helpers.
#include "dates/date_text.h"

#include <algorithm>
#include <charconv>

#include "store/day_number.h"

namespace tavik {

char* writeZeroPad2(char* out, std::int32_t n) {
  if (n >= 0 && n < 100) {  // days and months
    out[0] = static_cast<char>('0' + n / 10);
    out[1] = static_cast<char>('0' + n % 10);
    return out + 2;
  }
  return std::to_chars(out, out + 11, n).ptr;  // 2 characters at least outside 0..99
}

std::string zeroPad2(std::int32_t n) {
  char digits[12];
  return std::string(digits, writeZeroPad2(digits, n));
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
  std::string s;
  appendEventLine(s, record);
  return s;
}

std::size_t appendEventLine(std::string& out, const EventRecord& record) {
  const Ymd d = splitRecordDate(record.date);
  char date[32];
  char* end = writeZeroPad2(date, d.day);
  *end++ = '.';
  end = writeZeroPad2(end, d.month);
  if (isSet(record.withoutYear)) {
    end = std::copy_n(".           ", 12, end);
  } else {
    *end++ = '.';
    end = writeZeroPad2(end, d.year);
    end = std::copy_n("   ", 3, end);
  }
  out.append(date, end);
  const std::size_t textAt = out.size();
  const std::size_t length = std::min<std::size_t>(record.textLength, kMaxTextLength);
  out.append(reinterpret_cast<const char*>(record.textBytes.data()), length);
  return textAt;
}

}  // namespace tavik
