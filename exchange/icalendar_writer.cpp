// The iCalendar writer: a short one of our own; libical reads its output back in the tests.
#include "exchange/icalendar_writer.h"

#include <cstdio>
#include <ctime>
#include <map>

#include "dates/countdown.h"
#include "exchange/import_candidate.h"
#include "exchange/text_decode.h"
#include "store/cp1252.h"
#include "store/day_number.h"
#include "store/event_kind.h"
#include "store/event_text.h"
#include "store/hex_digit.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kMaxOctets = 75;
// A leap year near the start of common calendar ranges (Nextcloud does the same); 1604,
// Apple's choice, makes clients show ages of 400 and more or stop expanding.
constexpr int kYearlessStartYear = 1972;

std::string dateValue(int year, int month, int day) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
  return buf;
}

std::string stampValue(std::int64_t unixSeconds) {
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

int yearOf(std::int64_t unixSeconds) {
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm.tm_year + 1900;
}

// The days of one event as written.
struct EventDays {
  Ymd stored;  // the record's own date
  Ymd start;
  std::optional<Ymd> end;  // none after 31 December 9999
  bool yearless;
  bool once;
  int year;  // the start's year before a one-time event is moved to its occurrence
};

// nullopt when the record's date is no valid day.
std::optional<EventDays> eventDays(const EventRecord& r, int stampYear) {
  const auto day = dayNumberFromDouble(r.date);
  const auto ymd = day ? splitDayNumber(*day) : std::nullopt;
  if (!ymd) return std::nullopt;
  EventDays e{.stored = *ymd,
              .start = {},
              .end = {},
              .yearless = hasNoYear(r, ymd->year),
              .once = isSet(r.autoDelete),
              .year = 0};
  e.year = e.yearless && !e.once ? kYearlessStartYear : ymd->year;
  // An event that deletes itself happens once, on the day its deletion counts from: the
  // stored date, or for the year-less year this year's.
  const auto startDay = e.once ? occurrenceInYear(e.year == yearlessMarkerYear ? stampYear : e.year,
                                                  ymd->month, ymd->day)
                               : makeDayNumber(e.year, ymd->month, ymd->day);
  if (!startDay) return std::nullopt;  // 29 February kept in a common year by a foreign file
  e.start = *splitDayNumber(*startDay);
  e.end = splitDayNumber(*startDay + 1);
  return e;
}

void appendHead(std::string& out) {
  appendFoldedLine(out, "BEGIN:VCALENDAR");
  appendFoldedLine(out, "VERSION:2.0");
  appendFoldedLine(out, std::string("PRODID:") + kIcalendarProductId);
}

void appendEvent(std::string& out, const EventRecord& r, const EventDays& e, const std::string& uid,
                 const std::string& stamp) {
  appendFoldedLine(out, "BEGIN:VEVENT");
  appendFoldedLine(out, "UID:" + uid);
  appendFoldedLine(out, "DTSTAMP:" + stamp);
  appendFoldedLine(out,
                   "DTSTART;VALUE=DATE:" + dateValue(e.start.year, e.start.month, e.start.day));
  if (e.end) {
    appendFoldedLine(out, "DTEND;VALUE=DATE:" + dateValue(e.end->year, e.end->month, e.end->day));
  } else {
    appendFoldedLine(out, "DURATION:P1D");  // 31 December 9999 has no day after it
  }
  // Every calendar tested keeps a 29 February in common years only in this form.
  if (!e.once) {
    appendFoldedLine(out, e.stored.month == 2 && e.stored.day == 29
                              ? "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1"
                              : "RRULE:FREQ=YEARLY");
  }
  appendFoldedLine(out, "TRANSP:TRANSPARENT");
  // Calendar programs drop a title of blanks; the exact text below still carries it.
  const bool unicode = hasUnicodeText(r);
  const std::string title = icalendarText(eventText(r));
  if (!trimmed(title).empty()) appendFoldedLine(out, "SUMMARY:" + title);
  // The exact form is of Windows-1252 texts; a Unicode text travels whole in the title.
  if (const auto exact = unicode ? std::nullopt : icalendarExactText(r.text())) {
    appendFoldedLine(out, "X-TAVIK-TEXT:" + *exact);
  }
  const auto block = readExtension(r);
  // The kind's German name, which our reader maps back and other programs show as it is.
  if (const std::string_view kind = kindName(block ? block->kind : kKindNone); !kind.empty()) {
    appendFoldedLine(out, "CATEGORIES:" + std::string(kind));
  }
  if (e.yearless) {
    appendFoldedLine(out, "X-TAVIK-YEARLESS:1");
  } else if (e.year == kPlaceholderYear) {
    appendFoldedLine(out, "X-TAVIK-YEARLESS:0");
  }
  if (e.once) appendFoldedLine(out, "X-TAVIK-AUTODELETE:1");
  // The switches calendars have no word for, so that another copy of Tavik! gets them back.
  if (r.isProtected != 0) appendFoldedLine(out, "X-TAVIK-PROTECTED:1");
  if (r.highPriority != 0) appendFoldedLine(out, "X-TAVIK-PRIORITY:1");
  // Only where it differs from what a reader assumes: counted for dated events, not for others.
  if ((r.computeJubilee != 0) == e.yearless) {
    appendFoldedLine(out, r.computeJubilee != 0 ? "X-TAVIK-JUBILEE:1" : "X-TAVIK-JUBILEE:0");
  }
  if (block && block->leadDays > 0) {
    appendFoldedLine(out, "BEGIN:VALARM");
    appendFoldedLine(out, "ACTION:DISPLAY");
    appendFoldedLine(out, "TRIGGER:-P" + std::to_string(block->leadDays) + "D");
    appendFoldedLine(out, "DESCRIPTION:" + title);
    appendFoldedLine(out, "END:VALARM");
  }
  appendFoldedLine(out, "END:VEVENT");
}

}  // namespace

