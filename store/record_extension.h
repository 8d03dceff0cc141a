// The record extension: what the program keeps in an event's 206 reserved bytes.
//
// Offsets within `reserved`: 0 the mark "TvX" and version 1; 4 the uid (16 bytes); 20 kind;
// 21 leadDays; 22 textCheck (CRC-32, little-endian, of the Windows-1252 text the Unicode text
// was written with); 26 the Unicode text's length L (0..179); 27 the text in UTF-8 (NFC); the
// rest zero. All-zero bytes: no extension. Any other content belongs to another program and
// is carried through untouched.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/event_kind.h"
#include "store/typs.h"

namespace tavik {

inline constexpr std::array<std::uint8_t, 4> kExtensionMark = {'T', 'v', 'X', 1};
inline constexpr std::size_t kUidAt = 4;
inline constexpr std::size_t kKindAt = 20;
inline constexpr std::size_t kLeadDaysAt = 21;
inline constexpr std::size_t kTextCheckAt = 22;
inline constexpr std::size_t kUnicodeLengthAt = 26;
inline constexpr std::size_t kUnicodeTextAt = 27;
// The most UTF-8 bytes the block holds for a text.
inline constexpr std::size_t kMaxUnicodeBytes = kReservedSize - kUnicodeTextAt;
static_assert(kMaxUnicodeBytes == 179);
inline constexpr std::uint8_t kMostLeadDays = 99;

using Uid = std::array<std::uint8_t, 16>;

enum class ReservedUse {
  None,       // all 206 bytes zero
  Extension,  // starts with the mark
  Foreign,    // anything else: another program's bytes
};

ReservedUse reservedUse(const EventRecord& record);

// The block's fields as read. Values out of range read as absent: a kind past 6 and a lead time
// past 99 as 0,
// a text whose length runs past the block, that is not valid UTF-8 or not NFC, or whose
// textCheck no longer matches the Windows-1252 text as empty.
struct RecordExtension {
  Uid uid{};
  std::uint8_t kind = 0;
  std::uint8_t leadDays = 0;
  std::string unicodeText;
};

// nullopt when the record has no block (none or foreign bytes).
std::optional<RecordExtension> readExtension(const EventRecord& record);

// The kind and the lead time as readExtension reads them, without looking at the text: 0 for
// a record without a block.
std::uint8_t kindOf(const EventRecord& record);
std::uint8_t leadDaysOf(const EventRecord& record);

// CRC-32 (IEEE) of the significant Windows-1252 text bytes.
std::uint32_t textCheckOf(const EventRecord& record);

// 16 bytes from the kernel's random source.
Uid randomUid();

// "7d3c0b9e-…": the uid as a lower-case UUID.
std::string uidText(const Uid& uid);
// The uid of a lower-case or upper-case UUID text; nullopt for anything else.
std::optional<Uid> uidFromText(std::string_view text);

// Gives a record without reserved content a block with a fresh uid. A record that has one
// keeps it; foreign bytes stay. Returns whether the record has a block now.
bool giveExtension(EventRecord& record);

// Writes the uid of a record that has a block.
void setUid(EventRecord& record, const Uid& uid);

// Writes kind and lead time of a record that has a block.
void setKind(EventRecord& record, std::uint8_t kind);
void setLeadDays(EventRecord& record, std::uint8_t leadDays);

// Writes `utf8` (at most kMaxUnicodeBytes, already NFC) as the block's text with the check of
// the record's current Windows-1252 text; an empty text clears it. The record must have a
// block.
void writeUnicodeText(EventRecord& record, std::string_view utf8);

// Clears a Unicode text the block holds but that reads as absent (a stale check, a bad length,
// bytes that are not NFC UTF-8), so the next save drops it. Returns whether it cleared one.
bool dropUnreadableText(EventRecord& record);

}  // namespace tavik
