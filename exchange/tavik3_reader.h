// The reader of the previous generation's 48-byte records.
#pragma once

#include <cstddef>
#include <string_view>

#include "exchange/import_candidate.h"

namespace tavik {

inline constexpr std::size_t kTavik3RecordSize = 48;
inline constexpr std::size_t kTavik3MaxTextLength = 39;

// Reads the records of `bytes` in file order. Each candidate gets the text, the protection
// byte, `computeJubilee` 1, and `withoutYear` 1 when the year switch is 0 (any other value
// means "has a year"). A year-less date lies in 9999, a year-less 29 February in 2000 (9999 has
// none). Stops with `ok` false at a short last record, an invalid date or a text length
// above 39.
ReadResult readTavik3(std::string_view bytes);

}  // namespace tavik
