// The fixed text forms of numbers, dates and event lines; runs of blanks line up columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/typs.h"

namespace tavik {

// Decimal text of n with "0" put in front until it is 2 characters long: 7 -> "07", -3 -> "-3".
std::string zeroPad2(std::int32_t n);

// Writes zeroPad2(n) at `out` (11 characters at most) and returns its end.
char* writeZeroPad2(char* out, std::int32_t n);

// Decimal text of n; a one-character text gets two blanks in front: 5 -> "  5", 10 -> "10".
std::string blankPad2(std::int32_t n);

// "DD.MM.YYYY" (year zero-padded to 2: year 5 -> "05"); for the year 9996 "DD.MM." and 8 blanks.
std::string formatDayMonthYear(std::uint16_t day, std::uint16_t month, std::uint16_t year);

// The date part of an event line: "DD.MM.YYYY" + 3 blanks, or with `withoutYear` set "DD.MM." +
// 11 blanks.
std::string eventLineDate(const EventRecord& record);

// The date and text of an event in UTF-8: "DD.MM.YYYY" + 3 blanks + eventText, or with
// `withoutYear` set "DD.MM." + 11 blanks + eventText. The form follows `withoutYear` alone,
// never the stored year. Control characters are kept.
std::string formatEventLine(const EventRecord& record);

// Appends formatEventLine(record) to `out`, without temporaries for a record without an
// extension; returns the byte offset where the text starts.
std::size_t appendEventLine(std::string& out, const EventRecord& record);

// The same with the record's eventText read already.
std::size_t appendEventLine(std::string& out, const EventRecord& record, std::string_view text);

}  // namespace tavik
