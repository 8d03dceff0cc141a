#include "exchange/icalendar_writer.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "exchange/icalendar_reader.h"
#include "store/day_number.h"
#include "store/event_kind.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

constexpr std::int64_t kStamp = 1'796'900'000;  // 2026-12-10, some time in the day

EventRecord event(int y, int m, int d, std::string_view text, bool withoutYear = false) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(y, m, d));
  r.setText(text);
  r.withoutYear = withoutYear ? 1 : 0;
  r.computeJubilee = withoutYear ? 0 : 1;
  return r;
}

std::vector<std::string> linesOf(const std::string& file) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < file.size()) {
    const std::size_t end = file.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
    if (end == std::string::npos) break;
    lines.push_back(file.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

struct ComponentFree {
  void operator()(icalcomponent* c) const { icalcomponent_free(c); }
};

TEST(IcalendarWriter, OneEventAsCalendarsExpectIt) {
  const EventRecord feier = event(1975, 12, 24,
                                  "Feier; mit, Komma \\ und M\xFC"
                                  "de");
  const std::string file = icalendarFile(std::span(&feier, 1), kStamp);
  const std::vector<std::string> want = {
      "BEGIN:VCALENDAR",
      "VERSION:2.0",
      "PRODID:-//HOLVENTARIS//Tavik! 4.5//DE",
      "BEGIN:VEVENT",
      "UID:" + icalendarUid(feier),
      "DTSTAMP:",  // checked below
      "DTSTART;VALUE=DATE:19751224",
      "DTEND;VALUE=DATE:19751225",
      "RRULE:FREQ=YEARLY",
      "TRANSP:TRANSPARENT",
      "SUMMARY:Feier\\; mit\\, Komma \\\\ und M\xC3\xBC"
      "de",
      "END:VEVENT",
      "END:VCALENDAR",
  };
  std::vector<std::string> lines = linesOf(file);
  ASSERT_EQ(lines.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (want[i].starts_with("DTSTAMP:")) {
      EXPECT_EQ(lines[i], "DTSTAMP:20261210T105320Z");  // 1796900000 s after 1970 UTC
      continue;
    }
    EXPECT_EQ(lines[i], want[i]);
  }
  EXPECT_TRUE(icalendarUid(feier).ends_with("@tavik"));
}

TEST(IcalendarWriter, LeapDaysYearlessAndUids) {
  const std::vector<EventRecord> records = {
      event(1980, 2, 29, "Schalttag"), event(2000, 2, 29, "Ohne Jahr", true),
      event(9996, 5, 1, "Jedes Jahr"), event(1604, 5, 3, "Othello"),
      event(9999, 12, 31, "Ende"),     event(1975, 12, 24, "Feier"),
      event(1975, 12, 24, "Feier"),
  };
  const std::string file = icalendarFile(records, kStamp);
  const std::unique_ptr<icalcomponent, ComponentFree> cal(icalparser_parse_string(file.c_str()));
  ASSERT_TRUE(cal);
  ASSERT_EQ(icalcomponent_isa(cal.get()), ICAL_VCALENDAR_COMPONENT);
  // libical finds nothing to complain about.
  EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);

  struct Seen {
    std::string uid, start, rule;
    bool yearlessMark;
  };
  std::vector<Seen> seen;
  for (icalcomponent* e = icalcomponent_get_first_component(cal.get(), ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(cal.get(), ICAL_VEVENT_COMPONENT)) {
    const icaltimetype t = icalcomponent_get_dtstart(e);
    EXPECT_TRUE(t.is_date);
    char* start = icaltime_as_ical_string_r(t);
    icalproperty* rrule = icalcomponent_get_first_property(e, ICAL_RRULE_PROPERTY);
    char* rule = icalproperty_get_value_as_string_r(rrule);
    bool mark = false;
    for (icalproperty* x = icalcomponent_get_first_property(e, ICAL_X_PROPERTY); x;
         x = icalcomponent_get_next_property(e, ICAL_X_PROPERTY)) {
      mark = mark || (std::string(icalproperty_get_x_name(x)) == "X-TAVIK-YEARLESS" &&
                      std::string(icalproperty_get_x(x)) == "1");
    }
    seen.push_back({icalcomponent_get_uid(e), start, rule, mark});
    icalmemory_free_buffer(start);
    icalmemory_free_buffer(rule);
  }
  ASSERT_EQ(seen.size(), records.size());
  EXPECT_EQ(seen[0].start, "19800229");
  EXPECT_EQ(seen[0].rule, "FREQ=YEARLY;BYMONTHDAY=-1;BYMONTH=2");  // libical's order
  EXPECT_NE(file.find("\r\nRRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1\r\n"), std::string::npos);
  EXPECT_EQ(seen[1].start, "19720229");
  EXPECT_TRUE(seen[1].yearlessMark);
  EXPECT_EQ(seen[2].start, "19720501");
  EXPECT_TRUE(seen[2].yearlessMark);
  EXPECT_EQ(seen[3].start, "16040503");
  EXPECT_FALSE(seen[3].yearlessMark);
  EXPECT_EQ(seen[4].start, "99991231");
  EXPECT_EQ(seen[5].rule, "FREQ=YEARLY");
  EXPECT_FALSE(seen[5].yearlessMark);
  // The same event twice gets two UIDs; UIDs do not change between exports.
  EXPECT_NE(seen[5].uid, seen[6].uid);
  EXPECT_EQ(seen[5].uid, icalendarUid(records[5]));
  EXPECT_EQ(icalendarFile(records, kStamp), file);
  EXPECT_NE(icalendarUid(records[0]), icalendarUid(event(1980, 2, 29, "Schalttag!")));
}

TEST(IcalendarWriter, FoldsAt75OctetsWithoutSplittingCharacters) {
  for (const std::size_t length : {74u, 75u, 76u, 150u, 151u, 400u}) {
    for (const std::string_view ch : {"a", "\xC3\xBC", "\xE2\x82\xAC"}) {
      std::string line = "SUMMARY:";
      while (line.size() < length) line += ch;
      std::string out;
      appendFoldedLine(out, line);
      std::string unfolded;
      bool first = true;
      for (const std::string& l : linesOf(out)) {
        EXPECT_LE(l.size(), 75u);
        if (!first) {
          ASSERT_EQ(l.front(), ' ');
          EXPECT_NE(static_cast<unsigned char>(l[1]) & 0xC0, 0x80) << "split character";
        }
        unfolded += first ? l : l.substr(1);
        first = false;
      }
      EXPECT_EQ(unfolded, line);
    }
  }
}

TEST(IcalendarWriter, RoundTripThroughTheReader) {
  std::vector<EventRecord> records = {
      event(1975, 12, 24, "Feier"),
      event(1980, 2, 29, "Schalttag"),
      event(2000, 2, 29, "Ohne Jahr am Schalttag", true),
      event(2000, 7, 1, "Ohne Jahr", true),
      event(1604, 5, 3, "Othello"),
      event(2001, 3, 1, "M\xE4rz, \x80 und \x84Zitat\x93; Semikolon \\ " + std::string(150, 'z')),
  };
  const std::string file = icalendarFile(records, kStamp);
  const ReadResult back = readIcalendar(file, *makeDayNumber(2026, 12, 10), systemLocalDate);
  ASSERT_EQ(back.candidates.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const EventRecord& got = back.candidates[i].record;
    EXPECT_EQ(got.text(), records[i].text());
    EXPECT_EQ(got.withoutYear, records[i].withoutYear);
    EXPECT_EQ(got.date, records[i].date);
  }
}

// An event that deletes itself is an appointment: one all-day event on its day, which a
// calendar must not repeat, and which comes back with its switch set and the same day. The
// export is made on 10 December 2026.
TEST(IcalendarWriter, AutoDeletedEventsAreSingleEvents) {
  struct Case {
    const char* name;
    EventRecord record;
    const char* start;  // the DTSTART date
    bool yearly;        // carries an RRULE
    Ymd back;           // the date read back
  };
  const auto once = [](EventRecord r) {
    r.autoDelete = 1;
    return r;
  };
  const Case cases[] = {
      {"appointment",
       once(event(2026, 12, 14, "Zahnarzttermin")),
       "20261214",
       false,
       {2026, 12, 14}},
      {"yearly birthday", event(1975, 4, 14, "Geburtstag"), "19750414", true, {1975, 4, 14}},
      {"without year, stored in 2000",
       once(event(2000, 12, 20, "Abholen", true)),
       "20001220",
       false,
       {2000, 12, 20}},
      {"the every-year year: this year's day",
       once(event(9996, 12, 20, "Feier")),
       "20261220",
       false,
       {2026, 12, 20}},
      {"the every-year year on 29 February",
       once(event(9996, 2, 29, "Schalttag")),
       "20260228",
       false,
       {2026, 2, 28}},
      {"a real 1604", once(event(1604, 5, 3, "Othello")), "16040503", false, {1604, 5, 3}},
      {"the last day there is",
       once(event(9999, 12, 31, "Ende")),
       "99991231",
       false,
       {9999, 12, 31}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = icalendarFile(std::span(&c.record, 1), kStamp);
    const std::vector<std::string> lines = linesOf(file);
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("DTSTART;VALUE=DATE:") + c.start),
              lines.end());
    const bool ruled = std::any_of(lines.begin(), lines.end(),
                                   [](const std::string& l) { return l.starts_with("RRULE"); });
    EXPECT_EQ(ruled, c.yearly);

    const ReadResult back = readIcalendar(file, *makeDayNumber(2026, 12, 10), systemLocalDate);
    ASSERT_EQ(back.candidates.size(), 1u);
    const EventRecord& got = back.candidates[0].record;
    EXPECT_EQ(got.text(), c.record.text());
    EXPECT_EQ(got.autoDelete, c.record.autoDelete);
    EXPECT_EQ(isSet(got.withoutYear), hasNoYear(c.record, splitRecordDate(c.record.date).year));
    EXPECT_EQ(splitRecordDate(got.date), c.back);
  }
}

// Texts the table can hold that the title alone does not carry.
const std::vector<std::string>& awkwardTexts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t = {
        "",
        " ",
        std::string(200, ' '),
        "\t",
        std::string("\0", 1),
        std::string("a\0b", 3),
        "\r\n",
        "\r",
        "\n",
        "\x1b[31mrot\x1b[0m",
        " vorn und hinten ",
        "\tTab",
        "Zeile 1\r\nEND:VEVENT\r\nBEGIN:VEVENT\r\nZeile 2",
        "\x01\x02\x7f",
        "\x81\x8D\x8F\x90\x9D",
        "-",
        "%41",
        "Feier",
        "M\xE4rz; Komma, \\ und \\n",
    };
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    t.push_back(all.substr(0, 200));
    t.push_back(all.substr(200));
    return t;
  }();
  return texts;
}

