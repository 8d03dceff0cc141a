// Writing events to an export file: 420-byte records, tab-separated text, an HTML table or
// plain text lines.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "store/files.h"
#include "store/typs.h"

namespace tavik {

inline constexpr const char* kExportNoFormat = "Bitte noch Exportformat wählen!";
inline constexpr const char* kExportDone = "Export erfolgreich!";

// The formats in the order of the format choice (its item index).
enum class ExportFormat { Dat = 0, Csv = 1, Htm = 2, Txt = 3, Ics = 4 };

// The page is UTF-8 and says so: the texts are written whole, in any script.
inline constexpr const char* kHtmlFirstLine =
    "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">"
    "<TITLE>Tavik! v4.5 Datenexport</TITLE></HEAD><BODY><TABLE WIDTH=\"90%\" COLS=2>";
inline constexpr const char* kHtmlLastLine = "</TABLE></BODY></HTML>";

// The CSV line of one event without its CR LF: the date (year 9999 written as "00", year 9996
// as 8 blanks), a TAB, the text with each TAB turned into a blank and any other control byte
// (a line break would end the line, a NUL cut it) into "?".
std::string csvLine(const EventRecord& record);

// `text` with &, <, > and " written as HTML entities.
std::string htmlEscape(std::string_view text);

// The whole file for `records` in the given order; text lines end with CR LF, control
// characters other than TAB are written as "?". "dat" gives the 420-byte images back to back,
// record extensions included; "csv" and "txt" are Windows-1252 and write the stored
// Windows-1252 text, for a text in another script its fallback form; "htm" is UTF-8 with the
// full texts: the first line, two lines per event (the text escaped) and the last line; "ics" a
// calendar in UTF-8 (icalendar_writer.h) stamped with `nowUnixSeconds`.
std::string exportFileBytes(std::span<const EventRecord> records, ExportFormat format,
                            std::int64_t nowUnixSeconds = 0);

// How many of `records` the format writes in their Windows-1252 fallback form instead of their
// full text: those with a Unicode text, in "csv" and "txt".
int fallbackTextCount(std::span<const EventRecord> records, ExportFormat format);

// The message after an export: kExportDone, and when some texts were written in their
// fallback form how many, e.g. "Export erfolgreich! 3 Texte in lateinischer
// Ersatzschreibweise geschrieben."
std::string exportDoneMessage(int fallbackTexts);

// Writes exportFileBytes to `path`, replacing an existing file only when the new one is
// complete, and returns fallbackTextCount. Throws FileError.
int writeExportFile(Files& files, const std::string& path, std::span<const EventRecord> records,
                    ExportFormat format, std::int64_t nowUnixSeconds = 0);

}  // namespace tavik
