// The 15 German public holidays and 11 other notable days and their date rules.
#pragma once

#include <array>
#include <optional>
#include <vector>

#include "store/day_number.h"
#include "store/typs.h"

namespace tavik {

// Easter Sunday of `year` (1..9999) in the Gregorian calendar.
DayNumber easterSunday(int year);
// The second Sunday in May of `year` (1..9999).
DayNumber secondSundayInMay(int year);
// The last Sunday on or before 24 December of `year` (1..9999).
DayNumber fourthAdventSunday(int year);

// What a calendar day's date is counted from.
enum class Anchor { FixedDate, EasterSunday, SecondSundayInMay, FourthAdventSunday };

// One public holiday or notable day. Texts are UTF-8.
// The list year that stands for the year of a calendar day's occurrence.
inline constexpr int kOccurrenceYear = 0;

struct CalendarDay {
  const char* name;  // as shown in the countdown
  Anchor anchor;
  int month;                // FixedDate only
  int day;                  // FixedDate only
  int offset;               // days after the anchor (negative: before); other anchors only
  int listYear;             // year in the countdown line: yearlessMarkerYear, 1989 or
                            // kOccurrenceYear
  const char* dialogEntry;  // item text in the holiday selection dialog
};

// The day's date in `year`; nullopt outside the years 1..9999.
std::optional<DayNumber> dateInYear(const CalendarDay& day, int year);

namespace detail {
constexpr CalendarDay fixed(const char* name, int day, int month, const char* entry,
                            int listYear = yearlessMarkerYear) {
  return {name, Anchor::FixedDate, month, day, 0, listYear, entry};
}
constexpr CalendarDay movable(const char* name, Anchor anchor, int offset, const char* entry) {
  return {name, anchor, 0, 0, offset, kOccurrenceYear, entry};
}
}  // namespace detail

// Item i switches with HolidaySelection byte kFirstPublicHolidayByte + i.
inline constexpr std::array<CalendarDay, kPublicHolidayCount> kPublicHolidays{{
    detail::fixed("Neujahr", 1, 1, "Neujahr (1.1)"),
    detail::fixed("Heilige drei Könige", 6, 1, "Heilige drei Könige (6.1)"),
    detail::movable("Karfreitag", Anchor::EasterSunday, -2, "Karfreitag (variabel)"),
    detail::movable("Ostermontag", Anchor::EasterSunday, 1, "Ostermontag (variabel)"),
    detail::fixed("Tag der Arbeit / Maifeiertag", 1, 5, "Tag der Arbeit / Maifeiertag (1.5)"),
    detail::movable("Christi Himmelfahrt", Anchor::EasterSunday, 39,
                    "Christi Himmelfahrt (variabel)"),
    detail::movable("Pfingstmontag", Anchor::EasterSunday, 50, "Pfingstmontag (variabel)"),
    detail::movable("Fronleichnam", Anchor::EasterSunday, 60, "Fronleichnam (variabel)"),
    detail::fixed("Mariä Himmelfahrt", 15, 8, "Mariä Himmelfahrt (15.8)"),
    detail::fixed("Tag der deutschen Einheit", 3, 10, "Tag der deutschen Einheit (3.10.1989)",
                  1989),
    detail::fixed("Reformationstag", 31, 10, "Reformationstag (31.10)"),
    detail::fixed("Allerheiligen", 1, 11, "Allerheiligen (1.11)"),
    detail::movable("Buß- und Bettag", Anchor::FourthAdventSunday, -32,
                    "Buß- und Bettag (variabel)"),
    detail::fixed("1. Weihnachtsfeiertag", 25, 12, "1. Weihnachtsfeiertag (25.12)"),
    detail::fixed("2. Weihnachtsfeiertag", 26, 12, "2. Weihnachtsfeiertag (26.12)"),
}};

// Item j switches with HolidaySelection byte kFirstOtherDayByte + j.
inline constexpr std::array<CalendarDay, kOtherDayCount> kOtherDays{{
    detail::fixed("Valentinstag", 14, 2, "Valentinstag (14.2)"),
    detail::fixed("Frauentag", 8, 3, "Frauentag (8.3)"),
    detail::movable("Muttertag", Anchor::SecondSundayInMay, 0, "Muttertag (variabel)"),
    detail::movable("Ostersonntag", Anchor::EasterSunday, 0, "Ostersonntag (variabel)"),
    detail::movable("Pfingstsonntag", Anchor::EasterSunday, 49, "Pfingstsonntag (variabel)"),
    detail::fixed("Kindertag / Männertag", 1, 6, "Kindertag (1.6)"),
    detail::fixed("Weltaidstag", 1, 12, "Weltaidstag (1.12)"),
    detail::movable("1. Advent", Anchor::FourthAdventSunday, -21, "1. Advent (variabel)"),
    detail::fixed("Heilig Abend", 24, 12, "Heilig Abend (24.12)"),
    detail::fixed("Silvester", 31, 12, "Silvester (31.12)"),
    detail::fixed("Weltkindertag", 20, 9, "Weltkindertag (20.9)"),
}};

}  // namespace tavik
