// The iCalendar reader, on top of libical's parser.
#include "exchange/icalendar_reader.h"

#include <libical/ical.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "exchange/text_decode.h"

namespace tavik {
namespace {

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};
using ComponentPtr = std::unique_ptr<icalcomponent, ComponentFree>;

struct BufferFree {
  void operator()(char* s) const { icalmemory_free_buffer(s); }
};
using BufferPtr = std::unique_ptr<char, BufferFree>;

// A BY-list of libical ends at the first ICAL_RECURRENCE_ARRAY_MAX.
std::vector<int> byList(const short* list, int size) {
  std::vector<int> out;
  for (int i = 0; i < size && list[i] != ICAL_RECURRENCE_ARRAY_MAX; ++i) out.push_back(list[i]);
  return out;
}

bool isEmpty(const short* list) {
  return list[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

bool recursYearlyOn(const icalrecurrencetype& r, int month, int day, DayNumber today) {
  if (r.freq != ICAL_YEARLY_RECURRENCE || r.interval != 1 || r.count != 0) return false;
  if (!icaltime_is_null_time(r.until)) {
    const auto until = makeDayNumber(r.until.year, r.until.month, r.until.day);
    if (!until || *until < today) return false;
  }
  if (r.rscale && !equalsIgnoreCase(r.rscale, "GREGORIAN")) return false;
  if (!isEmpty(r.by_second) || !isEmpty(r.by_minute) || !isEmpty(r.by_hour) || !isEmpty(r.by_day) ||
      !isEmpty(r.by_week_no) || !isEmpty(r.by_set_pos)) {
    return false;
  }
  const std::vector<int> months = byList(r.by_month, ICAL_BY_MONTH_SIZE);
  const std::vector<int> monthDays = byList(r.by_month_day, ICAL_BY_MONTHDAY_SIZE);
  const std::vector<int> yearDays = byList(r.by_year_day, ICAL_BY_YEARDAY_SIZE);
  const std::vector<int> one{month};
  const std::vector<int> theDay{day};
  const bool leapDay = month == 2 && day == 29;
  if (yearDays.empty()) {
    if ((months.empty() || months == one) && (monthDays.empty() || monthDays == theDay)) {
      return true;
    }
    // The last day of February: 29 February in leap years, 28 February in the others.
    return leapDay && (months.empty() || months == one) && monthDays == std::vector<int>{-1};
  }
  // The 60th day of the year: 29 February in leap years, 1 March in the others.
  return leapDay && months.empty() && monthDays.empty() && yearDays == std::vector<int>{60};
}

std::optional<int> yearValue(std::string_view text) {
  const std::string_view t = trimmed(text);
  if (t.empty() || t.size() > 4) return std::nullopt;
  int n = 0;
  for (const char c : t) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  return n;
}

void readEvent(icalcomponent* event, DayNumber today, const LocalDateOf& localDate,
               ReadResult& out) {
  icalproperty* start = nullptr;
  icalproperty* summary = nullptr;
  std::vector<icalproperty*> rules;
  bool unknownYear = false;
  bool datedByUs = false;
  std::optional<int> realYear;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_ANY_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_ANY_PROPERTY)) {
    switch (icalproperty_isa(p)) {
      case ICAL_DTSTART_PROPERTY:
        if (!start) start = p;
        break;
      case ICAL_SUMMARY_PROPERTY:
        if (!summary) summary = p;
        break;
      case ICAL_RRULE_PROPERTY:
        rules.push_back(p);
        break;
      case ICAL_X_PROPERTY: {
        const char* name = icalproperty_get_x_name(p);
        const BufferPtr value(icalproperty_get_value_as_string_r(p));
        if (!name || !value) break;
        const std::string_view n(name);
        const std::string_view v = trimmed(value.get());
        if (equalsIgnoreCase(n, "X-TAVIK-YEARLESS")) {
          unknownYear = unknownYear || v == "1";
          datedByUs = v == "0";
        } else if (n.size() > 13 && equalsIgnoreCase(n.substr(n.size() - 13), "-UNKNOWN-YEAR")) {
          unknownYear = unknownYear || v == "1";
        } else if (equalsIgnoreCase(n, "X-EVOLUTION-SINCE-YEAR") ||
                   equalsIgnoreCase(n, "X-NEXTCLOUD-BC-YEAR")) {
          if (const auto y = yearValue(v)) realYear = y;
        }
        break;
      }
      default:
        break;
    }
  }
  if (!start) {
    out.skip(SkipReason::NoDate);
    return;
  }
  const icaltimetype t = icalproperty_get_dtstart(start);
  if (icaltime_is_null_time(t) || !icaltime_is_valid_time(t)) {
    out.skip(SkipReason::BadDate);
    return;
  }
  std::optional<Ymd> date = Ymd{t.year, t.month, t.day};
  if (!t.is_date && icaltime_is_utc(t)) date = localDate(icaltime_as_timet(t));
  if (!date || !makeDayNumber(*date)) {
    out.skip(SkipReason::BadDate);
    return;
  }
  if (rules.empty()) {
    out.skip(SkipReason::NotYearly);
    return;
  }
  for (icalproperty* rule : rules) {
    if (!recursYearlyOn(icalproperty_get_rrule(rule), date->month, date->day, today)) {
      out.skip(SkipReason::NotYearly);
      return;
    }
  }
  const char* title = summary ? icalproperty_get_summary(summary) : nullptr;
  const std::optional<std::string> text = storableText(title ? title : "");
  if (text && text->empty()) {
    out.skip(SkipReason::NoText);
    return;
  }
  if (!text) {
    out.skip(SkipReason::Unstorable);
    return;
  }

  int year = realYear.value_or(date->year);
  const bool yearless = unknownYear || (year == kPlaceholderYear && !datedByUs);
  if (yearless) year = kYearlessYear;
  const auto day = makeDayNumber(year, date->month, date->day);
  // Day 0 (30 December 1899) marks a free slot; stored, the event would vanish.
  if (!day || day->value == 0) {
    out.skip(SkipReason::BadDate);
    return;
  }
  const OTdaten c = datedCandidate(*day, yearless, *text);
  out.candidates.push_back(c);
}

void readCalendar(icalcomponent* calendar, DayNumber today, const LocalDateOf& localDate,
                  ReadResult& out) {
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    readEvent(e, today, localDate, out);
  }
}

