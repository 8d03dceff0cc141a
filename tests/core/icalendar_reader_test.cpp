#include "exchange/icalendar_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/import_reader.h"
#include "store/event_kind.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

const DayNumber kToday = *makeDayNumber(2026, 12, 10);

// A zone one hour east of UTC, as Central Europe in winter.
std::optional<Ymd> plusOneHour(std::int64_t unixSeconds) {
  const std::int64_t days = (unixSeconds + 3600) / 86400;
  return splitDayNumber(*makeDayNumber(1970, 1, 1) + static_cast<int>(days));
}

std::string event(std::initializer_list<std::string_view> lines) {
  std::string out = "BEGIN:VEVENT\r\nUID:x\r\n";
  for (const std::string_view l : lines) out.append(l).append("\r\n");
  return out + "END:VEVENT\r\n";
}

std::string calendar(const std::string& events) {
  return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + events + "END:VCALENDAR\r\n";
}

ReadResult read(const std::string& events) {
  return readIcalendar(calendar(events), kToday, plusOneHour);
}

struct Want {
  Ymd date;
  std::uint8_t withoutYear = 0;
};

TEST(IcalendarReader, YearlyRulesAndLeapDayForms) {
  struct Case {
    const char* name;
    std::string start;
    std::string rule;
    std::optional<Want> want;  // nullopt: skipped as not yearly
  } const cases[] = {
      {"plain yearly", "DTSTART;VALUE=DATE:19750415", "RRULE:FREQ=YEARLY", Want{{1975, 4, 15}}},
      {"INTERVAL=1 and the start's day named", "DTSTART;VALUE=DATE:19750415",
       "RRULE:FREQ=YEARLY;INTERVAL=1;BYMONTH=4;BYMONTHDAY=15", Want{{1975, 4, 15}}},
      {"Nextcloud, KAlarm: BYMONTH=2;BYMONTHDAY=-1", "DTSTART;VALUE=DATE:19800229",
       "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1", Want{{1980, 2, 29}}},
      {"Evolution: BYMONTHDAY=-1", "DTSTART;VALUE=DATE:19800229",
       "RRULE:FREQ=YEARLY;INTERVAL=1;BYMONTHDAY=-1", Want{{1980, 2, 29}}},
      {"Akonadi, KAlarm: BYYEARDAY=60", "DTSTART;VALUE=DATE:19800229",
       "RRULE:FREQ=YEARLY;BYYEARDAY=60", Want{{1980, 2, 29}}},
      {"29 February, plain yearly", "DTSTART;VALUE=DATE:19800229", "RRULE:FREQ=YEARLY",
       Want{{1980, 2, 29}}},
      {"RSCALE=GREGORIAN;SKIP=BACKWARD", "DTSTART;VALUE=DATE:19800229",
       "RRULE:RSCALE=GREGORIAN;FREQ=YEARLY;SKIP=BACKWARD", Want{{1980, 2, 29}}},
      {"UNTIL ahead", "DTSTART;VALUE=DATE:19750415", "RRULE:FREQ=YEARLY;UNTIL=20300101",
       Want{{1975, 4, 15}}},
      {"last day of every month is no yearly day", "DTSTART;VALUE=DATE:19800131",
       "RRULE:FREQ=YEARLY;BYMONTHDAY=-1", std::nullopt},
      {"BYYEARDAY=60 from 1 March", "DTSTART;VALUE=DATE:19810301", "RRULE:FREQ=YEARLY;BYYEARDAY=60",
       std::nullopt},
      {"other month", "DTSTART;VALUE=DATE:19750415", "RRULE:FREQ=YEARLY;BYMONTH=5", std::nullopt},
      {"every second year", "DTSTART;VALUE=DATE:19750415", "RRULE:FREQ=YEARLY;INTERVAL=2",
       std::nullopt},
      {"a count", "DTSTART;VALUE=DATE:19750415", "RRULE:FREQ=YEARLY;COUNT=10", std::nullopt},
      {"UNTIL past", "DTSTART;VALUE=DATE:19750415", "RRULE:FREQ=YEARLY;UNTIL=20201231",
       std::nullopt},
      {"weekday rule", "DTSTART;VALUE=DATE:20251127", "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=4TH",
       std::nullopt},
      {"weekly", "DTSTART;VALUE=DATE:20260105", "RRULE:FREQ=WEEKLY", std::nullopt},
      {"no rule", "DTSTART;VALUE=DATE:20260105", "", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult r =
        read(event({c.start, c.rule.empty() ? "DESCRIPTION:-" : c.rule, "SUMMARY:Ereignis"}));
    if (!c.want) {
      EXPECT_TRUE(r.candidates.empty());
      EXPECT_EQ(r.skippedFor(SkipReason::NotYearly), 1);
      continue;
    }
    ASSERT_EQ(r.candidates.size(), 1u);
    const EventRecord& rec = r.candidates[0].record;
    EXPECT_EQ(splitRecordDate(rec.date), c.want->date);
    EXPECT_EQ(rec.withoutYear, 0);
    EXPECT_EQ(rec.computeJubilee, 1);
    EXPECT_EQ(rec.text(), "Ereignis");
  }
  // KAlarm's pair of rules: both yearly on the day.
  const ReadResult pair =
      read(event({"DTSTART;VALUE=DATE:19840229", "RRULE:FREQ=YEARLY",
                  "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=-1", "SUMMARY:Schalttag"}));
  EXPECT_EQ(pair.candidates.size(), 1u);
}

TEST(IcalendarReader, YearMarkersAndStartForms) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    Want want;
  } const cases[] = {
      {"1604 means no year", {"DTSTART;VALUE=DATE:16040620"}, {{2000, 6, 20}, 1}},
      {"Nextcloud: unknown year",
       {"DTSTART;VALUE=DATE:19720229", "X-NEXTCLOUD-BC-UNKNOWN-YEAR:1"},
       {{2000, 2, 29}, 1}},
      {"Nextcloud: the real year beside 1970",
       {"DTSTART;VALUE=DATE:19700415", "X-NEXTCLOUD-BC-UNKNOWN-YEAR:0", "X-NEXTCLOUD-BC-YEAR:1955"},
       {{1955, 4, 15}, 0}},
      {"Evolution: since year",
       {"DTSTART;VALUE=DATE:20260131", "X-EVOLUTION-SINCE-YEAR:1970"},
       {{1970, 1, 31}, 0}},
      {"our own year-less mark",
       {"DTSTART;VALUE=DATE:19721224", "X-TAVIK-YEARLESS:1"},
       {{2000, 12, 24}, 1}},
      {"our own mark keeps a real 1604",
       {"DTSTART;VALUE=DATE:16040503", "X-TAVIK-YEARLESS:0"},
       {{1604, 5, 3}, 0}},
      // sabre/vobject's birthday calendar (Baikal and other sabre/dav servers): the omit-year
      // parameter on its own X-SABRE-BDAY, folded at 75 octets as sabre writes it.
      {"sabre: X-SABRE-OMIT-YEAR on X-SABRE-BDAY, folded",
       {"DTSTART;VALUE=DATE:20000407",
        "X-SABRE-BDAY;X-SABRE-VCARD-UID=foo;X-SABRE-VCARD-FN=Forrest Gump;X-SABRE-OM\r\n "
        "IT-YEAR=2000:BDAY"},
       {{2000, 4, 7}, 1}},
      {"sabre before 3.4: a UTC midnight start",
       {"DTSTART:20000407T000000Z",
        "X-SABRE-BDAY;X-SABRE-VCARD-UID=foo;X-SABRE-VCARD-FN=Forrest Gump;X-SABRE-OMIT-YEAR=2000:"
        "BDAY"},
       {{2000, 4, 7}, 1}},
      {"sabre: a known year has no omit-year",
       {"DTSTART;VALUE=DATE:19850407",
        "X-SABRE-BDAY;X-SABRE-VCARD-UID=foo;X-SABRE-VCARD-FN=F:BDAY"},
       {{1985, 4, 7}, 0}},
      {"an omit-year naming another year keeps the year",
       {"DTSTART;VALUE=DATE:19850407", "X-SABRE-BDAY;X-SABRE-OMIT-YEAR=2000:BDAY"},
       {{1985, 4, 7}, 0}},
      {"Apple: X-APPLE-OMIT-YEAR on the start",
       {"DTSTART;VALUE=DATE;X-APPLE-OMIT-YEAR=1900:19000302"},
       {{2000, 3, 2}, 1}},
      {"an omit-year property",
       {"DTSTART;VALUE=DATE:19000302", "X-APPLE-OMIT-YEAR:1900"},
       {{2000, 3, 2}, 1}},
      {"Nextcloud: unknown year beside 1970, with its alarm",
       {"DTSTART;VALUE=DATE:19700611", "DTEND;VALUE=DATE:19700612", "TRANSP:TRANSPARENT",
        "X-NEXTCLOUD-BC-FIELD-TYPE:BDAY", "X-NEXTCLOUD-BC-UNKNOWN-YEAR:1",
        "BEGIN:VALARM\r\nTRIGGER;VALUE=DURATION:PT9H\r\nACTION:DISPLAY\r\nDESCRIPTION:x\r\n"
        "END:VALARM"},
       {{2000, 6, 11}, 1}},
      {"gbirthday: a date without VALUE=DATE",
       {"DTSTART:19700131", "DURATION:PT0S"},
       {{1970, 1, 31}, 0}},
      {"a time in a named zone: the date as written",
       {"DTSTART;TZID=Asia/Tokyo:19900101T000000"},
       {{1990, 1, 1}, 0}},
      {"a floating time", {"DTSTART:19900101T235900"}, {{1990, 1, 1}, 0}},
      {"UTC: the local date", {"DTSTART:19800414T230000Z"}, {{1980, 4, 15}, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string lines;
    for (const std::string& l : c.lines) lines += l + "\r\n";
    const ReadResult r = read("BEGIN:VEVENT\r\nUID:y\r\n" + lines +
                              "RRULE:FREQ=YEARLY\r\nSUMMARY:Tag\r\nEND:VEVENT\r\n");
    ASSERT_EQ(r.candidates.size(), 1u);
    const EventRecord& rec = r.candidates[0].record;
    EXPECT_EQ(splitRecordDate(rec.date), c.want.date);
    EXPECT_EQ(rec.withoutYear, c.want.withoutYear);
    EXPECT_EQ(rec.computeJubilee, c.want.withoutYear ? 0 : 1);
  }
}

std::string alarm(std::string_view trigger, std::string_view action = "ACTION:DISPLAY") {
  return "BEGIN:VALARM\r\n" + std::string(action) + "\r\n" + std::string(trigger) +
         "\r\nDESCRIPTION:Erinnerung\r\nEND:VALARM";
}

// Kinds by what producers write, lead times by their alarms' triggers.
TEST(IcalendarReader, KindsAndLeadTimes) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::uint8_t kind;
    std::uint8_t leadDays;
  } const cases[] = {
      {"Evolution: birthdays", {"CATEGORIES:Birthday"}, kKindBirthday, 0},
      {"Evolution: anniversaries", {"CATEGORIES:Anniversary"}, kKindWedding, 0},
      {"Evolution: death days", {"CATEGORIES:Deathday"}, kKindDeath, 0},
      {"RFC 5545's example, upper case in a list",
       {"CATEGORIES:ANNIVERSARY,PERSONAL,SPECIAL OCCASION"},
       kKindWedding,
       0},
      {"the kind later in the list", {"CATEGORIES:Familie, geburtstag"}, kKindBirthday, 0},
      {"several CATEGORIES lines", {"CATEGORIES:Privat", "CATEGORIES:Namenstag"}, kKindNameDay, 0},
      {"the first kind wins", {"CATEGORIES:Termin,Birthday"}, kKindAppointment, 0},
      {"English name day", {"CATEGORIES:Name day"}, kKindNameDay, 0},
      {"Jahrestag", {"CATEGORIES:Jahrestag"}, kKindAnniversary, 0},
      {"appointments", {"CATEGORIES:Appointment"}, kKindAppointment, 0},
      {"a comma escaped inside one category", {"CATEGORIES:Geburtstag\\,Feier"}, kKindNone, 0},
      {"other categories", {"CATEGORIES:Business,Holiday"}, kKindNone, 0},
      {"Nextcloud: the field type, with its alarm on the day at 9",
       {"X-NEXTCLOUD-BC-FIELD-TYPE:DEATHDATE", alarm("TRIGGER;VALUE=DURATION:PT9H")},
       kKindDeath,
       0},
      {"Nextcloud's field type says more than a category",
       {"CATEGORIES:Geburtstag", "X-NEXTCLOUD-BC-FIELD-TYPE:ANNIVERSARY"},
       kKindWedding,
       0},
      {"a week in days", {alarm("TRIGGER:-P7D")}, kKindNone, 7},
      {"gbirthday: a week", {alarm("TRIGGER;VALUE=DURATION:-P1W")}, kKindNone, 7},
      {"Evolution: related to the start",
       {"CATEGORIES:Birthday",
        "BEGIN:VALARM\r\nX-EVOLUTION-ALARM-UID:20261210T101010Z-1@host\r\nACTION:DISPLAY\r\n"
        "TRIGGER;VALUE=DURATION;RELATED=START:-P3D\r\nDESCRIPTION:Geburtstag: Anna\r\n"
        "END:VALARM"},
       kKindBirthday,
       3},
      {"at the start", {alarm("TRIGGER:-PT0S")}, kKindNone, 0},
      {"the day before at 9 o'clock", {alarm("TRIGGER:-PT15H")}, kKindNone, 1},
      {"a started day counts whole", {alarm("TRIGGER:-P1DT15H")}, kKindNone, 2},
      {"a minute before the day", {alarm("TRIGGER:-PT1M")}, kKindNone, 1},
      {"more than 99 days", {alarm("TRIGGER:-P200D")}, kKindNone, 99},
      {"weeks past any int", {alarm("TRIGGER:-P99999999W")}, kKindNone, 99},
      {"the largest of several alarms",
       {alarm("TRIGGER:-P1D"), alarm("TRIGGER:-P14D"), alarm("TRIGGER:PT9H")},
       kKindNone,
       14},
      {"after the start", {alarm("TRIGGER:P2D")}, kKindNone, 0},
      {"relative to the end", {alarm("TRIGGER;RELATED=END:-P3D")}, kKindNone, 0},
      {"at a fixed moment", {alarm("TRIGGER;VALUE=DATE-TIME:20261201T090000Z")}, kKindNone, 0},
      {"Apple's placeholder action", {alarm("TRIGGER:-P5D", "ACTION:NONE")}, kKindNone, 0},
      {"an unreadable trigger", {alarm("TRIGGER:-Pxyz")}, kKindNone, 0},
      {"an alarm inside another component is none of the event's",
       {"BEGIN:X-OTHER\r\n" + alarm("TRIGGER:-P5D") + "\r\nEND:X-OTHER"},
       kKindNone,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string lines;
    for (const std::string& l : c.lines) lines += l + "\r\n";
    const ReadResult r = read("BEGIN:VEVENT\r\nUID:k\r\nDTSTART;VALUE=DATE:19800517\r\n" + lines +
                              "RRULE:FREQ=YEARLY\r\nSUMMARY:Anna\r\nEND:VEVENT\r\n");
    ASSERT_EQ(r.candidates.size(), 1u);
    const auto block = readExtension(r.candidates[0].record);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->kind, c.kind);
    EXPECT_EQ(block->leadDays, c.leadDays);
    // The title stays as it was written.
    EXPECT_EQ(r.candidates[0].record.text(), "Anna");
  }
}

