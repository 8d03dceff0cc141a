#include "exchange/icalendar_writer.h"

#include <gtest/gtest.h>
#include <libical/ical.h>

#include <memory>
#include <string>
#include <vector>

#include "exchange/icalendar_reader.h"
#include "store/day_number.h"

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

}  // namespace
}  // namespace tavik
