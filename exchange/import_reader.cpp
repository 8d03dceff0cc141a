// Format detection and the reading of one import file.
#include "exchange/import_reader.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "exchange/csv_reader.h"
#include "exchange/tavik3_reader.h"
#include "exchange/tavik4_reader.h"
#include "exchange/vcard_reader.h"
#include "store/event_text.h"
#include "store/failure.h"

namespace tavik {
namespace {

// The probe opens the file as a file of 4-byte records and reads one.
constexpr std::size_t kProbeRecordSize = 4;

void runReader(ImportResult& result, const char* status, ReadResult (*reader)(std::string_view),
               std::string_view bytes) {
  ReadResult read = reader(bytes);
  result.statusTexts.push_back(read.utf8 ? kStatusReadingCsvUtf8 : status);
  result.readerRan = true;
  result.candidates = std::move(read.candidates);
  result.succeeded = read.ok;
  if (!read.ok) {
    result.statusTexts.push_back(kStatusBadFormat);
  } else if (const int left = read.skippedFor(SkipReason::Unstorable); left > 0) {
    result.statusTexts.push_back(csvSkippedLine(left));
  }
}

// An address book or calendar: what was found and what was left out, then the list.
void runExchangeReader(ImportResult& result, const char* status, const char* format,
                       ReadResult read, const ImportContext& context) {
  result.statusTexts.push_back(status);
  result.readerRan = true;
  if (!read.ok) {
    result.statusTexts.push_back(std::string(format) + ": " + read.refusal);
    return;
  }
  dropDuplicates(read, context.existing);
  result.statusTexts.push_back(foundLine(format, read));
  result.candidates = std::move(read.candidates);
  // Nothing to tick, nothing to import.
  result.succeeded = !result.candidates.empty();
}

constexpr const char* kReasonTexts[kSkipReasonCount] = {
    "übersprungen (kein Datum)",     "übersprungen (ungültiges Datum)",
    "übersprungen (ohne Namen)",     "übersprungen (ohne Titel)",
    "übersprungen (nicht jährlich)", "übersprungen (nicht speicherbare Zeichen)",
    "übersprungen (unvollständig)",  "bereits vorhanden",
};

using EventKey = std::tuple<int, int, int, std::string>;

EventKey keyOf(const EventRecord& r) {
  const Ymd d = splitRecordDate(r.date);
  const bool yearless = hasNoYear(r, d.year);
  return {yearless ? 0 : d.year, d.month, d.day, eventText(r)};
}

}  // namespace

std::string foundLine(std::string_view format, const ReadResult& read) {
  const std::size_t n = read.candidates.size();
  std::string line(format);
  line += ": " + std::to_string(n) + (n == 1 ? " Eintrag gefunden" : " Einträge gefunden");
  for (std::size_t i = 0; i < kSkipReasonCount; ++i) {
    if (read.skipped[i] > 0) line += ", " + std::to_string(read.skipped[i]) + ' ' + kReasonTexts[i];
  }
  return line;
}

std::string csvSkippedLine(int lines) {
  return std::string(kStatusReadingCsvUtf8) + ", " + std::to_string(lines) +
         (lines == 1 ? " Zeile" : " Zeilen") + " übersprungen (nicht speicherbare Zeichen)";
}

void dropDuplicates(ReadResult& read, const EventTable* existing) {
  std::set<EventKey> inTable;
  if (existing) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (!existing->slotIsFree(slot)) inTable.insert(keyOf(existing->record(slot)));
    }
  }
  // The candidates are compared among themselves through a sorted list of their indices, and
  // the list is thinned in place: an address book may give a million of them.
  std::vector<OTdaten>& all = read.candidates;
  std::vector<std::pair<std::int32_t, std::uint32_t>> order;  // date key, index
  order.reserve(all.size());
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Ymd d = splitRecordDate(all[i].record.date);
    const bool yearless = hasNoYear(all[i].record, d.year);
    order.emplace_back(((yearless ? 0 : d.year) * 100 + d.month) * 100 + d.day,
                       static_cast<std::uint32_t>(i));
  }
  // The full texts: two names with the same fallback ("Ayşe", "Ayse") are not the same.
  std::vector<std::string> texts;
  texts.reserve(all.size());
  for (const OTdaten& c : all) texts.push_back(eventText(c.record));
  const auto textOf = [&](std::uint32_t i) { return std::string_view(texts[i]); };
  std::sort(order.begin(), order.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first < b.first;
    const int texts = textOf(a.second).compare(textOf(b.second));
    return texts != 0 ? texts < 0 : a.second < b.second;
  });
  std::vector<bool> dropped(all.size(), false);
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::uint32_t i = order[k].second;
    // Within a run of equal ones the first in the file stays.
    if (k > 0 && order[k - 1].first == order[k].first && textOf(order[k - 1].second) == textOf(i)) {
      dropped[i] = true;
    } else if (!inTable.empty() && inTable.contains(keyOf(all[i].record))) {
      dropped[i] = true;
    }
  }
  order = {};
  texts = {};
  std::size_t kept = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (dropped[i]) {
      read.skip(SkipReason::Duplicate);
    } else {
      if (kept != i) all[kept] = std::move(all[i]);
      ++kept;
    }
  }
  all.resize(kept);
}