// Exported and read back through the reader of the Import page, 1000 events a file as the
// table holds at most.
std::vector<OTdaten> roundTrip(const std::vector<EventRecord>& records) {
  std::vector<OTdaten> back;
  for (std::size_t from = 0; from < records.size(); from += 1000) {
    const std::span<const EventRecord> part =
        std::span(records).subspan(from, std::min<std::size_t>(1000, records.size() - from));
    const ReadResult r =
        readIcalendar(icalendarFile(part, kStamp), *makeDayNumber(2026, 12, 10), systemLocalDate);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.skipped, (std::array<int, kSkipReasonCount>{}));
    back.insert(back.end(), r.candidates.begin(), r.candidates.end());
  }
  return back;
}

TEST(IcalendarWriter, EveryStorableEventReadsBackTheSame) {
  std::vector<EventRecord> records;
  const std::vector<std::string>& texts = awkwardTexts();
  std::size_t n = 0;
  const auto add = [&](int y, int m, int d, std::uint8_t withoutYear) {
    const auto day = makeDayNumber(y, m, d);
    if (!day || day->value == 0) return;
    EventRecord r;
    r.date = toDouble(*day);
    r.setText(texts[n++ % texts.size()]);
    r.withoutYear = withoutYear;
    r.computeJubilee = withoutYear ? 0 : 1;
    records.push_back(r);
  };
  // The edges of every year, each with and without the year switch, and every day of a leap
  // year and of a common year.
  for (int y = 1; y <= 9999; ++y) {
    for (const auto& [m, d] : {std::pair{1, 1}, {2, 28}, {2, 29}, {3, 1}, {12, 31}}) {
      add(y, m, d, 0);
      if (y % 97 == 0) add(y, m, d, 1);
    }
  }
  for (int day = 0; day < 366; ++day) {
    const Ymd leap = *splitDayNumber(*makeDayNumber(2024, 1, 1) + day);
    const Ymd common = *splitDayNumber(*makeDayNumber(9999, 1, 1) + day);
    add(leap.year, leap.month, leap.day, static_cast<std::uint8_t>(day % 3));
    if (common.year == 9999) add(common.year, common.month, common.day, 0);
  }
  add(9999, 12, 31, 0);
  add(9999, 12, 31, 1);
  add(9996, 2, 29, 0);  // the stored year-less year
  add(1604, 2, 29, 0);
  add(1899, 12, 31, 0);
  for (const std::string& text : texts) {
    EventRecord r = records.front();
    r.setText(text);
    records.push_back(r);
  }

  const std::vector<OTdaten> back = roundTrip(records);
  ASSERT_EQ(back.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    const EventRecord& want = records[i];
    const EventRecord& got = back[i].record;
    const Ymd w = splitRecordDate(want.date);
    const Ymd g = splitRecordDate(got.date);
    const bool yearless = isSet(want.withoutYear) || w.year == yearlessMarkerYear;
    SCOPED_TRACE(testing::Message() << i << ": " << w.year << '-' << w.month << '-' << w.day
                                    << " yearless " << yearless);
    ASSERT_EQ(got.text(), want.text());
    ASSERT_EQ(isSet(got.withoutYear), yearless);
    ASSERT_EQ(g.month, w.month);
    ASSERT_EQ(g.day, w.day);
    if (!yearless) {
      ASSERT_EQ(g.year, w.year);
    }
  }
}

