// The candidate list's line.
#include "exchange/import_candidate.h"

#include "dates/date_text.h"

namespace tavik {

std::string importListLine(const OTdaten& candidate) {
  return formatEventLine(candidate.record);
}

}  // namespace tavik
