// The tables the benchmarks run on: up to 1000 events inside a 99-day window, and all 25
// calendar days switched on.
#pragma once

#include <string>

#include "store/day_number.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/typs.h"

namespace tavik::bench {

// `count` events whose next occurrences lie from yesterday to 99 days after `today`, spread
// evenly, with a mix of year-less, anniversary and high-priority events. None has autoDelete
// set, so a rebuild leaves the table as it was.
inline EventTable tableOf(int count, DayNumber today) {
  EventTable table;
  for (int i = 0; i < count; ++i) {
    const Ymd day = *splitDayNumber(today + (i % 101 - 1));
    EventRecord r;
    // 29 February falls back to the 28th in the years that lack it.
    const int year = 1950 + i % 60;
    r.date = toDouble(makeDayNumber(year, day.month, day.day)
                          .value_or(*makeDayNumber(year, day.month, day.day - 1)));
    r.setText("Ereignis Nummer " + std::to_string(i + 1) + " mit etwas Text");
    r.withoutYear = i % 5 == 0 ? 1 : 0;
    r.computeJubilee = i % 3 == 0 ? 1 : 0;
    r.highPriority = i % 7 == 0 ? 1 : 0;
    table.storeRecord(i + 1, r);
  }
  return table;
}

// tableOf(count, today) with every third text in a script Windows-1252 cannot hold (Cyrillic,
// Turkish, Greek in turn), kept in the record extension.
inline EventTable mixedScriptTableOf(int count, DayNumber today) {
  EventTable table = tableOf(count, today);
  static const char* const kNames[] = {"Дмитрий Шостакович", "Ayşe Yılmaz",
                                       "Αλέξανδρος Παπαδόπουλος"};
  for (int i = 0; i < count; i += 3) {
    EventRecord r = table.record(i + 1);
    setEventText(r, std::string(kNames[i / 3 % 3]) + " " + std::to_string(i + 1));
    table.storeRecord(i + 1, r);
  }
  return table;
}

inline HolidaySelection allDays() {
  HolidaySelection selection;
  selection.bytes[0] = 1;
  for (int b = kFirstPublicHolidayByte; b < kFirstPublicHolidayByte + kPublicHolidayCount; ++b) {
    selection.bytes[static_cast<std::size_t>(b)] = 1;
  }
  for (int b = kFirstOtherDayByte; b < kFirstOtherDayByte + kOtherDayCount; ++b) {
    selection.bytes[static_cast<std::size_t>(b)] = 1;
  }
  return selection;
}

}  // namespace tavik::bench
