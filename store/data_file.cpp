// Record images and the data file.
#include "store/data_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "store/failure.h"
#include "store/record_extension.h"

namespace tavik {

namespace {

static_assert(std::endian::native == std::endian::little ||
              std::endian::native == std::endian::big);

void putDouble(std::uint8_t* out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

double getDouble(const std::uint8_t* in) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

// Offsets of the fields in the file image.
constexpr std::size_t kDateAt = 0;
constexpr std::size_t kLengthAt = 8;
constexpr std::size_t kTextAt = 9;
constexpr std::size_t kSwitchesAt = 209;
constexpr std::size_t kReservedAt = 214;
static_assert(kReservedAt + kReservedSize == kRecordSize);

}  // namespace

RecordImage encodeRecord(const EventRecord& r) {
  RecordImage image{};
  putDouble(image.data() + kDateAt, r.date);
  image[kLengthAt] = r.textLength;
  std::memcpy(image.data() + kTextAt, r.textBytes.data(), kMaxTextLength);
  image[kSwitchesAt + 0] = r.withoutYear;
  image[kSwitchesAt + 1] = r.isProtected;
  image[kSwitchesAt + 2] = r.computeJubilee;
  image[kSwitchesAt + 3] = r.autoDelete;
  image[kSwitchesAt + 4] = r.highPriority;
  std::memcpy(image.data() + kReservedAt, r.reserved.data(), kReservedSize);
  return image;
}

EventRecord decodeRecord(std::span<const std::uint8_t, kRecordSize> image) {
  EventRecord r;
  r.date = getDouble(image.data() + kDateAt);
  r.textLength = image[kLengthAt];
  std::memcpy(r.textBytes.data(), image.data() + kTextAt, kMaxTextLength);
  r.withoutYear = image[kSwitchesAt + 0];
  r.isProtected = image[kSwitchesAt + 1];
  r.computeJubilee = image[kSwitchesAt + 2];
  r.autoDelete = image[kSwitchesAt + 3];
  r.highPriority = image[kSwitchesAt + 4];
  std::memcpy(r.reserved.data(), image.data() + kReservedAt, kReservedSize);
  return r;
}

std::vector<std::uint8_t> encodeTable(const EventTable& table) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(static_cast<std::size_t>(table.usedCount()) * kRecordSize);
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (table.slotIsFree(slot)) continue;
    // A Unicode text that no longer reads (another program changed the text) goes now.
    EventRecord record = table.record(slot);
    dropUnreadableText(record);
    const RecordImage image = encodeRecord(record);
    bytes.insert(bytes.end(), image.begin(), image.end());
  }
  return bytes;
}

int readRecords(Files& files, FileHandle in, EventTable& table, bool& atEnd) {
  atEnd = false;
  // Whole records in chunks: a call per record would cost a thousand system calls.
  constexpr int kChunkRecords = 64;
  std::array<std::uint8_t, kChunkRecords * kRecordSize> chunk;
  int slot = 0;
  while (slot < kSlotCount) {
    const std::size_t want =
        static_cast<std::size_t>(std::min(kChunkRecords, kSlotCount - slot)) * kRecordSize;
    std::size_t got = 0;
    const int failure = files.read(in, std::span(chunk.data(), want), got);
    for (std::size_t at = 0; at + kRecordSize <= got; at += kRecordSize) {
      table.storeRecord(++slot, decodeRecord(std::span<const std::uint8_t, kRecordSize>(
                                    chunk.data() + at, kRecordSize)));
    }
    if (failure != 0) return failure;
    if (got < want) {
      // The end of the file: cleanly after a record, or inside one.
      if (got % kRecordSize != 0) return kReadPastEnd;
      atEnd = true;
      return 0;
    }
  }
  return 0;
}

void DataFile::load(Files& files, EventTable& table) {
  FileStatus st;
  const int statResult = files.status(m_path, st);
  if (statResult == ENOENT) {
    FileHandle created = -1;
    check(files.open(m_path, OpenMode::Create, created));
    check(files.close(created));
  } else {
    check(statResult);
  }
  if (files.status(m_path, st) == 0 && st.isDirectory) throw FileError(EISDIR);
  // Reading a FIFO or a device would block the start for good.
  if (st.isSpecial) throw FileError(ENXIO);

  FileHandle in = -1;
  check(files.open(m_path, OpenMode::ReadWrite, in));
  bool atEnd = false;
  int failure = readRecords(files, in, table, atEnd);
  if (failure == 0 && !atEnd) {
    // A full table: complete only when nothing follows the 1000th record.
    std::uint8_t probe[1];
    std::size_t got = 0;
    failure = files.read(in, probe, got);
    atEnd = failure == 0 && got == 0;
  }
  // Until the end of the file is reached cleanly, the file holds more than the table.
  m_incomplete = !atEnd;
  const int closed = files.close(in);
  check(failure != 0 ? failure : closed);
}

void DataFile::save(Files& files, const EventTable& table) {
  if (m_incomplete) {
    // Keep what the table could not hold before anything replaces the file.
    // Only a file that is gone needs no backup; any other failure to look at it stops the save.
    FileStatus st;
    const int statResult = files.status(m_path, st);
    if (statResult != ENOENT) check(statResult);
    if (statResult == 0 && !st.isDirectory) {
      const std::string original = readFileBytes(files, m_path, st.size);
      writeFileAtomically(
          files, backupPath(),
          std::span(reinterpret_cast<const std::uint8_t*>(original.data()), original.size()),
          1 << 16, Links::Replace);
    }
  }
  const std::vector<std::uint8_t> bytes = encodeTable(table);
  writeFileAtomically(files, m_path, bytes, kRecordSize);
  m_incomplete = false;
}

}  // namespace tavik
