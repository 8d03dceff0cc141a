// An import candidate and what one format reader returns.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/day_number.h"
#include "store/typs.h"

namespace tavik {

// One event read from an import file, as it will be stored: a whole-day date in the years
// 1..9999, a text of at most 200 bytes.
struct OTdaten {
  EventRecord record;
  friend bool operator==(const OTdaten&, const OTdaten&) = default;
};

// Apple's stand-in for an unknown year, which other producers copied.
inline constexpr int kPlaceholderYear = 1604;

// A candidate from an address book or calendar: year-less ones without, dated ones with the
// anniversary count. `text` is Windows-1252 and at most 200 bytes.
OTdaten datedCandidate(DayNumber day, bool yearless, std::string_view text);

// Why an address book, calendar or UTF-8 text reader left something out.
enum class SkipReason {
  NoDate,      // a card without any birthday, wedding or death day; an event without a start
  BadDate,     // a date that is text, impossible or unreadable
  NoName,      // a card with dates but without a name
  NoText,      // an event without a title
  NotYearly,   // an event that does not recur every year on its day
  Unstorable,  // a text with characters Windows-1252 cannot hold
  Incomplete,  // a card cut off before its end
  Duplicate,   // the same date and text as an event already there or earlier in the file
};
inline constexpr std::size_t kSkipReasonCount = 8;

// The candidates of one reader in file order. `ok` is false when the reader stopped at a
// record or line it could not take; the candidates before it are kept.
struct ReadResult {
  std::vector<OTdaten> candidates;
  bool ok = true;
  // What was left out, by reason; the native formats leave nothing out.
  std::array<int, kSkipReasonCount> skipped{};
  // Why an address book or calendar was refused as a whole (with `ok` false), for the status
  // line after the format's name.
  std::string refusal;
  // A text file read as UTF-8 rather than Windows-1252.
  bool utf8 = false;

  void skip(SkipReason reason) { ++skipped[static_cast<std::size_t>(reason)]; }
  int skippedFor(SkipReason reason) const { return skipped[static_cast<std::size_t>(reason)]; }
};

// The candidate list's line: the date and text of the candidate's record, in UTF-8.
std::string importListLine(const OTdaten& candidate);

}  // namespace tavik
