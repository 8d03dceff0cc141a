// The shared fixed-size records: one event, the holiday switches and the settings.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/day_number.h"

namespace tavik {

inline constexpr int kSlotCount = 1000;
inline constexpr std::size_t kRecordSize = 420;
inline constexpr std::size_t kMaxTextLength = 200;
inline constexpr std::size_t kReservedSize = 206;
inline constexpr std::size_t kHolidaySelectionSize = 51;

// The year that stands for "every year" (a leap year, so 29 February exists in it).
inline constexpr int yearlessMarkerYear = 9996;
// Year-less dates from the edit dialog and the imports are stored in this leap year, so
// 29 February exists.
inline constexpr int kYearlessYear = 2000;
// The year the previous generation's year-less dates are stored in; its file reader and the
// CSV export know it.
inline constexpr int kTavik3YearlessYear = 9999;

// One event. The file image is 420 bytes written field by field (data_file.h); the
// in-memory struct is larger because of alignment and is never copied as raw memory.
struct EventRecord {
  double date = 0.0;  // day number since 1899-12-30; 0 marks a free slot
  std::uint8_t textLength = 0;
  std::array<std::uint8_t, kMaxTextLength> textBytes{};  // Windows-1252; bytes past textLength kept
  std::uint8_t withoutYear = 0;
  std::uint8_t isProtected = 0;
  std::uint8_t computeJubilee = 0;
  std::uint8_t autoDelete = 0;
  std::uint8_t highPriority = 0;
  std::array<std::uint8_t, kReservedSize> reserved{};

  // The significant text bytes (at most 200; a length byte above 200 counts as 200).
  std::string text() const;
  // Writes the first 200 bytes of `bytes` and the length; the bytes after them stay as they were.
  void setText(std::string_view bytes);

  friend bool operator==(const EventRecord&, const EventRecord&) = default;
};

static_assert(sizeof(double) == 8);
static_assert(offsetof(EventRecord, date) == 0);
static_assert(offsetof(EventRecord, textLength) == 8);
static_assert(offsetof(EventRecord, textBytes) == 9);
static_assert(offsetof(EventRecord, withoutYear) == 209);
static_assert(offsetof(EventRecord, highPriority) == 213);
static_assert(offsetof(EventRecord, reserved) == 214);
static_assert(sizeof(EventRecord) == 424, "420 bytes of fields plus tail padding");

// A switch byte counts as set when it is not 0 (imports may carry other values than 1).
constexpr bool isSet(std::uint8_t switchByte) {
  return switchByte != 0;
}

// Whether `record`, whose date lies in `year`, has no year: its switch says so, or its date
// lies in the marker year.
constexpr bool hasNoYear(const EventRecord& record, int year) {
  return isSet(record.withoutYear) || year == yearlessMarkerYear;
}

// The 51 holiday switches: byte 0 computeHolidays, 1..15 public holidays, 21..31 other days;
// 16..20 and 32..50 are reserved. Byte 31 (Weltkindertag) was reserved too, so every older file
// holds 0 there.
struct HolidaySelection {
  std::array<std::uint8_t, kHolidaySelectionSize> bytes{};

  bool computeHolidays() const { return bytes[0] != 0; }
  friend bool operator==(const HolidaySelection&, const HolidaySelection&) = default;
};

inline constexpr int kFirstPublicHolidayByte = 1;
inline constexpr int kPublicHolidayCount = 15;
inline constexpr int kFirstOtherDayByte = 21;
inline constexpr int kOtherDayCount = 11;

// The per-user settings with their defaults: six whole numbers 0..255 and a date.
struct Settings {
  std::uint8_t anzdays = 30;    // look-ahead days
  std::uint8_t autoclose = 30;  // seconds until the program closes itself; 0 = off
  std::uint8_t heutebox = 1;    // show the today box at start
  std::uint8_t prior = 0;       // high priority: 0 ignore, 1 popup, 2 into the today box
  std::uint8_t notify = 1;      // send the today box's lines as a desktop notification at start
  std::uint8_t inworten = 0;    // 1: anniversaries of events with a kind in words ("wird 50")
  // The day the countdown was last built in the window; none when never or unreadable. Events
  // from the days after it are listed as missed.
  std::optional<DayNumber> lastshown = std::nullopt;

  friend bool operator==(const Settings&, const Settings&) = default;
};

}  // namespace tavik
