// Reading and writing the record extension.
#include "store/record_extension.h"

#include <sys/random.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

#include "store/icu_library.h"

namespace tavik {

namespace {

bool allZero(const std::uint8_t* begin, const std::uint8_t* end) {
  return std::all_of(begin, end, [](std::uint8_t b) { return b == 0; });
}

std::uint32_t readCheck(const EventRecord& r) {
  const std::uint8_t* p = r.reserved.data() + kTextCheckAt;
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void writeCheck(EventRecord& r, std::uint32_t check) {
  std::uint8_t* p = r.reserved.data() + kTextCheckAt;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(check >> (8 * i));
}

// Well-formed UTF-8 in Normalization Form C. When only ICU could tell and it cannot be loaded,
// the text is taken as written: its check matched, and a save must not drop what this machine
// alone cannot check.
bool isStoredNfc(std::string_view bytes) {
  return isNfcUtf8(bytes).value_or(true);
}

bool hasMark(const EventRecord& record) {
  return std::equal(kExtensionMark.begin(), kExtensionMark.end(), record.reserved.begin());
}

}  // namespace

ReservedUse reservedUse(const EventRecord& record) {
  const auto& bytes = record.reserved;
  if (hasMark(record)) return ReservedUse::Extension;
  return allZero(bytes.data(), bytes.data() + bytes.size()) ? ReservedUse::None
                                                            : ReservedUse::Foreign;
}

std::uint32_t textCheckOf(const EventRecord& record) {
  const std::string text = record.text();
  return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                          reinterpret_cast<const Bytef*>(text.data()),
                                          static_cast<uInt>(text.size())));
}

namespace {

// The block's text when it is readable; nullopt otherwise (empty when there is none).
std::optional<std::string> storedText(const EventRecord& record) {
  const std::size_t length = record.reserved[kUnicodeLengthAt];
  if (length == 0) return std::string();
  if (length > kMaxUnicodeBytes) return std::nullopt;
  const std::string text(reinterpret_cast<const char*>(record.reserved.data() + kUnicodeTextAt),
                         length);
  if (readCheck(record) != textCheckOf(record)) return std::nullopt;
  if (!isStoredNfc(text)) return std::nullopt;
  return text;
}

std::uint8_t kindIn(const EventRecord& record) {
  const std::uint8_t kind = record.reserved[kKindAt];
  return knownKind(kind);
}

std::uint8_t leadDaysIn(const EventRecord& record) {
  const std::uint8_t lead = record.reserved[kLeadDaysAt];
  return lead <= kMostLeadDays ? lead : 0;
}

}  // namespace

std::optional<RecordExtension> readExtension(const EventRecord& record) {
  if (reservedUse(record) != ReservedUse::Extension) return std::nullopt;
  RecordExtension out;
  std::copy_n(record.reserved.begin() + kUidAt, out.uid.size(), out.uid.begin());
  out.kind = kindIn(record);
  out.leadDays = leadDaysIn(record);
  out.unicodeText = storedText(record).value_or(std::string());
  return out;
}

// Only the mark is looked at: the rebuild asks this of every record.
std::uint8_t kindOf(const EventRecord& record) {
  return hasMark(record) ? kindIn(record) : 0;
}

std::uint8_t leadDaysOf(const EventRecord& record) {
  return hasMark(record) ? leadDaysIn(record) : 0;
}

Uid randomUid() {
  Uid uid{};
  std::size_t got = 0;
  while (got < uid.size()) {
    const ssize_t n = getrandom(uid.data() + got, uid.size() - got, 0);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EINTR) {
      break;
    }
  }
  if (got < uid.size()) {
    // No getrandom (a very old kernel): the library's source is still unpredictable enough
    // for an identity that only has to be unique.
    std::random_device device;
    for (std::size_t i = got; i < uid.size(); ++i) uid[i] = static_cast<std::uint8_t>(device());
  }
  return uid;
}

std::string uidText(const Uid& uid) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(36);
  for (std::size_t i = 0; i < uid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[uid[i] >> 4];
    out += kHex[uid[i] & 0x0F];
  }
  return out;
}

std::optional<Uid> uidFromText(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  Uid uid{};
  std::size_t at = 0;
  for (std::size_t i = 0; i < uid.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      if (text[at++] != '-') return std::nullopt;
    }
    int value = 0;
    for (int k = 0; k < 2; ++k) {
      const char c = text[at++];
      int digit = -1;
      if (c >= '0' && c <= '9') digit = c - '0';
      if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
      if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
      if (digit < 0) return std::nullopt;
      value = value * 16 + digit;
    }
    uid[i] = static_cast<std::uint8_t>(value);
  }
  return uid;
}

bool giveExtension(EventRecord& record) {
  switch (reservedUse(record)) {
    case ReservedUse::Extension:
      return true;
    case ReservedUse::Foreign:
      return false;
    case ReservedUse::None:
      break;
  }
  std::copy(kExtensionMark.begin(), kExtensionMark.end(), record.reserved.begin());
  setUid(record, randomUid());
  return true;
}

void setUid(EventRecord& record, const Uid& uid) {
  std::copy(uid.begin(), uid.end(), record.reserved.begin() + kUidAt);
}

void setKind(EventRecord& record, std::uint8_t kind) {
  record.reserved[kKindAt] = kind;
}

void setLeadDays(EventRecord& record, std::uint8_t leadDays) {
  record.reserved[kLeadDaysAt] = std::min(leadDays, kMostLeadDays);
}

void writeUnicodeText(EventRecord& record, std::string_view utf8) {
  const std::size_t length = std::min(utf8.size(), kMaxUnicodeBytes);
  auto* text = record.reserved.data() + kUnicodeTextAt;
  std::fill(text, record.reserved.data() + kReservedSize, std::uint8_t{0});
  // An empty view may carry no pointer at all, which memcpy must not be given.
  if (length > 0) std::memcpy(text, utf8.data(), length);
  record.reserved[kUnicodeLengthAt] = static_cast<std::uint8_t>(length);
  writeCheck(record, length == 0 ? 0 : textCheckOf(record));
}

bool dropUnreadableText(EventRecord& record) {
  if (reservedUse(record) != ReservedUse::Extension) return false;
  if (record.reserved[kUnicodeLengthAt] == 0 || storedText(record)) return false;
  writeUnicodeText(record, {});
  return true;
}

}  // namespace tavik
