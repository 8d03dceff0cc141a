// Format detection and the reading of one import file.
#include "exchange/import_reader.h"

#include "exchange/csv_reader.h"
#include "exchange/tavik3_reader.h"
#include "exchange/tavik4_reader.h"
#include "store/failure.h"

namespace tavik {
namespace {

// The probe opens the file as a file of 4-byte records and reads one.
constexpr std::size_t kProbeRecordSize = 4;

void runReader(ImportResult& result, const char* status, ReadResult (*reader)(std::string_view),
               std::string_view bytes) {
  result.statusTexts.push_back(status);
  result.readerRan = true;
  ReadResult read = reader(bytes);
  result.candidates = std::move(read.candidates);
  result.succeeded = read.ok;
  if (!read.ok) result.statusTexts.push_back(kStatusBadFormat);
}

}  // namespace

std::string sizeLine(std::uint64_t size) {
  return std::to_string(size) + " Bytes in der Datei";
}

ImportFormat detectImportFormat(std::string_view bytes) {
  if (bytes.size() < kProbeRecordSize) return ImportFormat::TooShort;
  const std::string_view line = firstTextLine(bytes);
  // Characters 9 to 11: a TAB there follows a date "DD.MM.", "DD.MM.YY" or "DD.MM.YYYY".
  const std::string_view t = line.size() < 9 ? std::string_view() : line.substr(8, 3);
  if (t.find('\t') != std::string_view::npos) return ImportFormat::Csv;
  if (bytes.size() % kRecordSize == 0) return ImportFormat::Tavik4;
  if (bytes.size() % kTavik3RecordSize == 0) return ImportFormat::Tavik3Question;
  return ImportFormat::Unknown;
}

ImportResult readImportBytes(std::string_view bytes, const Tavik3Question& askTavik3) {
  ImportResult result;
  result.statusTexts.push_back(kStatusReading);
  const ImportFormat format = detectImportFormat(bytes);
  if (format == ImportFormat::TooShort) {
    result.statusTexts.push_back(kStatusCannotOpen);
    return result;
  }
  result.statusTexts.push_back(sizeLine(bytes.size()));
  switch (format) {
    case ImportFormat::Csv:
      runReader(result, kStatusReadingCsv, readCsv, bytes);
      break;
    case ImportFormat::Tavik4:
      runReader(result, kStatusReadingTavik4, readTavik4, bytes);
      break;
    case ImportFormat::Tavik3Question:
      if (askTavik3 && askTavik3(result.statusTexts.back())) {
        runReader(result, kStatusReadingTavik3, readTavik3, bytes);
      }
      break;
    case ImportFormat::Unknown:
    case ImportFormat::TooShort:
      result.statusTexts.push_back(kStatusUnknownFile);
      break;
  }
  return result;
}

ImportResult readImportFile(Files& files, const std::string& path,
                            const Tavik3Question& askTavik3) {
  ImportResult refused;
  refused.statusTexts = {kStatusReading, kStatusCannotOpen};
  if (path.empty()) return refused;
  FileStatus st;
  if (files.status(path, st) != 0 || st.isDirectory) return refused;
  if (st.size > kImportSizeLimit) {
    ImportResult tooLarge;
    tooLarge.statusTexts = {kStatusReading, sizeLine(st.size), kStatusUnknownFile};
    return tooLarge;
  }
  std::string bytes;
  try {
    bytes = readFileBytes(files, path, kImportSizeLimit + 1);
  } catch (const FileError&) {
    return refused;
  }
  if (bytes.size() > kImportSizeLimit) {  // grew since the size was taken
    ImportResult tooLarge;
    tooLarge.statusTexts = {kStatusReading, sizeLine(bytes.size()), kStatusUnknownFile};
    return tooLarge;
  }
  return readImportBytes(bytes, askTavik3);
}

StoreOutcome storeCandidates(EventTable& table, std::span<const OTdaten> ticked) {
  StoreOutcome outcome;
  // Storing frees no slot, so each search goes on behind the slot just filled.
  int slot = 1;
  for (const OTdaten& candidate : ticked) {
    while (slot <= kSlotCount && !table.slotIsFree(slot)) ++slot;
    if (slot > kSlotCount) {
      ++outcome.tableFullShown;
      continue;
    }
    table.storeRecord(slot, candidate.record);
    ++outcome.stored;
  }
  return outcome;
}

std::string addedMessage(int stored) {
  return std::to_string(stored) + " Datensätze zugefügt!";
}

std::string importDoneStatus(int stored) {
  return "Import von " + std::to_string(stored) + " Datensätzen erfolgreich";
}

}  // namespace tavik
