// The reader of the previous generation's 48-byte records.
#include "exchange/tavik3_reader.h"

#include <cstdint>

#include "store/day_number.h"

namespace tavik {
namespace {

// Offsets in a 48-byte record.
constexpr std::size_t kProtectionAt = 0;
constexpr std::size_t kYearSwitchAt = 1;
constexpr std::size_t kDayAt = 3;
constexpr std::size_t kMonthAt = 4;
constexpr std::size_t kYearAt = 6;  // unsigned 16-bit, little-endian
constexpr std::size_t kLengthAt = 8;
constexpr std::size_t kTextAt = 9;
static_assert(kTextAt + kTavik3MaxTextLength == kTavik3RecordSize);

}  // namespace

ReadResult readTavik3(std::string_view bytes) {
  ReadResult result;
  result.candidates.reserve(bytes.size() / kTavik3RecordSize);
  for (std::size_t at = 0; at < bytes.size(); at += kTavik3RecordSize) {
    if (bytes.size() - at < kTavik3RecordSize) {
      result.ok = false;
      break;
    }
    const auto* r = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
    const int day = r[kDayAt];
    const int month = r[kMonthAt];
    const bool hasYear = isSet(r[kYearSwitchAt]);
    int year = r[kYearAt] | r[kYearAt + 1] << 8;
    if (!hasYear) {
      year = day == 29 && month == 2 ? kYearlessYear : kTavik3YearlessYear;
    }
    const auto date = makeDayNumber(year, month, day);
    if (!date || r[kLengthAt] > kTavik3MaxTextLength) {
      result.ok = false;
      break;
    }
    // 30.12.1899 is day 0, the mark of a free slot: stored, the event would vanish unseen.
    if (date->value == 0) continue;
    OTdaten candidate;
    candidate.record.date = toDouble(*date);
    candidate.record.setText(
        std::string_view(reinterpret_cast<const char*>(r + kTextAt), r[kLengthAt]));
    candidate.record.withoutYear = hasYear ? 0 : 1;
    candidate.record.isProtected = r[kProtectionAt];
    candidate.record.computeJubilee = 1;
    result.candidates.push_back(candidate);
  }
  return result;
}

}  // namespace tavik
