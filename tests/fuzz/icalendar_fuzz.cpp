// Any bytes read as a calendar give well-formed candidates or nothing; libical's parser is
// driven through our wrapper without leaks or crashes.
#include <cstdlib>
#include <string>

#include "exchange/icalendar_reader.h"
#include "exchange/import_reader.h"
#include "store/day_number.h"
#include "store/event_kind.h"
#include "store/record_extension.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const DayNumber today = *makeDayNumber(2026, 12, 10);
  // A fixed zone one hour east of UTC, so that runs do not depend on the machine.
  const LocalDateOf local = [](std::int64_t s) -> std::optional<Ymd> {
    const auto day = makeDayNumber(1970, 1, 1);
    const std::int64_t days = (s + 3600) / 86400 - ((s + 3600) % 86400 < 0 ? 1 : 0);
    if (days < -800000 || days > 3000000) return std::nullopt;
    return splitDayNumber(*day + static_cast<int>(days));
  };
  const ReadResult read = readIcalendar(bytes, today, local);
  // Only a refusal stops a read, and it keeps nothing.
  if (!read.ok && (read.refusal != kIcalendarTooDeep || !read.candidates.empty())) std::abort();
  for (const OTdaten& c : read.candidates) {
    const EventRecord& r = c.record;
    // An empty text comes only from our own exact text (X-TAVIK-TEXT:-).
    if (r.textLength > kMaxTextLength) std::abort();
    const auto day = dayNumberFromDouble(r.date);
    if (!day || day->value == 0 || !splitDayNumber(*day)) std::abort();
    if (r.withoutYear > 1 || r.computeJubilee != 1 - r.withoutYear) std::abort();
    if (r.withoutYear && splitDayNumber(*day)->year != 2000) std::abort();
    // Kind and lead time as the program knows them, written into the block itself.
    if (!readExtension(r)) std::abort();
    if (r.reserved[kKindAt] > kMostKind || r.reserved[kLeadDaysAt] > kMostLeadDays) std::abort();
  }
  const std::string file = "BEGIN:VCALENDAR\r\n" + std::string(bytes);
  ImportContext context;
  context.today = today;
  context.localDate = local;
  const ImportResult result = readImportBytes(file, nullptr, context);
  if (!result.readerRan || result.status().rfind("iCalendar: ", 0) != 0) std::abort();
  return 0;
}
