// Reading an import file: format detection, the three readers, the status line's texts, and
// storing the chosen candidates into the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "exchange/icalendar_reader.h"
#include "exchange/import_candidate.h"
#include "store/day_number.h"
#include "store/event_table.h"
#include "store/files.h"

namespace tavik {

inline constexpr const char* kStatusReading = "Datei wird gelesen...";
inline constexpr const char* kStatusCannotOpen = "Datei kann nicht geöffnet werden!";
inline constexpr const char* kStatusNotAFile =
    "Datei kann nicht geöffnet werden! Sie ist keine gewöhnliche Datei (Pipe, Gerät oder Socket).";
inline constexpr const char* kStatusUnknownFile = "Dateiformat unbekannt!";
inline constexpr const char* kStatusReadingCsv = "lese Format: CSV";
inline constexpr const char* kStatusReadingTavik4 = "lese Format: Tavik4";
inline constexpr const char* kStatusReadingTavik3 = "lese Format: Tavik3";
inline constexpr const char* kStatusReadingCsvUtf8 = "lese Format: CSV (UTF-8)";
inline constexpr const char* kStatusReadingVcard = "lese Format: vCard";
inline constexpr const char* kStatusReadingIcalendar = "lese Format: iCalendar";
inline constexpr const char* kStatusBadFormat = "Unbekanntes Format!";
inline constexpr const char* kTavik3Question =
    "Älteres Tavik3-Format vermutet. Sollen die Daten importiert werden?";
inline constexpr const char* kTableFullMessage =
    "Zufügen nicht (weiter) möglich.. Speicherplatz erschöpft!";

// Files larger than this are no import files of the program's own formats or CSV: 1000
// native records take 420000 bytes, 1000 CSV lines at most 217000.
inline constexpr std::uint64_t kImportSizeLimit = 2 * 1024 * 1024;
// Address books carry photos and calendars years of appointments: they may be far larger.
inline constexpr std::uint64_t kExchangeSizeLimit = 64 * 1024 * 1024;

// "840 Bytes in der Datei".
std::string sizeLine(std::uint64_t size);

enum class ImportFormat {
  TooShort,        // fewer than 4 bytes: cannot be opened as a file of 4-byte records
  Vcard,           // BEGIN:VCARD first, after a byte order mark and blank lines
  Icalendar,       // BEGIN:VCALENDAR first, likewise
  Csv,             // a TAB among characters 9 to 11 of the first line
  Tavik4,          // a multiple of 420 bytes
  Tavik3Question,  // a multiple of 48 bytes only: the user decides
  Unknown,
};

// Recognises the format of a whole file, checking in the order above.
ImportFormat detectImportFormat(std::string_view bytes);

// What the reading of address books and calendars needs beside the file.
struct ImportContext {
  // Candidates equal to an event of this table (same date, same text) are left out.
  const EventTable* existing = nullptr;
  // A calendar's rule that ended before this day makes no yearly event.
  DayNumber today{};
  LocalDateOf localDate = systemLocalDate;
};

// The last status line after a vCard or iCalendar read: the format and what was found, e.g.
// "vCard: 412 Einträge gefunden, 3 übersprungen (kein Datum), 2 bereits vorhanden".
std::string foundLine(std::string_view format, const ReadResult& read);

// "lese Format: CSV (UTF-8), 2 Zeilen übersprungen (nicht speicherbare Zeichen)".
std::string csvSkippedLine(int lines);

// Leaves out every candidate whose date and full text (eventText) equal those of an event in
// `existing` or of an earlier candidate, and counts it as SkipReason::Duplicate. Year-less events
// compare by day and month.
void dropDuplicates(ReadResult& read, const EventTable* existing);

// Asks the Tavik3 question (kTavik3Question) while the status line shows `statusLine`;
// true for OK. An empty function counts as Cancel.
using Tavik3Question = std::function<bool(const std::string& statusLine)>;

struct ImportResult {
  // Every text the status line shows, in order; the last one stays.
  std::vector<std::string> statusTexts;
  // A reader ran: the candidate list is to be replaced by `candidates` (also when it failed).
  // Otherwise the list stays as it was.
  bool readerRan = false;
  std::vector<OTdaten> candidates;  // in file order
  // The read ended cleanly: "Import !" may be enabled.
  bool succeeded = false;

  const std::string& status() const { return statusTexts.back(); }
};

// Detects the format of a file's bytes and reads it. Total: any byte sequence gives either
// candidates or a clean failure.
ImportResult readImportBytes(std::string_view bytes, const Tavik3Question& askTavik3,
                             const ImportContext& context = {});

// Reads the file at `path` through `files` and then as readImportBytes. An empty name, a file
// that cannot be read and a file of fewer than 4 bytes end with kStatusCannotOpen, a FIFO,
// device or socket with kStatusNotAFile; a file over kImportSizeLimit that is no address book
// or calendar, and any over kExchangeSizeLimit, ends with kStatusUnknownFile after its size
// line.
ImportResult readImportFile(Files& files, const std::string& path, const Tavik3Question& askTavik3,
                            const ImportContext& context = {});

// What storing the ticked candidates did.
struct StoreOutcome {
  int stored = 0;          // records stored into free slots: the first `stored` of the list
  bool tableFull = false;  // some were left over: kTableFullMessage is shown once
};

// Stores the records in list order into the lowest free slots (EventTable::placeRecord, so a
// uid the table holds already is renewed) and stops when the table is full; the rest is not
// stored.
StoreOutcome storeCandidates(EventTable& table, std::span<const OTdaten> ticked);

// "3 Datensätze zugefügt!"
std::string addedMessage(int stored);
// "Import von 3 Datensätzen erfolgreich"
std::string importDoneStatus(int stored);

}  // namespace tavik