// The calendar with only what the events' reading looks at: libical spends most of its time
// on alarms, time zone rules and properties this reader never asks for. A folded line goes
// with the line it continues. Lines end at LF, as for libical.
std::string eventLinesOnly(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 2);
  int skippedDepth = 0;  // inside a component other than VCALENDAR and VEVENT
  bool keepLine = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line =
        text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(line.size());
    if (line.front() == ' ' || line.front() == '\t') {
      if (keepLine) out.append(line);
      continue;
    }
    const std::string_view t = trimmed(line);
    if (startsWithIgnoreCase(t, "BEGIN:")) {
      const std::string_view kind = trimmed(t.substr(6));
      if (skippedDepth > 0 ||
          (!equalsIgnoreCase(kind, "VCALENDAR") && !equalsIgnoreCase(kind, "VEVENT"))) {
        ++skippedDepth;
      }
      keepLine = skippedDepth == 0;
    } else if (startsWithIgnoreCase(t, "END:")) {
      keepLine = skippedDepth == 0;
      if (skippedDepth > 0) --skippedDepth;
    } else {
      keepLine = skippedDepth == 0 &&
                 (startsWithIgnoreCase(t, "DTSTART") || startsWithIgnoreCase(t, "RRULE") ||
                  startsWithIgnoreCase(t, "SUMMARY") || startsWithIgnoreCase(t, "X-"));
    }
    if (keepLine) out.append(line);
  }
  return out;
}

}  // namespace

bool looksLikeIcalendar(std::string_view bytes) {
  return beginsWithMarkerLine(bytes, "BEGIN:VCALENDAR");
}

std::optional<Ymd> systemLocalDate(std::int64_t unixSeconds) {
  const auto t = static_cast<std::time_t>(unixSeconds);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return std::nullopt;
  return Ymd{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

ReadResult readIcalendar(std::string_view bytes, DayNumber today, const LocalDateOf& localDate) {
  ReadResult result;
  const std::string text = eventLinesOnly(withoutUtf8Bom(bytes));
  // A malformed line must end in a skipped event, never in abort().
  icalerror_set_errors_are_fatal(0);
  const ComponentPtr root(icalparser_parse_string(text.c_str()));
  if (!root) return result;
  if (icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT) {
    readCalendar(root.get(), today, localDate, result);
  } else if (icalcomponent_isa(root.get()) == ICAL_XROOT_COMPONENT) {
    // Several calendars in one file.
    for (icalcomponent* c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT);
         c; c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT)) {
      readCalendar(c, today, localDate, result);
    }
  }
  return result;
}

}  // namespace tavik