std::string icalendarUid(const EventRecord& record) {
  if (const auto extension = readExtension(record)) return uidText(extension->uid) + "@tavik";
  // FNV-1a, 64 bits, over the day number, the year switch and the text bytes.
  std::uint64_t h = 0xcbf29ce484222325ULL;
  const auto mix = [&h](unsigned char b) {
    h ^= b;
    h *= 0x100000001b3ULL;
  };
  const auto day = static_cast<std::int64_t>(record.date);
  for (int i = 0; i < 8; ++i) mix(static_cast<unsigned char>(day >> (8 * i)));
  mix(isSet(record.withoutYear) ? 1 : 0);
  for (const char c : record.text()) mix(static_cast<unsigned char>(c));
  char buf[40];
  std::snprintf(buf, sizeof buf, "%016llx@tavik", static_cast<unsigned long long>(h));
  return buf;
}

std::string icalendarText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size() + 8);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case ';':
        out += "\\;";
        break;
      case ',':
        out += "\\,";
        break;
      case '\r':
        if (i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
        out += "\\n";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == '\x7f' ? ' ' : c;
    }
  }
  return out;
}

std::optional<std::string> icalendarExactText(std::string_view cp1252) {
  if (cp1252.empty()) return "-";
  if (storableText(cp1252ToUtf8(cp1252)) == cp1252) return std::nullopt;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(cp1252.size() * 3);
  for (const char c : cp1252) {
    const auto b = static_cast<unsigned char>(c);
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
  return out;
}

std::optional<std::string> icalendarExactTextValue(std::string_view value) {
  if (value == "-") return std::string();
  std::string out;
  for (std::size_t i = 0; i < value.size(); ++i) {
    const auto b = static_cast<unsigned char>(value[i]);
    if (b == '%') {
      if (i + 2 >= value.size()) return std::nullopt;
      const int high = hexValue(value[i + 1]);
      const int low = hexValue(value[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
      out += value[i];
    } else {
      return std::nullopt;
    }
    if (out.size() > kMaxTextLength) return std::nullopt;
  }
  if (out.empty()) return std::nullopt;
  return out;
}

void appendFoldedLine(std::string& out, std::string_view line) {
  std::size_t limit = kMaxOctets;
  while (line.size() > limit) {
    std::size_t cut = limit;
    // Never between the bytes of one character: back up to the start of a sequence.
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
    if (cut == 0) cut = limit;  // no character start at all: not UTF-8, cut anywhere
    out.append(line.substr(0, cut));
    out.append(kLineEnd);
    out += ' ';
    line.remove_prefix(cut);
    limit = kMaxOctets - 1;  // the blank that starts a continuation counts
  }
  out.append(line);
  out.append(kLineEnd);
}

std::string icalendarFile(std::span<const EventRecord> records, std::int64_t stampUnixSeconds) {
  std::string out;
  out.reserve(256 + records.size() * 300);
  const std::string stamp = stampValue(stampUnixSeconds);
  const int stampYear = yearOf(stampUnixSeconds);
  appendHead(out);
  std::map<std::string, int> uidsSeen;
  for (const EventRecord& r : records) {
    const auto days = eventDays(r, stampYear);
    if (!days) continue;
    // The same event twice in one export still needs two UIDs.
    std::string uid = icalendarUid(r);
    const int seen = uidsSeen[uid]++;
    if (seen > 0) {
      std::string suffix(1, '-');
      suffix += std::to_string(seen + 1);
      uid.insert(uid.find('@'), suffix);
    }
    appendEvent(out, r, *days, uid, stamp);
  }
  appendFoldedLine(out, "END:VCALENDAR");
  return out;
}

std::string icalendarEventFile(const EventRecord& record, std::int64_t stampUnixSeconds) {
  const auto days = eventDays(record, yearOf(stampUnixSeconds));
  if (!days) return {};
  std::string out;
  appendHead(out);
  appendEvent(out, record, *days, icalendarUid(record), stampValue(stampUnixSeconds));
  appendFoldedLine(out, "END:VCALENDAR");
  return out;
}

}  // namespace tavik
