// Writing events as an iCalendar file that calendar programs read as yearly all-day events.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store/typs.h"

namespace tavik {

inline constexpr const char* kIcalendarProductId = "-//HOLVENTARIS//Tavik! 4.5//DE";

// The UID of an event: its identity as "<uuid>@tavik" (lower-case UUID) when it has a record
// extension; otherwise (another program's reserved bytes, or no identity given yet) one that is
// the same for the same date, year switch and text in every export.
std::string icalendarUid(const EventRecord& record);

// `text` (UTF-8) as an iCalendar TEXT value: backslash, semicolon and comma escaped, line
// breaks as "\n", other control characters as blanks.
std::string icalendarText(std::string_view utf8);

// Titles hold no control characters and lose their outer blanks in every calendar program.
// A text the title does not carry exactly travels as well in X-TAVIK-TEXT, its Windows-1252
// bytes percent-encoded ("-" for the empty text). nullopt when the title carries it.
std::optional<std::string> icalendarExactText(std::string_view cp1252);
// The text of an X-TAVIK-TEXT value; nullopt when it is malformed or longer than 200 bytes.
std::optional<std::string> icalendarExactTextValue(std::string_view value);

// Appends one content line, folded so that no line exceeds 75 octets and no UTF-8 character
// is split, ended by CR LF.
void appendFoldedLine(std::string& out, std::string_view line);

// One VCALENDAR (UTF-8, CR LF) with one yearly all-day VEVENT per record, in the given order.
// A 29 February recurs as BYMONTH=2;BYMONTHDAY=-1. An event without a year (`withoutYear`, or
// the stored year 9996) starts in 1972 and carries X-TAVIK-YEARLESS:1; one dated 1604, which
// readers take for "no year", carries X-TAVIK-YEARLESS:0. The title is the full text in any
// script (eventText); a title of blanks is left out; a Windows-1252 text the title does not
// carry exactly carries X-TAVIK-TEXT as well; a protected event X-TAVIK-PROTECTED:1, a
// high-priority one X-TAVIK-PRIORITY:1, and one whose anniversary switch differs from what readers
// assume (counted with a year, not without) X-TAVIK-JUBILEE. An event with a kind carries
// CATEGORIES with the kind's German name ("Geburtstag"), one with a lead time L > 0 a VALARM
// (ACTION:DISPLAY, TRIGGER:-P<L>D, DESCRIPTION the title). `stampUnixSeconds` is the DTSTAMP.
// Records whose date is no valid day are left out.
std::string icalendarFile(std::span<const EventRecord> records, std::int64_t stampUnixSeconds);

// The same VCALENDAR for one record alone, as a calendar server keeps each event: its UID is
// icalendarUid without the suffix a second copy in one export gets. Empty when the record's date
// is no valid day.
std::string icalendarEventFile(const EventRecord& record, std::int64_t stampUnixSeconds);

}  // namespace tavik