TEST(IcalendarWriter, ControlCharactersCannotBreakTheFile) {
  std::vector<EventRecord> records;
  for (const std::string& text : awkwardTexts()) records.push_back(event(1975, 12, 24, text));
  const std::string file = icalendarFile(records, kStamp);
  int events = 0;
  for (const std::string& line : linesOf(file)) {
    for (const char c : line) {
      EXPECT_TRUE((static_cast<unsigned char>(c) >= 0x20 && c != '\x7f') || c == '\t')
          << "control character " << int(c) << " in: " << line;
    }
    events += line == "BEGIN:VEVENT" ? 1 : 0;
  }
  EXPECT_EQ(events, static_cast<int>(records.size()));
  const std::unique_ptr<icalcomponent, ComponentFree> cal(icalparser_parse_string(file.c_str()));
  ASSERT_TRUE(cal);
  EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);
  EXPECT_EQ(icalcomponent_count_components(cal.get(), ICAL_VEVENT_COMPONENT),
            static_cast<int>(records.size()));
}

TEST(IcalendarWriter, ExactTextYieldsToATitleChangedElsewhere) {
  const EventRecord blanks = event(1975, 12, 24, " Feier ");
  std::string file = icalendarFile(std::span(&blanks, 1), kStamp);
  ASSERT_NE(file.find("\r\nSUMMARY: Feier \r\nX-TAVIK-TEXT:%20Feier%20\r\n"), std::string::npos);
  const auto text = [](const std::string& f) {
    const ReadResult r = readIcalendar(f, *makeDayNumber(2026, 12, 10), systemLocalDate);
    return r.candidates.empty() ? std::string("(none)") : r.candidates[0].record.text();
  };
  EXPECT_EQ(text(file), " Feier ");
  file.replace(file.find("SUMMARY: Feier "), 15, "SUMMARY:Party");
  EXPECT_EQ(text(file), "Party");
  for (const std::string_view bad : {"%2", "%G0", "a b", "%20%"}) {
    EXPECT_FALSE(icalendarExactTextValue(bad)) << bad;
  }
  EXPECT_FALSE(icalendarExactTextValue(std::string(201, 'a')));
  EXPECT_EQ(icalendarExactTextValue(std::string(200, 'a')), std::string(200, 'a'));
}

