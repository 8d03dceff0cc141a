// The four export formats.
#include "exchange/export_writer.h"

#include <algorithm>

#include "dates/date_text.h"
#include "exchange/icalendar_writer.h"
#include "store/cp1252.h"
#include "store/data_file.h"
#include "store/day_number.h"
#include "store/event_text.h"

namespace tavik {
namespace {

constexpr const char* kLineEnd = "\r\n";

// A text as the text formats write it: a TAB as `tab` (in CSV it would start a field), any
// other control byte as "?", as Windows-1252 has no U+FFFD; a line break would end the line.
std::string exportText(std::string text, char tab) {
  for (char& ch : text) {
    if (ch == '\t') {
      ch = tab;
    } else if (isControlCharacter(cp1252CodePoint(static_cast<unsigned char>(ch)))) {
      ch = '?';
    }
  }
  return text;
}

// A UTF-8 text as HTML writes it: control characters (C0 but TAB, DEL, C1) as "?".
std::string exportUnicodeText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if ((b < 0x20 && b != '\t') || b == 0x7F) {
      out += '?';
    } else if (b == 0xC2 && i + 1 < utf8.size() &&
               static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      out += '?';
      ++i;
    } else {
      out += static_cast<char>(b);
    }
  }
  return out;
}

// The previous generation's year-less year 9999 becomes 0 in CSV, which reads back as year-less.
std::string dateCell(const EventRecord& record, bool yearlessAsZero) {
  const Ymd d = splitRecordDate(record.date);
  const int year = yearlessAsZero && d.year == kTavik3YearlessYear ? 0 : d.year;
  return formatDayMonthYear(static_cast<std::uint16_t>(d.day), static_cast<std::uint16_t>(d.month),
                            static_cast<std::uint16_t>(year));
}

}  // namespace

std::string csvLine(const EventRecord& record) {
  return dateCell(record, true) + '\t' + exportText(record.text(), ' ');
}

std::string htmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string exportFileBytes(std::span<const EventRecord> records, ExportFormat format,
                            std::int64_t nowUnixSeconds) {
  if (format == ExportFormat::Ics) return icalendarFile(records, nowUnixSeconds);
  std::string out;
  if (format == ExportFormat::Htm) out += std::string(kHtmlFirstLine) + kLineEnd;
  for (const EventRecord& r : records) {
    switch (format) {
      case ExportFormat::Dat: {
        const RecordImage image = encodeRecord(r);
        out.append(image.begin(), image.end());
        break;
      }
      case ExportFormat::Csv:
        out += csvLine(r) + kLineEnd;
        break;
      case ExportFormat::Htm:
        out += "<TR><TD>" + dateCell(r, false) + "</TD>" + kLineEnd;
        out += "<TD>" + htmlEscape(exportUnicodeText(eventText(r))) + "</TD></TR>" + kLineEnd;
        break;
      case ExportFormat::Txt:
        out += exportText(eventLineDate(r) + r.text(), '\t') + kLineEnd;
        break;
      case ExportFormat::Ics:
        break;
    }
  }
  if (format == ExportFormat::Htm) out += std::string(kHtmlLastLine) + kLineEnd;
  return out;
}

int fallbackTextCount(std::span<const EventRecord> records, ExportFormat format) {
  if (format != ExportFormat::Csv && format != ExportFormat::Txt) return 0;
  return static_cast<int>(std::count_if(records.begin(), records.end(), hasUnicodeText));
}

std::string exportDoneMessage(int fallbackTexts) {
  std::string message = kExportDone;
  if (fallbackTexts > 0) {
    message += ' ' + std::to_string(fallbackTexts) + (fallbackTexts == 1 ? " Text" : " Texte") +
               " in lateinischer Ersatzschreibweise geschrieben.";
  }
  return message;
}

int writeExportFile(Files& files, const std::string& path, std::span<const EventRecord> records,
                    ExportFormat format, std::int64_t nowUnixSeconds) {
  const std::string bytes = exportFileBytes(records, format, nowUnixSeconds);
  writeFileAtomically(files, path,
                      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                      1 << 16);
  return fallbackTextCount(records, format);
}

}  // namespace tavik
