// Any import file gives candidates or a clean failure; every candidate can be stored as it is.
#include <cstdlib>

#include "dates/day_number.h"
#include "exchange/import_reader.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The last byte decides the answer to the old-format question, so both paths are explored.
  const bool answer = size > 0 && (data[size - 1] & 1);
  int asked = 0;
  const ImportResult result = readImportBytes(bytes, [&](const std::string&) {
    ++asked;
    return answer;
  });
  if (asked > 1 || result.statusTexts.empty()) std::abort();
  if (!result.readerRan && !result.candidates.empty()) std::abort();
  for (const OTdaten& c : result.candidates) {
    if (c.record.textLength > kMaxTextLength) std::abort();
    const auto day = dayNumberFromDouble(c.record.date);
    if (!day || !splitDayNumber(*day)) std::abort();
    if (c.record.date == 0.0) std::abort();  // would be stored into a slot that stays free
    (void)importListLine(c);
  }
  EventTable table;
  std::vector<OTdaten> ticked(result.candidates.begin(), result.candidates.end());
  const StoreOutcome outcome = storeCandidates(table, ticked);
  if (outcome.stored + outcome.tableFullShown != static_cast<int>(ticked.size())) std::abort();
  return 0;
}
