// An import candidate and what one format reader returns.
#pragma once

#include <string>
#include <vector>

#include "store/typs.h"

namespace tavik {

// One event read from an import file, as it will be stored: a whole-day date in the years
// 1..9999, a text of at most 200 bytes.
struct OTdaten {
  EventRecord record;
  friend bool operator==(const OTdaten&, const OTdaten&) = default;
};

// The candidates of one reader in file order. `ok` is false when the reader stopped at a
// record or line it could not take; the candidates before it are kept.
struct ReadResult {
  std::vector<OTdaten> candidates;
  bool ok = true;
};

// The candidate list's line: the date and text of the candidate's record.
std::string importListLine(const OTdaten& candidate);

}  // namespace tavik
