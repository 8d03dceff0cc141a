// The export list: one line per used slot, carrying its slot number; and its count line.
#pragma once

#include <string>
#include <vector>

#include "store/event_table.h"

namespace tavik {

struct ExportLine {
  int slot = 0;      // 1..1000
  std::string text;  // formatEventLine of the slot's record (UTF-8)
  friend bool operator==(const ExportLine&, const ExportLine&) = default;
};

// One line for each used slot, in slot order.
std::vector<ExportLine> buildExportList(const EventTable& table);

// "Keine Datensätze vorhanden!" for an empty list, else "<ticked> Datensätze gewählt!".
std::string exportCountLine(int lineCount, int tickedCount);

}  // namespace tavik