// Our own mark of an event that deletes itself: read without a rule, its year kept; a rule
// another program added wins, and a foreign single event stays left out.
TEST(IcalendarReader, OneTimeEventsByTheirMark) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;
    std::optional<Want> want;  // nullopt: skipped as not yearly
    std::uint8_t autoDelete;
  } const cases[] = {
      {"our one-time event",
       {"DTSTART;VALUE=DATE:20261214", "X-TAVIK-AUTODELETE:1"},
       Want{{2026, 12, 14}, 0},
       1},
      {"year-less, the year kept",
       {"DTSTART;VALUE=DATE:20261220", "X-TAVIK-YEARLESS:1", "X-TAVIK-AUTODELETE:1"},
       Want{{2026, 12, 20}, 1},
       1},
      {"made yearly elsewhere",
       {"DTSTART;VALUE=DATE:20261214", "RRULE:FREQ=YEARLY", "X-TAVIK-AUTODELETE:1"},
       Want{{2026, 12, 14}, 0},
       0},
      {"switched off", {"DTSTART;VALUE=DATE:20261214", "X-TAVIK-AUTODELETE:0"}, std::nullopt, 0},
      {"foreign single event", {"DTSTART;VALUE=DATE:20261214"}, std::nullopt, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string lines;
    for (const std::string& l : c.lines) lines += l + "\r\n";
    const ReadResult r =
        read("BEGIN:VEVENT\r\nUID:z\r\n" + lines + "SUMMARY:Zahnarzttermin\r\nEND:VEVENT\r\n");
    if (!c.want) {
      EXPECT_TRUE(r.candidates.empty());
      EXPECT_EQ(r.skippedFor(SkipReason::NotYearly), 1);
      continue;
    }
    ASSERT_EQ(r.candidates.size(), 1u);
    const EventRecord& rec = r.candidates[0].record;
    EXPECT_EQ(splitRecordDate(rec.date), c.want->date);
    EXPECT_EQ(rec.withoutYear, c.want->withoutYear);
    EXPECT_EQ(rec.autoDelete, c.autoDelete);
  }
}

