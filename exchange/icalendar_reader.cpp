// The iCalendar reader, on top of libical's parser.
#include "exchange/icalendar_reader.h"

#include <libical/ical.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "exchange/icalendar_writer.h"
#include "exchange/libical_handles.h"
#include "exchange/text_decode.h"
#include "store/cp1252.h"
#include "store/event_kind.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

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

// A title as compared with our own exact text: control characters, blanks and TABs count as
// one blank between words, none at the ends.
std::string looseText(std::string_view utf8) {
  std::string out;
  bool gap = false;
  for (const char c : utf8) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == '\x7f') {
      gap = !out.empty();
      continue;
    }
    if (gap) out += ' ';
    gap = false;
    out += c;
  }
  return out;
}

bool endsWithIgnoreCase(std::string_view s, std::string_view suffix) {
  return s.size() > suffix.size() && equalsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

// A yes of an X-...-UNKNOWN-YEAR property: Nextcloud writes 1 and 0.
bool trueValue(std::string_view v) {
  return v == "1" || equalsIgnoreCase(v, "TRUE");
}

// The years that X-...-OMIT-YEAR parameters of `p` name as stand-ins: Apple's
// X-APPLE-OMIT-YEAR, and sabre's X-SABRE-OMIT-YEAR on the X-SABRE-BDAY of its birthday
// calendars.
void collectOmitYears(icalproperty* p, std::vector<int>& years) {
  for (icalparameter* a = icalproperty_get_first_parameter(p, ICAL_X_PARAMETER); a;
       a = icalproperty_get_next_parameter(p, ICAL_X_PARAMETER)) {
    const char* name = icalparameter_get_xname(a);
    const char* value = icalparameter_get_xvalue(a);
    if (!name || !value || !endsWithIgnoreCase(name, "-OMIT-YEAR")) continue;
    if (const auto y = yearValue(value)) years.push_back(*y);
  }
}

// The kind a category names, as calendar programs write them (Evolution's and Nextcloud's
// birthday calendars, the RFC's ANNIVERSARY, our own German names); none for any other.
std::uint8_t kindOfCategory(std::string_view category) {
  struct Name {
    std::string_view name;
    std::uint8_t kind;
  };
  static constexpr Name kNames[] = {
      {"Birthday", kKindBirthday},       {"Birthdays", kKindBirthday},
      {"Geburtstag", kKindBirthday},     {"Geburtstage", kKindBirthday},
      {"Anniversary", kKindWedding},     {"Anniversaries", kKindWedding},
      {"Hochzeitstag", kKindWedding},    {"Hochzeitstage", kKindWedding},
      {"Wedding", kKindWedding},         {"Death", kKindDeath},
      {"Deathday", kKindDeath},          {"Death day", kKindDeath},
      {"Todestag", kKindDeath},          {"Todestage", kKindDeath},
      {"Namenstag", kKindNameDay},       {"Namenstage", kKindNameDay},
      {"Name day", kKindNameDay},        {"Nameday", kKindNameDay},
      {"Jahrestag", kKindAnniversary},   {"Jahrestage", kKindAnniversary},
      {"Termin", kKindAppointment},      {"Termine", kKindAppointment},
      {"Appointment", kKindAppointment}, {"Appointments", kKindAppointment},
  };
  const std::string_view c = trimmed(category);
  for (const Name& n : kNames) {
    if (equalsIgnoreCase(c, n.name)) return n.kind;
  }
  return kKindNone;
}

// Nextcloud's birthday calendar names the contact's field each event comes from.
std::uint8_t kindOfNextcloudField(std::string_view value) {
  if (equalsIgnoreCase(value, "BDAY")) return kKindBirthday;
  if (equalsIgnoreCase(value, "ANNIVERSARY")) return kKindWedding;
  if (equalsIgnoreCase(value, "DEATHDATE")) return kKindDeath;
  return kKindNone;
}

// The days before the start an alarm reminds on: a trigger relative to the start of
// "-P<n>D", "-P<n>W" or with hours and minutes counts the whole days before it, a started day
// as a whole one (-PT15H is the day before, at 9 o'clock); at or after the start it is 0.
// nullopt for alarms at a fixed moment, relative to the end, of the action NONE (Apple's
// placeholder) or unreadable.
std::optional<int> alarmLeadDays(icalcomponent* alarm) {
  icalproperty* trigger = icalcomponent_get_first_property(alarm, ICAL_TRIGGER_PROPERTY);
  if (!trigger) return std::nullopt;
  if (icalproperty* action = icalcomponent_get_first_property(alarm, ICAL_ACTION_PROPERTY)) {
    const BufferPtr value(icalproperty_get_value_as_string_r(action));
    if (value && equalsIgnoreCase(trimmed(value.get()), "NONE")) return std::nullopt;
  }
  if (icalparameter* related = icalproperty_get_first_parameter(trigger, ICAL_RELATED_PARAMETER);
      related && icalparameter_get_related(related) == ICAL_RELATED_END) {
    return std::nullopt;
  }
  const icaltriggertype t = icalproperty_get_trigger(trigger);
  if (!icaltime_is_null_time(t.time) || icaltriggertype_is_bad_trigger(t)) return std::nullopt;
  const icaldurationtype& d = t.duration;
  if (!d.is_neg) return 0;
  // Summed in 64 bits: libical's own sum overflows for large week counts.
  const std::int64_t seconds =
      ((static_cast<std::int64_t>(d.weeks) * 7 + d.days) * 24 + d.hours) * 3600 +
      static_cast<std::int64_t>(d.minutes) * 60 + d.seconds;
  constexpr std::int64_t kDay = 86400;
  return static_cast<int>(std::min<std::int64_t>((seconds + kDay - 1) / kDay, kMostLeadDays));
}

void readEvent(icalcomponent* event, DayNumber today, const LocalDateOf& localDate,
               ReadResult& out) {
  icalproperty* start = nullptr;
  icalproperty* summary = nullptr;
  std::vector<icalproperty*> rules;
  bool unknownYear = false;
  bool datedByUs = false;
  bool once = false;
  bool isProtected = false;
  bool highPriority = false;
  std::optional<bool> jubilee;
  std::optional<int> realYear;
  std::optional<std::string> exactText;
  std::vector<int> omitYears;
  std::optional<Uid> uid;
  std::uint8_t categoryKind = kKindNone;
  std::uint8_t fieldKind = kKindNone;
  for (icalproperty* p = icalcomponent_get_first_property(event, ICAL_ANY_PROPERTY); p;
       p = icalcomponent_get_next_property(event, ICAL_ANY_PROPERTY)) {
    collectOmitYears(p, omitYears);
    switch (icalproperty_isa(p)) {
      case ICAL_UID_PROPERTY:
        // Our own identity, "<uuid>@tavik", comes back with the event.
        if (const char* v = icalproperty_get_uid(p); v && !uid) {
          const std::string_view text = trimmed(v);
          if (text.ends_with("@tavik")) uid = uidFromText(text.substr(0, text.size() - 6));
        }
        break;
      case ICAL_DTSTART_PROPERTY:
        if (!start) start = p;
        break;
      case ICAL_SUMMARY_PROPERTY:
        if (!summary) summary = p;
        break;
      case ICAL_RRULE_PROPERTY:
        rules.push_back(p);
        break;
      case ICAL_CATEGORIES_PROPERTY:
        // libical gives each item of a comma list as a property of its own, unescaped.
        if (const char* v = icalproperty_get_categories(p); v && !categoryKind) {
          categoryKind = kindOfCategory(v);
        }
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
        } else if (equalsIgnoreCase(n, "X-TAVIK-AUTODELETE")) {
          once = v == "1";
        } else if (equalsIgnoreCase(n, "X-TAVIK-PROTECTED")) {
          isProtected = v == "1";
        } else if (equalsIgnoreCase(n, "X-TAVIK-PRIORITY")) {
          highPriority = v == "1";
        } else if (equalsIgnoreCase(n, "X-TAVIK-JUBILEE")) {
          if (v == "0" || v == "1") jubilee = v == "1";
        } else if (equalsIgnoreCase(n, "X-TAVIK-TEXT")) {
          if (!exactText) exactText = icalendarExactTextValue(v);
        } else if (endsWithIgnoreCase(n, "-UNKNOWN-YEAR")) {
          unknownYear = unknownYear || trueValue(v);
        } else if (endsWithIgnoreCase(n, "-OMIT-YEAR")) {
          if (const auto y = yearValue(v)) omitYears.push_back(*y);
        } else if (equalsIgnoreCase(n, "X-NEXTCLOUD-BC-FIELD-TYPE")) {
          if (!fieldKind) fieldKind = kindOfNextcloudField(v);
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
  // libical takes years past 3000 for invalid; the store's own check below covers the rest.
  if (icaltime_is_null_time(t) || t.year < 1 || t.year > 9999) {
    out.skip(SkipReason::BadDate);
    return;
  }
  std::optional<Ymd> date = Ymd{t.year, t.month, t.day};
  if (!t.is_date && icaltime_is_utc(t)) date = localDate(icaltime_as_timet(t));
  if (!date || !makeDayNumber(*date)) {
    out.skip(SkipReason::BadDate);
    return;
  }
  // Our own one-time event, which deletes itself; another program that made it recur has
  // made it yearly.
  once = once && rules.empty();
  if (rules.empty() && !once) {
    out.skip(SkipReason::NotYearly);
    return;
  }
  for (icalproperty* rule : rules) {
    if (!recursYearlyOn(icalproperty_get_rrule(rule), date->month, date->day, today)) {
      out.skip(SkipReason::NotYearly);
      return;
    }
  }
  const char* titleValue = summary ? icalproperty_get_summary(summary) : nullptr;
  const std::string_view title = titleValue ? titleValue : "";
  // Our own exact text, unless another program has changed the title since.
  const bool exact = exactText && looseText(cp1252ToUtf8(*exactText)) == looseText(title);
  const std::string text = exact ? std::string() : oneLineText(title);
  if (!exact && text.empty()) {
    out.skip(SkipReason::NoText);
    return;
  }

  int year = realYear.value_or(date->year);
  const bool omitted = std::find(omitYears.begin(), omitYears.end(), t.year) != omitYears.end();
  const bool yearless = unknownYear || omitted || (year == kPlaceholderYear && !datedByUs);
  // A one-time event keeps its year: its deletion counts from that day.
  if (yearless && !once) year = kYearlessYear;
  const auto day = makeDayNumber(year, date->month, date->day);
  // Day 0 (30 December 1899) marks a free slot; stored, the event would vanish.
  if (!day || day->value == 0) {
    out.skip(SkipReason::BadDate);
    return;
  }
  std::optional<OTdaten> c = datedCandidate(*day, yearless, exact ? std::string_view() : text);
  if (!c) {
    out.skip(SkipReason::Unstorable);
    return;
  }
  if (exact) c->record.setText(*exactText);
  if (uid) setUid(c->record, *uid);
  // The field a birthday calendar made the event from says more than a category.
  setKind(c->record, fieldKind ? fieldKind : categoryKind);
  int leadDays = 0;
  for (icalcomponent* alarm = icalcomponent_get_first_component(event, ICAL_VALARM_COMPONENT);
       alarm; alarm = icalcomponent_get_next_component(event, ICAL_VALARM_COMPONENT)) {
    leadDays = std::max(leadDays, alarmLeadDays(alarm).value_or(0));
  }
  setLeadDays(c->record, static_cast<std::uint8_t>(leadDays));
  c->record.autoDelete = once ? 1 : 0;
  c->record.isProtected = isProtected ? 1 : 0;
  c->record.highPriority = highPriority ? 1 : 0;
  if (jubilee) c->record.computeJubilee = *jubilee ? 1 : 0;
  out.candidates.push_back(std::move(*c));
}

// What a VEVENT's line is to this reader.
enum class Wanted { No, Start, Rule, Summary, Mark };

// The name of a content line: what stands before the first ';' or ':'.
std::string_view propertyName(std::string_view line) {
  return trimmed(line.substr(0, line.find_first_of(";:")));
}

Wanted wantedProperty(std::string_view name) {
  if (equalsIgnoreCase(name, "DTSTART")) return Wanted::Start;
  if (equalsIgnoreCase(name, "RRULE")) return Wanted::Rule;
  if (equalsIgnoreCase(name, "SUMMARY")) return Wanted::Summary;
  if (equalsIgnoreCase(name, "UID") || equalsIgnoreCase(name, "CATEGORIES")) return Wanted::Mark;
  // Every X- property: a year-less mark may stand in its name (X-NEXTCLOUD-BC-UNKNOWN-YEAR)
  // or in a parameter that folding moved to a later line (X-SABRE-BDAY;...;X-SABRE-OMIT-YEAR).
  return startsWithIgnoreCase(name, "X-") ? Wanted::Mark : Wanted::No;
}

// Reads a calendar line by line, in one pass, and hands libical one VEVENT at a time with only
// the lines the event's reading looks at. libical reads a long physical line in quadratic
// time, frees nested components recursively and takes many times a whole calendar's size in
// memory; none of that reaches it this way. Lines end at LF, as for libical.
class CalendarScan {
 public:
  CalendarScan(DayNumber today, const LocalDateOf& localDate, ReadResult& out)
      : today_(today), localDate_(localDate), out_(out) {}

  // One physical line, its LF included. False once the file is refused.
  bool line(std::string_view physical) {
    if (physical.front() == ' ' || physical.front() == '\t') {
      continued(physical.substr(1));
      return true;
    }
    endKeptLine();
    const std::string_view t = trimmed(physical);
    if (startsWithIgnoreCase(t, "BEGIN:")) return begin(componentName(t.substr(6)));
    if (startsWithIgnoreCase(t, "END:")) {
      end(componentName(t.substr(4)));
      return true;
    }
    if (inAlarmBody()) {
      alarmLine(t, physical);
      return true;
    }
    if (!inEventBody()) return true;
    const Wanted wanted = wantedProperty(propertyName(t));
    if (wanted == Wanted::No) return true;
    // The event's reading takes the first start and the first title.
    if ((wanted == Wanted::Start && haveStart_) || (wanted == Wanted::Summary && haveSummary_)) {
      return true;
    }
    haveStart_ = haveStart_ || wanted == Wanted::Start;
    haveSummary_ = haveSummary_ || wanted == Wanted::Summary;
    // Rules and marks by the thousand are no calendar program's: what libical would make of
    // them in memory stays bounded.
    if (event_.size() >= kMaxEventBytes) {
      if (wanted == Wanted::Rule && !overlong_) overlong_ = SkipReason::NotYearly;
      if (wanted == Wanted::Rule || wanted == Wanted::Mark) return true;
    }
    kept_ = wanted;
    keptStart_ = event_.size();
    append(withoutLineEnd(physical));
    return true;
  }

  // The end of the file: an event still open has lost its end.
  void finish() {
    endKeptLine();
    if (eventOpen()) out_.skip(SkipReason::Incomplete);
  }

 private:
  enum class Kind { Calendar, Event, Alarm, Other };
  struct Open {
    Kind kind;
    std::string name;
  };

  static std::string_view withoutLineEnd(std::string_view s) {
    if (s.ends_with('\n')) s.remove_suffix(1);
    if (s.ends_with('\r')) s.remove_suffix(1);
    return s;
  }

  // A component's name, bounded: it is only compared with those of BEGIN and END lines.
  static std::string componentName(std::string_view s) {
    return std::string(trimmed(s).substr(0, 80));
  }

  bool eventOpen() const { return open_.size() >= 2 && open_[1].kind == Kind::Event; }
  bool inEventBody() const { return eventOpen() && open_.size() == 2; }
  bool inAlarmBody() const { return alarmOpen_ && open_.size() == 3; }

  // An alarm's trigger and action, the first of each, while the event has room.
  void alarmLine(std::string_view t, std::string_view physical) {
    const std::string_view name = propertyName(t);
    bool* have = equalsIgnoreCase(name, "TRIGGER")  ? &haveTrigger_
                 : equalsIgnoreCase(name, "ACTION") ? &haveAction_
                                                    : nullptr;
    if (!have || *have || event_.size() >= kMaxEventBytes) return;
    *have = true;
    kept_ = Wanted::Mark;
    keptStart_ = event_.size();
    append(withoutLineEnd(physical));
  }

  bool begin(std::string name) {
    if (equalsIgnoreCase(name, "VCALENDAR")) {
      // A calendar that another one interrupts has lost its end, and so has its open event.
      if (eventOpen()) out_.skip(SkipReason::Incomplete);
      open_.assign(1, Open{Kind::Calendar, std::move(name)});
      alarmOpen_ = false;
      return true;
    }
    if (equalsIgnoreCase(name, "VALARM") && inEventBody() && event_.size() < kMaxEventBytes) {
      // The alarm's lines go to libical with the event: they give its lead time.
      open_.push_back(Open{Kind::Alarm, std::move(name)});
      event_.append("BEGIN:VALARM\n");
      alarmOpen_ = true;
      haveTrigger_ = false;
      haveAction_ = false;
      return true;
    }
    if (equalsIgnoreCase(name, "VEVENT")) {
      if (inEventBody()) {
        // An event cannot hold another one: the open one was cut off.
        out_.skip(SkipReason::Incomplete);
        startEvent();
        return true;
      }
      if (open_.size() == 1 && open_[0].kind == Kind::Calendar) {
        open_.push_back(Open{Kind::Event, std::move(name)});
        startEvent();
        return true;
      }
    }
    open_.push_back(Open{Kind::Other, std::move(name)});
    if (open_.size() > kIcalendarMaxNesting) {
      out_.ok = false;
      out_.refusal = kIcalendarTooDeep;
      return false;
    }
    return true;
  }

  // Closes the innermost open component of that name, and with it all inside it; an END that
  // names no open component is ignored.
  void end(const std::string& name) {
    std::size_t i = open_.size();
    while (i > 0 && !equalsIgnoreCase(open_[i - 1].name, name)) --i;
    if (i == 0) return;
    const std::size_t closed = i - 1;
    if (alarmOpen_ && closed <= 2) {
      event_.append("END:VALARM\n");
      alarmOpen_ = false;
    }
    if (eventOpen() && closed <= 1) {
      if (closed == 1) {
        readCollectedEvent();
      } else {
        out_.skip(SkipReason::Incomplete);
      }
    }
    open_.resize(closed);
  }

  void startEvent() {
    event_.assign("BEGIN:VEVENT\n");
    alarmOpen_ = false;
    overlong_.reset();
    haveStart_ = false;
    haveSummary_ = false;
  }

  void continued(std::string_view piece) {
    if (kept_ == Wanted::No) return;
    append(withoutLineEnd(piece));
  }

  // Appends to the kept line within its bound. A title goes on only up to the bound (it is
  // cut to 200 bytes anyway); any other line that long is no date, rule or mark this reader
  // knows, and the event is left out rather than read from a cut line.
  void append(std::string_view piece) {
    const std::size_t room = kMaxKeptLine - std::min(kMaxKeptLine, event_.size() - keptStart_);
    if (piece.size() <= room) {
      event_.append(piece);
      return;
    }
    if (kept_ == Wanted::Summary) {
      std::size_t cut = room;
      // Not inside a UTF-8 character.
      while (cut > 0 && (static_cast<unsigned char>(piece[cut]) & 0xC0) == 0x80) --cut;
      event_.append(piece.substr(0, cut));
      std::size_t backslashes = 0;
      while (backslashes < event_.size() - keptStart_ &&
             event_[event_.size() - 1 - backslashes] == '\\') {
        ++backslashes;
      }
      // Not inside an escape.
      if (backslashes % 2 == 1) event_.pop_back();
      endKeptLine();
      return;
    }
    if (kept_ == Wanted::Start && !overlong_) overlong_ = SkipReason::BadDate;
    if (kept_ == Wanted::Rule && !overlong_) overlong_ = SkipReason::NotYearly;
    event_.resize(keptStart_);
    kept_ = Wanted::No;
  }

  void endKeptLine() {
    if (kept_ == Wanted::No) return;
    // libical's parser takes a C string.
    for (std::size_t i = keptStart_; i < event_.size(); ++i) {
      if (event_[i] == '\0') event_[i] = ' ';
    }
    event_ += '\n';
    kept_ = Wanted::No;
  }

  void readCollectedEvent() {
    endKeptLine();
    if (overlong_) {
      out_.skip(*overlong_);
      return;
    }
    event_.append("END:VEVENT\n");
    const ComponentPtr parsed(icalparser_parse_string(event_.c_str()));
    if (parsed && icalcomponent_isa(parsed.get()) == ICAL_VEVENT_COMPONENT) {
      readEvent(parsed.get(), today_, localDate_, out_);
    } else {
      out_.skip(SkipReason::NoDate);
    }
  }

  static constexpr std::size_t kMaxKeptLine = 4096;
  static constexpr std::size_t kMaxEventBytes = 65536;

  DayNumber today_;
  const LocalDateOf& localDate_;
  ReadResult& out_;
  std::vector<Open> open_;  // the components the current line stands in, outermost first
  std::string event_;       // the open event's kept lines, unfolded
  Wanted kept_ = Wanted::No;
  std::size_t keptStart_ = 0;
  std::optional<SkipReason> overlong_;
  bool haveStart_ = false;
  bool haveSummary_ = false;
  bool alarmOpen_ = false;  // the open event's direct VALARM, begun in event_
  bool haveTrigger_ = false;
  bool haveAction_ = false;
};

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
  // A malformed line must end in a skipped event, never in abort().
  icalerror_set_errors_are_fatal(0);
  CalendarScan scan(today, localDate, result);
  std::string_view text = withoutUtf8Bom(bytes);
  // One allocation for every candidate: a growing list would for a moment be there twice.
  std::size_t events = 0;
  for (std::size_t at = text.find("BEGIN:VEVENT"); at != std::string_view::npos;
       at = text.find("BEGIN:VEVENT", at + 1)) {
    ++events;
  }
  // No yearly event takes fewer bytes than this: a file of bare BEGIN lines reserves no more.
  constexpr std::size_t kSmallestEvent = 64;
  result.candidates.reserve(std::min(events, text.size() / kSmallestEvent));
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line =
        text.substr(0, end == std::string_view::npos ? text.size() : end + 1);
    text.remove_prefix(line.size());
    if (!scan.line(line)) {
      result.candidates.clear();
      return result;
    }
  }
  scan.finish();
  return result;
}

}  // namespace tavik
