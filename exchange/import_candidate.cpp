// The candidate list's line.
#include "exchange/import_candidate.h"

#include "dates/date_text.h"

namespace tavik {

std::string importListLine(const OTdaten& candidate) {
  return formatEventLine(candidate.record);
}

OTdaten datedCandidate(DayNumber day, bool yearless, std::string_view text) {
  OTdaten c;
  c.record.date = toDouble(day);
  c.record.withoutYear = yearless ? 1 : 0;
  c.record.computeJubilee = yearless ? 0 : 1;
  c.record.setText(text);
  return c;
}

}  // namespace tavik
