// Date text helpers.
#include "dates/date_text.h"

#include <algorithm>
#include <charconv>

#include "store/cp1252.h"
#include "store/day_number.h"
#include "store/event_text.h"
#include "store/record_extension.h"

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

namespace {

// Writes the date part of an event line (at most 32 characters) at `out`; returns its end.
char* writeLineDate(char* out, const EventRecord& record) {
  const Ymd d = splitRecordDate(record.date);
  char* end = writeZeroPad2(out, d.day);
  *end++ = '.';
  end = writeZeroPad2(end, d.month);
  if (isSet(record.withoutYear)) return std::copy_n(".           ", 12, end);
  *end++ = '.';
  end = writeZeroPad2(end, d.year);
  return std::copy_n("   ", 3, end);
}

}  // namespace

std::string eventLineDate(const EventRecord& record) {
  char date[32];
  return std::string(date, writeLineDate(date, record));
}

std::string formatEventLine(const EventRecord& record) {
  std::string s;
  appendEventLine(s, record);
  return s;
}

std::size_t appendEventLine(std::string& out, const EventRecord& record) {
  // Without the mark there is no extension to read; such records are widened in place.
  if (reservedUse(record) == ReservedUse::Extension) {
    return appendEventLine(out, record, eventText(record));
  }
  char date[32];
  out.append(date, writeLineDate(date, record));
  const std::size_t textAt = out.size();
  const std::size_t length = std::min<std::size_t>(record.textLength, kMaxTextLength);
  for (std::size_t i = 0; i < length; ++i) {
    const auto byte = record.textBytes[i];
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else {
      appendUtf8(out, cp1252CodePoint(byte));
    }
  }
  return textAt;
}

std::size_t appendEventLine(std::string& out, const EventRecord& record, std::string_view text) {
  char date[32];
  out.append(date, writeLineDate(date, record));
  const std::size_t textAt = out.size();
  out.append(text);
  return textAt;
}

}  // namespace tavik