TEST(IcalendarWriter, UnicodeTextsAndIdentitiesTravelWhole) {
  const std::vector<std::string> texts = {
      "Geburtstag Ay\xC5\x9F"
      "e Y\xC4\xB1lmaz",
      "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9",
      "\xE5\xBC\xA0\xE4\xBC\x9F\xF0\x9F\x8E\x82", "Feier, M\xC3\xA4rz; \\ Ende"};
  EventTable table;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EventRecord r =
        event(i == 1 ? 2000 : 1970 + static_cast<int>(i), 3, 1 + static_cast<int>(i), "", i == 1);
    ASSERT_EQ(setEventText(r, texts[i]), TextStore::Stored);
    table.placeRecord(static_cast<int>(i) + 1, r);
  }
  // The last one never had a block: the export gives it its identity first.
  table.placeRecord(5, event(1990, 7, 7, "Alt"));
  ASSERT_EQ(reservedUse(table.record(5)), ReservedUse::None);
  std::vector<EventRecord> records;
  for (int slot = 1; slot <= 5; ++slot) {
    ASSERT_TRUE(table.ensureIdentity(slot).has_value());
    records.push_back(table.record(slot));
  }
  const std::string file = icalendarFile(records, kStamp);

  // libical reads the full texts and our UIDs.
  const std::unique_ptr<icalcomponent, ComponentFree> cal(icalparser_parse_string(file.c_str()));
  ASSERT_TRUE(cal);
  EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);
  std::size_t i = 0;
  for (icalcomponent* e = icalcomponent_get_first_component(cal.get(), ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(cal.get(), ICAL_VEVENT_COMPONENT), ++i) {
    ASSERT_LT(i, records.size());
    EXPECT_EQ(std::string(icalcomponent_get_summary(e)), eventText(records[i]));
    EXPECT_EQ(std::string(icalcomponent_get_uid(e)),
              uidText(readExtension(records[i])->uid) + "@tavik");
  }
  EXPECT_EQ(i, records.size());

  // Read back: the same texts, dates, switches and identities.
  const ReadResult back = readIcalendar(file, *makeDayNumber(2026, 1, 1), systemLocalDate);
  ASSERT_EQ(back.candidates.size(), records.size());
  for (std::size_t k = 0; k < records.size(); ++k) {
    SCOPED_TRACE(k);
    const EventRecord& got = back.candidates[k].record;
    EXPECT_EQ(eventText(got), eventText(records[k]));
    EXPECT_EQ(got.text(), records[k].text());
    EXPECT_EQ(got.date, records[k].date);
    EXPECT_EQ(got.withoutYear, records[k].withoutYear);
    EXPECT_EQ(got.computeJubilee, records[k].computeJubilee);
    EXPECT_EQ(readExtension(got)->uid, readExtension(records[k])->uid);
  }

  // A text changed since keeps its UID in the next export.
  EventRecord changed = table.record(2);
  ASSERT_EQ(setEventText(changed, "\xD0\x94\xD0\xB8\xD0\xBC\xD0\xB0"), TextStore::Stored);
  table.placeRecord(2, changed);
  const std::string again = icalendarFile(std::vector<EventRecord>{table.record(2)}, kStamp);
  EXPECT_NE(again.find("UID:" + uidText(readExtension(records[1])->uid) + "@tavik\r\n"),
            std::string::npos);
  EXPECT_NE(again.find("SUMMARY:\xD0\x94\xD0\xB8\xD0\xBC\xD0\xB0\r\n"), std::string::npos);
  // Another program's reserved bytes: no identity, the UID of date and text as before.
  EventRecord foreign = event(1990, 7, 7, "Alt");
  foreign.reserved[100] = 0x55;
  EXPECT_EQ(icalendarUid(foreign).size(), 16 + 6u);
}

