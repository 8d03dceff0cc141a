// The reader of iCalendar files: the events that recur every year on their day.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "exchange/import_candidate.h"
#include "store/day_number.h"

namespace tavik {

// Components nest deeper than this in no calendar program's files (VCALENDAR, VEVENT, VALARM).
inline constexpr std::size_t kIcalendarMaxNesting = 32;
// Why a calendar with components nested deeper is refused, after "iCalendar: ".
inline constexpr const char* kIcalendarTooDeep =
    "Datei abgelehnt, Komponenten zu tief verschachtelt (mehr als 32 Ebenen)";

// True when the file begins, after an optional UTF-8 byte order mark and blank lines, with
// the line BEGIN:VCALENDAR (any case).
bool looksLikeIcalendar(std::string_view bytes);

// The local calendar date of a moment given in seconds since 1970 UTC.
using LocalDateOf = std::function<std::optional<Ymd>(std::int64_t unixSeconds)>;

// The date in the system's time zone (the TZ variable, else /etc/localtime).
std::optional<Ymd> systemLocalDate(std::int64_t unixSeconds);

// One candidate per VEVENT that recurs yearly on the day of its DTSTART: RRULE FREQ=YEARLY
// with INTERVAL 1, no COUNT, no UNTIL before `today`, and BY-parts that are absent, name the
// DTSTART's month and day, or are one of the leap-day forms for a 29 February start
// (BYMONTH=2;BYMONTHDAY=-1, BYMONTHDAY=-1, BYYEARDAY=60). The text is SUMMARY, the date that
// of DTSTART: a DATE as it stands, a DATE-TIME as written in its own zone, a UTC one as
// `localDate` gives it. The year 1604, a true X-...-UNKNOWN-YEAR or X-TAVIK-YEARLESS, and an
// X-...-OMIT-YEAR (a property, or a parameter of any property such as sabre's X-SABRE-BDAY)
// naming the DTSTART's year mean year-less (2000, `withoutYear`); X-EVOLUTION-SINCE-YEAR and
// X-NEXTCLOUD-BC-YEAR give the real year, which sets `computeJubilee`. The SUMMARY is taken in
// any script (datedCandidate); our own X-TAVIK-TEXT gives the exact text while the SUMMARY
// still matches it, and our own UID "<uuid>@tavik" gives the candidate's uid. Our own
// X-TAVIK-PROTECTED:1 and X-TAVIK-PRIORITY:1 set those switches, X-TAVIK-JUBILEE:0/1 sets
// `computeJubilee` over its default. X-TAVIK-AUTODELETE:1 on a VEVENT without RRULE makes it a
// one-time event: `autoDelete` set, the year of DTSTART kept even when year-less. The kind comes
// from Nextcloud's X-NEXTCLOUD-BC-FIELD-TYPE, else from the first of the CATEGORIES (any line, any
// item of a comma list, any case) that names one in English or German ("Birthday", "Geburtstag",
// "Anniversary", "Todestag", "Namenstag", "Jahrestag", "Termin", ...). The lead time is the largest
// of the VALARMs' triggers relative to the start: the whole days before it, a started day counted
// whole, at most 99; triggers after the start, at a fixed moment or relative to the end give
// none. Every other VEVENT is
// counted in `skipped`, one cut off before its END:VEVENT as incomplete; the complete events of a
// cut calendar are read. Over-long lines are cut (SUMMARY) or leave their event out. Components
// nested deeper than kIcalendarMaxNesting refuse the file: `ok` false, `refusal` kIcalendarTooDeep,
// no candidates.
ReadResult readIcalendar(std::string_view bytes, DayNumber today, const LocalDateOf& localDate);

}  // namespace tavik