TEST(IcalendarReader, TextsAndWhatIsLeftOut) {
  const ReadResult r = read(
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY",
             "SUMMARY:Geburtstag: M\xC3\xBCller\\, J\xC3\xBCrgen\\; \\\\ \\nzwei"}) +
      event({"RRULE:FREQ=YEARLY", "SUMMARY:Ohne Beginn"}) +
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY"}) +
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY", "SUMMARY:\xF0\x9F\x8E\x82 Leon"}) +
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=MONTHLY", "SUMMARY:Monatlich"}) +
      "BEGIN:VTODO\r\nUID:t\r\nSUMMARY:Aufgabe\r\nEND:VTODO\r\n");
  ASSERT_EQ(r.candidates.size(), 2u);
  EXPECT_EQ(r.candidates[0].record.text(), "Geburtstag: M\xFCller, J\xFCrgen; \\  zwei");
  // A title in any script is kept whole, with its Latin fallback.
  EXPECT_EQ(eventText(r.candidates[1].record), "\xF0\x9F\x8E\x82 Leon");
  EXPECT_EQ(r.candidates[1].record.text(), "? Leon");
  EXPECT_EQ(r.skippedFor(SkipReason::NoDate), 1);
  EXPECT_EQ(r.skippedFor(SkipReason::NoText), 1);
  EXPECT_EQ(r.skippedFor(SkipReason::Unstorable), 0);
  EXPECT_EQ(r.skippedFor(SkipReason::NotYearly), 1);
}

