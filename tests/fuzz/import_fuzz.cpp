// Any import file gives candidates or a clean failure; every candidate can be stored as it is;
// reading the file from disk gives what reading its bytes gives, and a failing read refuses.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "exchange/import_reader.h"
#include "store/day_number.h"
#include "store/record_extension.h"
#include "tests/fuzz/memory_files.h"

using namespace tavik;

namespace {

bool isReaderStatus(const std::string& s) {
  return s == kStatusReadingCsv || s == kStatusReadingTavik4 || s == kStatusReadingTavik3 ||
         s.starts_with(kStatusReadingCsvUtf8);
}

// Candidates the same but for the identities new records get, which are random each read.
bool sameCandidates(const std::vector<OTdaten>& a, const std::vector<OTdaten>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    EventRecord x = a[i].record;
    EventRecord y = b[i].record;
    if (readExtension(x) && readExtension(y)) {
      setUid(x, Uid{});
      setUid(y, Uid{});
    }
    if (x != y) return false;
  }
  return true;
}

bool sameResult(const ImportResult& a, const ImportResult& b) {
  return a.statusTexts == b.statusTexts && a.readerRan == b.readerRan &&
         sameCandidates(a.candidates, b.candidates) && a.succeeded == b.succeeded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The last byte decides the answer to the old-format question, so both paths are explored.
  const bool answer = size > 0 && (data[size - 1] & 1);
  int asked = 0;
  const auto ask = [&](const std::string&) {
    ++asked;
    return answer;
  };
  const ImportResult result = readImportBytes(bytes, ask);
  if (asked != (detectImportFormat(bytes) == ImportFormat::Tavik3Question ? 1 : 0)) std::abort();

  // The status line: "Datei wird gelesen...", then what became of the file.
  if (result.statusTexts.empty() || result.statusTexts.front() != kStatusReading) std::abort();
  if (!result.readerRan && (!result.candidates.empty() || result.succeeded)) std::abort();
  const ImportFormat format = detectImportFormat(bytes);
  if (result.readerRan && (format == ImportFormat::Vcard || format == ImportFormat::Icalendar)) {
    // Address books and calendars end with what was found; there is something to import
    // exactly when something was found.
    const std::string prefix = format == ImportFormat::Vcard ? "vCard: " : "iCalendar: ";
    if (!result.status().starts_with(prefix)) std::abort();
    if (result.succeeded != !result.candidates.empty()) std::abort();
  } else if (result.readerRan) {
    const std::string& last = result.status();
    if (result.succeeded ? !isReaderStatus(last) : last != kStatusBadFormat) std::abort();
  }

  for (const OTdaten& c : result.candidates) {
    if (c.record.textLength > kMaxTextLength) std::abort();
    const auto day = dayNumberFromDouble(c.record.date);
    if (!day || !splitDayNumber(*day)) std::abort();
    if (c.record.date == 0.0) std::abort();  // would be stored into a slot that stays free
    (void)importListLine(c);
  }
  EventTable table;
  const StoreOutcome outcome = storeCandidates(table, result.candidates);
  const int offered = static_cast<int>(result.candidates.size());
  if (outcome.stored != std::min(offered, kSlotCount)) std::abort();
  if (outcome.tableFull != (offered > kSlotCount)) std::abort();
  if (outcome.stored != table.usedCount()) std::abort();

  fuzz::MemoryFiles files;
  files.files["i"] = std::string(bytes);
  asked = 0;
  if (!sameResult(readImportFile(files, "i", ask), result)) std::abort();
  // A file that fails while being read is refused, the list left alone.
  files.failCall(1 + size % 3);
  const ImportResult failing = readImportFile(files, "i", ask);
  if (failing.readerRan || failing.status() != kStatusCannotOpen) std::abort();
  if (!files.allClosed()) std::abort();
  return 0;
}
