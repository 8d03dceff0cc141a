// The data file tavik!4.dat: 420-byte little-endian record images in slot order, no header.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/event_table.h"
#include "store/files.h"
#include "store/typs.h"

namespace tavik {

inline constexpr const char* kDataFileName = "tavik!4.dat";
inline constexpr const char* kBackupSuffix = ".bak";

using RecordImage = std::array<std::uint8_t, kRecordSize>;

// The 420-byte image of a record, field by field, little-endian; every byte travels unchanged.
RecordImage encodeRecord(const EventRecord& record);
EventRecord decodeRecord(std::span<const std::uint8_t, kRecordSize> image);

// The images of all used slots in slot order.
std::vector<std::uint8_t> encodeTable(const EventTable& table);

// Reads whole records from the open file `in` into `table`, slot 1 on, until the end of the file
// or a full table. Returns 0, a read's failure, or kReadPastEnd when the file ends inside a
// record; the records read before a failure stay. `atEnd` tells whether the file ended cleanly
// after the last record read.
int readRecords(Files& files, FileHandle in, EventTable& table, bool& atEnd);

// Loads and saves one data file. A load that did not read the whole file (a read error, a
// short last record, more than 1000 records) marks the file so that the next save first keeps
// the original as "<name>.bak": the records that were not read are never lost.
class DataFile {
 public:
  explicit DataFile(std::string path) : m_path(std::move(path)) {}

  const std::string& path() const { return m_path; }
  std::string backupPath() const { return m_path + kBackupSuffix; }

  // Creates a missing file empty, opens it for reading and writing (so a write-protected file
  // fails here), and reads records into slots 1, 2, ... up to 1000. Throws FileError after
  // storing the records read before the failure; a short last record fails with
  // "Versuch hinter dem Dateiende zu lesen" and is not stored.
  void load(Files& files, EventTable& table);

  // Writes all used slots atomically (the old file stays whole on any failure). Throws FileError.
  void save(Files& files, const EventTable& table);

  // True while the file on disk holds records the table does not.
  bool loadWasIncomplete() const { return m_incomplete; }

 private:
  std::string m_path;
  bool m_incomplete = false;
};

}  // namespace tavik
