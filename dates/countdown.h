// Occurrences, countdown texts and lines, and the rebuild of the countdown view.
#pragma once

#include <string>
#include <vector>

#include "dates/day_number.h"
#include "store/event_table.h"
#include "store/typs.h"

namespace tavik {

// One row of the countdown grid: day text, date text, name (Windows-1252 bytes).
struct GridRow {
  std::string day;
  std::string date;
  std::string text;
  friend bool operator==(const GridRow&, const GridRow&) = default;
};

// Everything one rebuild of the countdown view produces.
struct ViewResult {
  std::vector<std::string> lines;     // the countdown lines in list order; never empty
  std::vector<GridRow> grid;          // the filled grid rows in grid order
  std::vector<std::string> todayBox;  // the today box's lines in list order
  std::vector<std::string> popups;    // high-priority lines of today to show as messages
  std::vector<int> freedSlots;        // slots the auto-delete rule freed in this rebuild
};

// The line shown when nothing lies in the window.
inline constexpr const char* kEmptyWindowLine =
    "---- Keine Ereignisse im angegebenen Zeitraum vorhanden. ----";

// Rebuilds the countdown view: applies the auto-delete rule to every used slot (the freed
// event is still listed this once), lists every event and switched-on calendar day whose
// next occurrence lies from yesterday to `settings.anzdays` days ahead, fills the today box
// and, when `firstRebuild` and `settings.prior` is 1, the popups.
ViewResult computeView(EventTable& table, const Settings& settings,
                       const HolidaySelection& holidays, DayNumber today, bool firstRebuild);

}  // namespace tavik
