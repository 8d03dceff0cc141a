// The candidate list's line and the making of candidates.
#include "exchange/import_candidate.h"

#include "dates/date_text.h"
#include "exchange/text_decode.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {

std::string unicodeEventLine(const EventRecord& record) {
  std::string line = eventLineDate(record);
  // TABs stay, as the lists always showed them; every other control character is marked.
  const std::string text = eventText(record);
  std::size_t from = 0;
  for (std::size_t tab = text.find('\t'); tab != std::string::npos; tab = text.find('\t', from)) {
    line += printableText(std::string_view(text).substr(from, tab - from));
    line += '\t';
    from = tab + 1;
  }
  line += printableText(std::string_view(text).substr(from));
  return line;
}

std::string importListLine(const OTdaten& candidate) {
  return unicodeEventLine(candidate.record);
}

bool setImportedText(EventRecord& record, std::string_view utf8) {
  giveExtension(record);
  if (!hasNonAscii(utf8)) {
    // ASCII is NFC and Windows-1252 already; setText cuts it at 200 bytes.
    record.setText(utf8);
    if (record.reserved[kUnicodeLengthAt] != 0) writeUnicodeText(record, {});
    return true;
  }
  return setEventText(record, utf8) == TextStore::Stored;
}

std::optional<OTdaten> datedCandidate(DayNumber day, bool yearless, std::string_view utf8) {
  OTdaten c;
  c.record.date = toDouble(day);
  c.record.withoutYear = yearless ? 1 : 0;
  c.record.computeJubilee = yearless ? 0 : 1;
  if (!setImportedText(c.record, utf8)) return std::nullopt;
  return c;
}

}  // namespace tavik
