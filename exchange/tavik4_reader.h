// The reader of the program's own 420-byte record files.
#pragma once

#include <string_view>

#include "exchange/import_candidate.h"

namespace tavik {

// Reads the records of `bytes` in file order, every byte unchanged but a Unicode text in the
// record extension that does not read (dropUnreadableText), which is cleared. A record whose date
// is 0 is a free slot's image and is skipped. Stops with `ok` false at a short last record, a date
// that is no whole day in the years 1..9999, or a text length above 200.
ReadResult readTavik4(std::string_view bytes);

}  // namespace tavik