std::string sizeLine(std::uint64_t size) {
  return std::to_string(size) + " Bytes in der Datei";
}

ImportFormat detectImportFormat(std::string_view bytes) {
  if (bytes.size() < kProbeRecordSize) return ImportFormat::TooShort;
  if (looksLikeVcard(bytes)) return ImportFormat::Vcard;
  if (looksLikeIcalendar(bytes)) return ImportFormat::Icalendar;
  const std::string_view line = firstTextLine(bytes);
  // Characters 9 to 11: a TAB there follows a date "DD.MM.", "DD.MM.YY" or "DD.MM.YYYY".
  const std::string_view t = line.size() < 9 ? std::string_view() : line.substr(8, 3);
  if (t.find('\t') != std::string_view::npos) return ImportFormat::Csv;
  if (bytes.size() % kRecordSize == 0) return ImportFormat::Tavik4;
  if (bytes.size() % kTavik3RecordSize == 0) return ImportFormat::Tavik3Question;
  return ImportFormat::Unknown;
}

ImportResult readImportBytes(std::string_view bytes, const Tavik3Question& askTavik3,
                             const ImportContext& context) {
  ImportResult result;
  result.statusTexts.push_back(kStatusReading);
  const ImportFormat format = detectImportFormat(bytes);
  if (format == ImportFormat::TooShort) {
    result.statusTexts.push_back(kStatusCannotOpen);
    return result;
  }
  result.statusTexts.push_back(sizeLine(bytes.size()));
  switch (format) {
    case ImportFormat::Vcard:
      runExchangeReader(result, kStatusReadingVcard, "vCard", readVcard(bytes), context);
      break;
    case ImportFormat::Icalendar:
      runExchangeReader(result, kStatusReadingIcalendar, "iCalendar",
                        readIcalendar(bytes, context.today, context.localDate), context);
      break;
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

ImportResult readImportFile(Files& files, const std::string& path, const Tavik3Question& askTavik3,
                            const ImportContext& context) {
  ImportResult refused;
  refused.statusTexts = {kStatusReading, kStatusCannotOpen};
  if (path.empty()) return refused;
  FileStatus st;
  if (files.status(path, st) != 0 || st.isDirectory) return refused;
  if (st.isSpecial) {
    refused.statusTexts.back() = kStatusNotAFile;
    return refused;
  }
  const auto tooLarge = [](std::uint64_t size) {
    ImportResult r;
    r.statusTexts = {kStatusReading, sizeLine(size), kStatusUnknownFile};
    return r;
  };
  if (st.size > kExchangeSizeLimit) return tooLarge(st.size);
  std::string bytes;
  try {
    // A large file is read whole only when it begins like an address book or calendar.
    if (st.size > kImportSizeLimit) {
      const std::string start = readFileBytes(files, path, 4096);
      if (!looksLikeVcard(start) && !looksLikeIcalendar(start)) return tooLarge(st.size);
    }
    bytes = readFileBytes(files, path, kExchangeSizeLimit + 1);
  } catch (const FileError&) {
    return refused;
  }
  const bool exchange = looksLikeVcard(bytes) || looksLikeIcalendar(bytes);
  // The file may have grown since its size was taken.
  if (bytes.size() > (exchange ? kExchangeSizeLimit : kImportSizeLimit)) {
    return tooLarge(bytes.size());
  }
  return readImportBytes(bytes, askTavik3, context);
}

StoreOutcome storeCandidates(EventTable& table, std::span<const OTdaten> ticked) {
  StoreOutcome outcome;
  for (const OTdaten& candidate : ticked) {
    const std::optional<int> slot = table.findFreeSlot();
    if (!slot) {
      outcome.tableFull = true;
      break;
    }
    // An identity the table holds already (the same file imported twice) is renewed.
    table.placeRecord(*slot, candidate.record);
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
