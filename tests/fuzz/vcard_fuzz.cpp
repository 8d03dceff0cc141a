// Any bytes read as an address book give well-formed candidates and never more than the cards
// hold; the import of such a file ends with its found line.
#include <cstdlib>
#include <string>

#include "exchange/import_reader.h"
#include "exchange/vcard_reader.h"
#include "store/day_number.h"
#include "store/event_kind.h"
#include "store/record_extension.h"

using namespace tavik;

namespace {

// The text starts with the name of the record's kind and a blank, and goes on.
bool startsWithItsKind(const EventRecord& r) {
  const auto block = readExtension(r);
  if (!block) return false;
  const std::uint8_t kind = block->kind;
  if (kind != kKindBirthday && kind != kKindWedding && kind != kKindDeath) return false;
  const std::string prefix = std::string(kindName(kind)) + ' ';
  return r.text().starts_with(prefix) && r.text().size() > prefix.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const ReadResult read = readVcard(bytes);
  if (!read.ok || read.utf8) std::abort();
  for (const OTdaten& c : read.candidates) {
    const EventRecord& r = c.record;
    if (r.textLength > kMaxTextLength || !startsWithItsKind(r)) std::abort();
    const auto day = dayNumberFromDouble(r.date);
    if (!day || day->value == 0) std::abort();
    const auto ymd = splitDayNumber(*day);
    if (!ymd) std::abort();
    if (r.withoutYear > 1 || r.computeJubilee != 1 - r.withoutYear) std::abort();
    if (r.withoutYear && ymd->year != 2000) std::abort();
    if (r.isProtected || r.autoDelete || r.highPriority) std::abort();
  }
  // Each candidate needs a date line, and each of those a line break or the end.
  std::size_t lines = 1;
  for (const char ch : bytes) lines += ch == '\n' || ch == '\r';
  if (read.candidates.size() > lines) std::abort();

  // The same bytes behind a card start go through the whole import.
  const std::string file = "BEGIN:VCARD\r\n" + std::string(bytes);
  const ImportResult result = readImportBytes(file, nullptr);
  if (!result.readerRan || result.status().rfind("vCard: ", 0) != 0) std::abort();
  if (result.succeeded != !result.candidates.empty()) std::abort();
  return 0;
}
