// The fixed text forms of numbers, dates and event lines; runs of blanks line up columns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

// The date and text of an event: "DD.MM.YYYY" + 3 blanks + text, or with `withoutYear` set
// "DD.MM." + 11 blanks + text. The form follows `withoutYear` alone, never the stored year.
std::string formatEventLine(const EventRecord& record);

// Appends formatEventLine(record) to `out` without temporaries; returns where the text starts.
std::size_t appendEventLine(std::string& out, const EventRecord& record);

}  // namespace tavik