TEST(IcalendarReader, OurOwnUidBecomesTheIdentity) {
  const std::string uid = "7d3c0b9e-1f2a-4b5c-8d6e-0123456789ab";
  const auto read1 = [](const std::string& uidLine) {
    return read(
        "BEGIN:VEVENT\r\n" + uidLine +
        "\r\nDTSTART;VALUE=DATE:19700131\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:A\r\nEND:VEVENT\r\n");
  };
  const ReadResult ours = read1("UID:" + uid + "@tavik");
  ASSERT_EQ(ours.candidates.size(), 1u);
  EXPECT_EQ(uidText(readExtension(ours.candidates[0].record)->uid), uid);
  // Any other UID (the old hashed form, another program's) gives a fresh identity.
  for (const std::string& other :
       {std::string("UID:0123456789abcdef@tavik"), "UID:" + uid + "@example.org", "UID:" + uid}) {
    SCOPED_TRACE(other);
    const ReadResult r = read1(other);
    ASSERT_EQ(r.candidates.size(), 1u);
    const auto block = readExtension(r.candidates[0].record);
    ASSERT_TRUE(block.has_value());
    EXPECT_NE(uidText(block->uid), uid);
  }
}

TEST(IcalendarReader, BadInputEndsCleanly) {
  // Two calendars in one file are both read.
  const std::string one =
      calendar(event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY", "SUMMARY:Eins"}));
  EXPECT_EQ(readIcalendar(one + one, kToday, plusOneHour).candidates.size(), 2u);
  for (const std::string& bad :
       {std::string("BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nDTSTART;VALUE=DATE:1970"),
        std::string("BEGIN:VCALENDAR\r\n") + std::string(10'000'000, 'x'),
        std::string("BEGIN:VCALENDAR\r\n\0\x01\x02\xff", 22),
        calendar(event({"DTSTART;VALUE=DATE:19700231", "RRULE:FREQ=YEARLY", "SUMMARY:X"})),
        calendar(event({"DTSTART;VALUE=DATE:18991230", "RRULE:FREQ=YEARLY", "SUMMARY:X"}))}) {
    EXPECT_TRUE(readIcalendar(bad, kToday, plusOneHour).candidates.empty());
  }
}

TEST(IcalendarReader, CutCalendarsKeepTheirCompleteEvents) {
  const std::string one =
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY", "SUMMARY:Eins"});
  const std::string two =
      event({"DTSTART;VALUE=DATE:19800229", "RRULE:FREQ=YEARLY", "SUMMARY:Zwei"});
  const std::string head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
  const std::string cutEvent = "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:19900101\r\nRRULE:FREQ=YE";
  struct Case {
    const char* name;
    std::string file;
    std::size_t candidates;
    int incomplete;
  } const cases[] = {
      {"no END:VCALENDAR", head + one + two, 2, 0},
      {"cut inside the last event", head + one + two + cutEvent, 2, 1},
      {"cut inside an alarm", head + one + cutEvent + "\r\nBEGIN:VALARM\r\nACTION:DISPLAY", 1, 1},
      {"an event begun inside another", head + cutEvent + "\r\n" + one + two + "END:VCALENDAR\r\n",
       2, 1},
      {"END:VCALENDAR inside an event", head + one + cutEvent + "\r\nEND:VCALENDAR\r\n", 1, 1},
      {"a second calendar inside an event of the first",
       head + one + cutEvent + "\r\n" + head + two, 2, 1},
      {"an END of another component is no end of the event",
       head + "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:19700131\r\nEND:VALARM\r\nRRULE:FREQ=YEARLY\r\n"
              "SUMMARY:Eins\r\nEND:VEVENT\r\n",
       1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult r = readIcalendar(c.file, kToday, plusOneHour);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.candidates.size(), c.candidates);
    EXPECT_EQ(r.skippedFor(SkipReason::Incomplete), c.incomplete);
    int skipped = 0;
    for (const int n : r.skipped) skipped += n;
    EXPECT_EQ(skipped, c.incomplete) << "nothing else left out";
  }
}

std::string repeated(std::string_view line, std::size_t times) {
  std::string out;
  out.reserve(line.size() * times);
  for (std::size_t i = 0; i < times; ++i) out.append(line);
  return out;
}

TEST(IcalendarReader, DeepNestingNeverReachesLibical) {
  const std::string one =
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY", "SUMMARY:Eins"});
  // Hundreds of thousands of nested events or calendars once overflowed the stack.
  const std::size_t deep = 300'000;
  const ReadResult events = readIcalendar(
      "BEGIN:VCALENDAR\r\n" + repeated("BEGIN:VEVENT\r\n", deep) + repeated("END:VEVENT\r\n", deep),
      kToday, plusOneHour);
  EXPECT_TRUE(events.ok);
  EXPECT_EQ(events.skippedFor(SkipReason::Incomplete), static_cast<int>(deep - 1));
  EXPECT_EQ(events.skippedFor(SkipReason::NoDate), 1);
  const ReadResult calendars = readIcalendar(
      repeated("BEGIN:VCALENDAR\r\n", deep) + one + repeated("END:VCALENDAR\r\n", deep), kToday,
      plusOneHour);
  EXPECT_TRUE(calendars.ok);
  EXPECT_EQ(calendars.candidates.size(), 1u);

  // Other components nest up to the limit; one level more refuses the whole file.
  const auto nested = [&](std::size_t levels) {
    return calendar(one + "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:19800229\r\nRRULE:FREQ=YEARLY\r\n" +
                    repeated("BEGIN:VALARM\r\n", levels) + repeated("END:VALARM\r\n", levels) +
                    "SUMMARY:Zwei\r\nEND:VEVENT\r\n");
  };
  const ReadResult atLimit = readIcalendar(nested(kIcalendarMaxNesting - 2), kToday, plusOneHour);
  EXPECT_TRUE(atLimit.ok);
  EXPECT_EQ(atLimit.candidates.size(), 2u);
  const ReadResult tooDeep = readIcalendar(nested(kIcalendarMaxNesting - 1), kToday, plusOneHour);
  EXPECT_FALSE(tooDeep.ok);
  EXPECT_EQ(tooDeep.refusal, kIcalendarTooDeep);
  EXPECT_TRUE(tooDeep.candidates.empty());
}

TEST(IcalendarReader, LongLinesAreCutOrLeaveTheirEventOut) {
  const std::string big(3'000'000, 'a');
  std::string folded = "SUMMARY:";
  for (int i = 0; i < 100'000; ++i) folded += "\xC3\xA4\\\\\r\n ";
  folded += "Ende";
  const ReadResult r =
      read(event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY", "SUMMARY:" + big}) +
           event({"DTSTART;VALUE=DATE:19700201", "RRULE:FREQ=YEARLY", folded}) +
           event({"DTSTART;VALUE=DATE:19700301", "X-SOMETHING:" + big, "RRULE:FREQ=YEARLY",
                  "SUMMARY:Drei"}) +
           event({"DTSTART;VALUE=DATE:19700401", "RRULE:FREQ=YEARLY;X-A=" + big, "SUMMARY:Vier"}) +
           event({"DTSTART;VALUE=DATE:19700501;X-A=" + big, "RRULE:FREQ=YEARLY",
                  "SUMMARY:F\xC3\xBCnf"}));
  ASSERT_EQ(r.candidates.size(), 3u);
  EXPECT_EQ(r.candidates[0].record.text(), std::string(200, 'a'));
  EXPECT_EQ(r.candidates[1].record.text(), repeated("\xE4\\", 100));
  EXPECT_EQ(r.candidates[2].record.text(), "Drei");
  EXPECT_EQ(r.skippedFor(SkipReason::NotYearly), 1);
  EXPECT_EQ(r.skippedFor(SkipReason::BadDate), 1);
}

TEST(IcalendarReader, CrowdedEventsStayBounded) {
  // libical once took 30 times the file for an event of a few million marks.
  const ReadResult r =
      read(event({"DTSTART;VALUE=DATE:19700131", "DTSTART;VALUE=DATE:19800101", "RRULE:FREQ=YEARLY",
                  "SUMMARY:Eins", "SUMMARY:Zwei",
                  repeated("X-EVOLUTION-SINCE-YEAR:1955\r\n", 20'000) + "X-TAVIK-YEARLESS:0"}) +
           event({"DTSTART;VALUE=DATE:19700131", repeated("RRULE:FREQ=YEARLY\r\n", 10'000),
                  "SUMMARY:Regeln"}));
  ASSERT_EQ(r.candidates.size(), 1u);
  EXPECT_EQ(splitRecordDate(r.candidates[0].record.date), (Ymd{1955, 1, 31}));
  EXPECT_EQ(r.candidates[0].record.text(), "Eins");
  EXPECT_EQ(r.skippedFor(SkipReason::NotYearly), 1);
}

TEST(IcalendarReader, StatusLineCountsCutEventsAndNamesARefusal) {
  const std::string one =
      event({"DTSTART;VALUE=DATE:19700131", "RRULE:FREQ=YEARLY", "SUMMARY:Eins"});
  ImportContext context;
  context.today = kToday;
  context.localDate = plusOneHour;
  const ImportResult cut = readImportBytes(
      "BEGIN:VCALENDAR\r\n" + one + "BEGIN:VEVENT\r\nDTSTART;VALUE=DATE:1990", nullptr, context);
  EXPECT_EQ(cut.status(), "iCalendar: 1 Eintrag gefunden, 1 übersprungen (unvollständig)");
  EXPECT_TRUE(cut.succeeded);
  const ImportResult deep = readImportBytes(
      calendar(one + repeated("BEGIN:X-DEEP\r\n", kIcalendarMaxNesting)), nullptr, context);
  EXPECT_EQ(deep.status(),
            "iCalendar: Datei abgelehnt, Komponenten zu tief verschachtelt (mehr als 32 Ebenen)");
  EXPECT_TRUE(deep.readerRan);
  EXPECT_TRUE(deep.candidates.empty());
  EXPECT_FALSE(deep.succeeded);
}

}  // namespace
}  // namespace tavik
