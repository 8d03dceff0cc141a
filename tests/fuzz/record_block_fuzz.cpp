// Any 420 bytes read as a record: its block reads without a crash, its text is valid UTF-8, and
// dropping an unreadable text touches nothing but the block's text part; the Windows-1252
// fields encode back unchanged.
#include <cstdlib>
#include <cstring>
#include <span>

#include "exchange/text_decode.h"
#include "store/data_file.h"
#include "store/event_text.h"
#include "store/record_extension.h"

using namespace tavik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RecordImage bytes{};
  std::memcpy(bytes.data(), data, std::min(size, bytes.size()));
  // Short inputs with a mark at the block's start: the fuzzer needs not find it first.
  if (size < kRecordSize && size > 0 && (data[0] & 1)) {
    const std::size_t at = kRecordSize - kReservedSize;
    std::memmove(bytes.data() + at + kExtensionMark.size(), data,
                 std::min(size, kReservedSize - kExtensionMark.size()));
    std::memcpy(bytes.data() + at, kExtensionMark.data(), kExtensionMark.size());
  }
  EventRecord record = decodeRecord(std::span<const std::uint8_t, kRecordSize>(bytes));
  if (encodeRecord(record) != bytes) std::abort();

  const auto block = readExtension(record);
  if (block) {
    if (block->unicodeText.size() > kMaxUnicodeBytes) std::abort();
    if (!isValidUtf8(block->unicodeText)) std::abort();
    if (block->leadDays > kMostLeadDays) std::abort();
    if (block->kind > kMostKind) std::abort();
  }
  // The rebuild's quick look agrees with the whole reading.
  if (kindOf(record) != (block ? block->kind : 0)) std::abort();
  if (leadDaysOf(record) != (block ? block->leadDays : 0)) std::abort();
  const std::string text = eventText(record);
  if (!isValidUtf8(text)) std::abort();
  (void)printableText(text);
  (void)textSortKey(text);

  const EventRecord before = record;
  const bool dropped = dropUnreadableText(record);
  const RecordImage after = encodeRecord(record);
  // Everything before the block's text check stays; so does every byte when nothing went.
  const std::size_t textPartAt = kRecordSize - kReservedSize + kTextCheckAt;
  if (std::memcmp(after.data(), bytes.data(), textPartAt) != 0) std::abort();
  if (!dropped && after != bytes) std::abort();
  if (record.text() != before.text()) std::abort();
  // What was dropped leaves a block that reads, without a text; a second drop finds nothing.
  if (dropped && (hasUnicodeText(record) || dropUnreadableText(record))) std::abort();
  // A readable text stays as it was read.
  if (block && !dropped && readExtension(record)->unicodeText != block->unicodeText) std::abort();
  return 0;
}
