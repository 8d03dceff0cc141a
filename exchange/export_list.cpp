// The export list's lines and count line.
#include "exchange/export_list.h"

#include "exchange/import_candidate.h"

namespace tavik {

std::vector<ExportLine> buildExportList(const EventTable& table) {
  std::vector<ExportLine> lines;
  lines.reserve(static_cast<std::size_t>(table.usedCount()));
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (!table.slotIsFree(slot)) lines.push_back({slot, unicodeEventLine(table.record(slot))});
  }
  return lines;
}

std::string exportCountLine(int lineCount, int tickedCount) {
  if (lineCount == 0) return "Keine Datensätze vorhanden!";
  return std::to_string(tickedCount) + " Datensätze gewählt!";
}

}  // namespace tavik