// `r` with a block holding `kind` and `leadDays`.
EventRecord withKind(EventRecord r, std::uint8_t kind, std::uint8_t leadDays) {
  EXPECT_TRUE(giveExtension(r));
  setKind(r, kind);
  setLeadDays(r, leadDays);
  return r;
}

// The lines of the file's only event, from BEGIN:VEVENT to END:VEVENT.
std::vector<std::string> eventLines(const std::string& file) {
  std::vector<std::string> lines = linesOf(file);
  const auto begin = std::find(lines.begin(), lines.end(), "BEGIN:VEVENT");
  const auto end = std::find(lines.begin(), lines.end(), "END:VEVENT");
  if (begin == lines.end() || end == lines.end()) return {};
  return std::vector<std::string>(begin, end + 1);
}

// A kind is its German name in CATEGORIES, a lead time an alarm the days before; neither
// without a block, for an unknown kind or a lead time of 0.
TEST(IcalendarWriter, KindsAndLeadTimesAsCategoriesAndAlarms) {
  const EventRecord feier = event(1975, 12, 24, "Feier; mit, Komma");
  EventRecord foreign = feier;
  foreign.reserved[0] = 0x5A;
  foreign.reserved[20] = kKindBirthday;
  foreign.reserved[21] = 7;
  struct Case {
    const char* name;
    EventRecord record;
    std::vector<std::string> want;  // the lines between TRANSP and END:VEVENT
  } const cases[] = {
      {"none", withKind(feier, kKindNone, 0), {"SUMMARY:Feier\\; mit\\, Komma"}},
      {"a kind",
       withKind(feier, kKindWedding, 0),
       {"SUMMARY:Feier\\; mit\\, Komma", "CATEGORIES:Hochzeitstag"}},
      {"a lead time, its text escaped as the title",
       withKind(feier, kKindNone, 7),
       {"SUMMARY:Feier\\; mit\\, Komma", "BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-P7D",
        "DESCRIPTION:Feier\\; mit\\, Komma", "END:VALARM"}},
      {"both",
       withKind(feier, kKindAppointment, 99),
       {"SUMMARY:Feier\\; mit\\, Komma", "CATEGORIES:Termin", "BEGIN:VALARM", "ACTION:DISPLAY",
        "TRIGGER:-P99D", "DESCRIPTION:Feier\\; mit\\, Komma", "END:VALARM"}},
      {"a kind this program does not know",
       withKind(feier, 7, 0),
       {"SUMMARY:Feier\\; mit\\, Komma"}},
      {"another program's bytes", foreign, {"SUMMARY:Feier\\; mit\\, Komma"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::string> lines =
        eventLines(icalendarFile(std::span(&c.record, 1), kStamp));
    const auto transp = std::find(lines.begin(), lines.end(), "TRANSP:TRANSPARENT");
    ASSERT_NE(transp, lines.end());
    EXPECT_EQ(std::vector<std::string>(transp + 1, lines.end() - 1), c.want);
  }
}

// Every kind and lead time comes back through our reader; libical takes the alarms as valid.
TEST(IcalendarWriter, KindsAndLeadTimesRoundTrip) {
  std::vector<EventRecord> records;
  for (std::uint8_t kind = 0; kind <= kMostKind; ++kind) {
    for (const std::uint8_t lead : {0, 1, 7, 99}) {
      records.push_back(withKind(event(1980 + kind, 2, 29 - kind, "Anna"), kind, lead));
    }
  }
  const std::string file = icalendarFile(records, kStamp);
  const std::unique_ptr<icalcomponent, ComponentFree> cal(icalparser_parse_string(file.c_str()));
  ASSERT_TRUE(cal);
  EXPECT_EQ(icalcomponent_count_errors(cal.get()), 0);
  const ReadResult back = readIcalendar(file, *makeDayNumber(2026, 12, 10), systemLocalDate);
  ASSERT_EQ(back.candidates.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    const auto want = readExtension(records[i]);
    const auto got = readExtension(back.candidates[i].record);
    SCOPED_TRACE(testing::Message()
                 << "kind " << int(want->kind) << ", lead " << int(want->leadDays));
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->kind, want->kind);
    EXPECT_EQ(got->leadDays, want->leadDays);
    EXPECT_EQ(got->uid, want->uid);
    EXPECT_EQ(back.candidates[i].record.text(), "Anna");
  }
}

// The switches calendars have no word for come back in every combination, with and without a
// year, so that another copy of the program (or a calendar sync) keeps them.
TEST(IcalendarWriter, SwitchesRoundTrip) {
  std::vector<EventRecord> records;
  for (int bits = 0; bits < 16; ++bits) {
    EventRecord r = withKind(event(1970 + bits, 3, 1 + bits, "Anna"), kKindBirthday, 0);
    r.isProtected = bits & 1;
    r.highPriority = (bits >> 1) & 1;
    r.computeJubilee = (bits >> 2) & 1;
    r.withoutYear = (bits >> 3) & 1;
    records.push_back(r);
  }
  const std::string file = icalendarFile(records, kStamp);
  const ReadResult back = readIcalendar(file, *makeDayNumber(2026, 12, 10), systemLocalDate);
  ASSERT_EQ(back.candidates.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const EventRecord& got = back.candidates[i].record;
    EXPECT_EQ(got.isProtected, records[i].isProtected);
    EXPECT_EQ(got.highPriority, records[i].highPriority);
    EXPECT_EQ(got.computeJubilee, records[i].computeJubilee);
    EXPECT_EQ(got.withoutYear, records[i].withoutYear);
  }
  // Only what differs from a reader's assumption is written.
  EXPECT_EQ(icalendarFile(std::span(&records[4], 1), kStamp).find("X-TAVIK-JUBILEE"),
            std::string::npos);
  EXPECT_NE(icalendarFile(std::span(&records[0], 1), kStamp).find("X-TAVIK-JUBILEE:0\r\n"),
            std::string::npos);
}

// One record's calendar, as a calendar server keeps it: the same event as in a whole export,
// with the record's own UID even where an export of copies numbers them.
TEST(IcalendarWriter, OneEventsCalendar) {
  const EventRecord anna = withKind(event(1980, 5, 17, "Anna"), kKindBirthday, 3);
  EXPECT_EQ(icalendarEventFile(anna, kStamp), icalendarFile(std::span(&anna, 1), kStamp));
  const std::vector<EventRecord> twice = {anna, anna};
  const std::string both = icalendarFile(twice, kStamp);
  const std::string uid = icalendarUid(anna);
  EXPECT_NE(both.find("UID:" + uid.substr(0, uid.find('@')) + "-2@tavik\r\n"), std::string::npos);
  EXPECT_NE(icalendarEventFile(anna, kStamp).find("UID:" + uid + "\r\n"), std::string::npos);

  const ReadResult back = readIcalendar(icalendarEventFile(anna, kStamp),
                                        *makeDayNumber(2026, 12, 10), systemLocalDate);
  ASSERT_EQ(back.candidates.size(), 1u);
  EXPECT_EQ(back.candidates[0].record, anna);

  EventRecord broken = anna;
  broken.date = 1e300;
  EXPECT_EQ(icalendarEventFile(broken, kStamp), "");
}

}  // namespace
}  // namespace tavik
