// The reader of 420-byte record files.
#include "exchange/tavik4_reader.h"

#include <cstdint>
#include <span>

#include "store/data_file.h"
#include "store/day_number.h"
#include "store/record_extension.h"

namespace tavik {

ReadResult readTavik4(std::string_view bytes) {
  ReadResult result;
  // Growing by doubling would copy the 420-byte candidates about twice over.
  result.candidates.reserve(bytes.size() / kRecordSize);
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t at = 0; at < bytes.size(); at += kRecordSize) {
    if (bytes.size() - at < kRecordSize) {
      result.ok = false;
      break;
    }
    EventRecord record =
        decodeRecord(std::span<const std::uint8_t, kRecordSize>(data + at, kRecordSize));
    if (record.date == 0.0) continue;  // a free slot's image
    const auto day = dayNumberFromDouble(record.date);
    if (!day || !splitDayNumber(*day) || record.textLength > kMaxTextLength) {
      result.ok = false;
      break;
    }
    // The record's block comes along; a text in it that does not read is not.
    dropUnreadableText(record);
    result.candidates.push_back(OTdaten{record});
  }
  return result;
}

}  // namespace tavik
