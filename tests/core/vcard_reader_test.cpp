#include "exchange/vcard_reader.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "store/day_number.h"
#include "store/event_kind.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

struct Want {
  std::string text;  // Windows-1252
  Ymd date;
  std::uint8_t withoutYear = 0;
};

std::string card(std::initializer_list<std::string_view> lines, std::string_view end = "\r\n") {
  std::string out = "BEGIN:VCARD\r\n";
  for (const std::string_view l : lines) out.append(l).append(end);
  return out + "END:VCARD\r\n";
}

std::vector<Want> got(const ReadResult& r) {
  std::vector<Want> out;
  for (const OTdaten& c : r.candidates) {
    const Ymd d = splitRecordDate(c.record.date);
    EXPECT_EQ(c.record.computeJubilee, c.record.withoutYear ? 0 : 1) << c.record.text();
    // The kind is the one the text's first word names: birthday, wedding or death day.
    const auto block = readExtension(c.record);
    EXPECT_TRUE(block.has_value()) << c.record.text();
    const std::string text = c.record.text();
    EXPECT_EQ(kindName(block ? block->kind : kKindNone), text.substr(0, text.find(' ')));
    out.push_back({c.record.text(), d, c.record.withoutYear});
  }
  return out;
}

void expectSame(const std::vector<Want>& a, const std::vector<Want>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(a[i].text, b[i].text) << i;
    EXPECT_EQ(a[i].date, b[i].date) << i;
    EXPECT_EQ(a[i].withoutYear, b[i].withoutYear) << i;
  }
}

// Lines as the producers named write them (sources: the producers' code and issue threads
// collected for this importer).
TEST(VcardReader, RealProducersLines) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<Want> want;
  } const cases[] = {
      {.name = "Apple: 1604 with X-APPLE-OMIT-YEAR is year-less",
       .file =
           card({"VERSION:3.0", "FN:Johnny Appleseed", "BDAY;X-APPLE-OMIT-YEAR=1604:1604-06-20"}),
       .want = {{"Geburtstag Johnny Appleseed", {2000, 6, 20}, 1}}},
      {.name = "Apple: 1604 without the parameter (iOS 12.4)",
       .file = card({"VERSION:3.0", "FN:Jo", "BDAY:1604-06-20"}),
       .want = {{"Geburtstag Jo", {2000, 6, 20}, 1}}},
      {.name = "Apple: the parameters joined by a comma, as a client log showed",
       .file = card({"VERSION:3.0", "FN:Jo", "BDAY;VALUE=DATE,X-APPLE-OMIT-YEAR=1604:16041105"}),
       .want = {{"Geburtstag Jo", {2000, 11, 5}, 1}}},
      {.name = "another vendor's X-...-OMIT-YEAR parameter",
       .file = card({"VERSION:3.0", "FN:Jo", "BDAY;X-SABRE-OMIT-YEAR=2000:2000-04-07"}),
       .want = {{"Geburtstag Jo", {2000, 4, 7}, 1}}},
      {.name = "Apple: X-APPLE-OMIT-YEAR equal to another year",
       .file = card({"VERSION:3.0", "FN:Jo", "BDAY;X-APPLE-OMIT-YEAR=1900:1900-03-02"}),
       .want = {{"Geburtstag Jo", {2000, 3, 2}, 1}}},
      {.name = "Apple: X-APPLE-OMIT-YEAR not matching keeps the year",
       .file = card({"VERSION:3.0", "FN:Jo", "BDAY;X-APPLE-OMIT-YEAR=1604:1961-03-02"}),
       .want = {{"Geburtstag Jo", {1961, 3, 2}, 0}}},
      {.name = "Apple: X-ABDATE labelled Anniversary, other labels not",
       .file = card({"VERSION:3.0", "FN:Jo", "item1.X-ABDATE;type=pref:2001-05-12",
                     "item1.X-ABLABEL:_$!<Anniversary>!$_", "ITEM2.X-ABDATE:2005-03-01",
                     "ITEM2.X-ABLABEL:Wedding"}),
       .want = {{"Hochzeitstag Jo", {2001, 5, 12}, 0}}},
      {.name = "Apple: the label may come first, the group in another case",
       .file = card({"VERSION:3.0", "FN:Jo", "ITEM7.X-ABLABEL:_$!<Anniversary>!$_",
                     "item7.X-ABDATE:2001-05-12"}),
       .want = {{"Hochzeitstag Jo", {2001, 5, 12}, 0}}},
      {.name = "Google: --0414 in a 3.0 card, X-ABLabel:Anniversary",
       .file = card({"VERSION:3.0", "FN:Greta M\xC3\xBCller", "BDAY:--0414",
                     "item1.X-ABDATE:2010-06-05", "item1.X-ABLabel:Anniversary"}),
       .want = {{"Geburtstag Greta M\xFCller", {2000, 4, 14}, 1},
                {"Hochzeitstag Greta M\xFCller", {2010, 6, 5}, 0}}},
      {.name = "Android 2.1: quoted-printable UTF-8 with a soft line break",
       .file =
           card({"VERSION:2.1", "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:;=41=6E=64=72=C3=A9;;;",
                 "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=41=6E=64=72=C3=A9=20=4D=",
                 "=C3=BC=6C=6C=65=72", "BDAY:1980-02-29"}),
       .want = {{"Geburtstag Andr\xE9 M\xFCller", {1980, 2, 29}, 0}}},
      {.name = "Android 2.1: N only, given name first",
       .file =
           card({"VERSION:2.1",
                 "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=4D=C3=BC=6C=6C=65=72;=41=6E=6E=61;;;",
                 "BDAY:19800101"}),
       .want = {{"Geburtstag Anna M\xFCller", {1980, 1, 1}, 0}}},
      {.name = "Android: contact_event type 1 is the wedding day, type 2 is not taken",
       .file = card(
           {"VERSION:2.1", "FN:Ann",
            "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;2017-05-26;1;;;;;;;;;;;;;",
            "X-ANDROID-CUSTOM:vnd.android.cursor.item/contact_event;2019-01-02;2;;;;;;;;;;;;;"}),
       .want = {{"Hochzeitstag Ann", {2017, 5, 26}, 0}}},
      {.name = "Evolution: birthday, anniversary, death day",
       .file = card({"VERSION:3.0", "FN:J\xC3\xBCrgen Gro\xC3\x9F", "BDAY:1970-01-31",
                     "X-EVOLUTION-ANNIVERSARY:1998-09-12", "X-EVOLUTION-DEATHDATE:2021-03-04"}),
       .want = {{"Geburtstag J\xFCrgen Gro\xDF", {1970, 1, 31}, 0},
                {"Hochzeitstag J\xFCrgen Gro\xDF", {1998, 9, 12}, 0},
                {"Todestag J\xFCrgen Gro\xDF", {2021, 3, 4}, 0}}},
      {.name = "KAddressBook: --MM-DD and the anniversary written twice",
       .file = card({"VERSION:3.0", "FN:Karl", "BDAY:--01-31",
                     "X-KADDRESSBOOK-X-Anniversary:1995-08-19", "X-ANNIVERSARY:1995-08-19"}),
       .want = {{"Geburtstag Karl", {2000, 1, 31}, 1}, {"Hochzeitstag Karl", {1995, 8, 19}, 0}}},
      {.name = "Nextcloud 4.0: basic dates, a text date is skipped",
       .file = card({"VERSION:4.0", "FN:Leon Green", "BDAY:20000415", "ANNIVERSARY:20190701",
                     "DEATHDATE:20230102", "BDAY;VALUE=text:circa 1800"}),
       .want = {{"Geburtstag Leon Green", {2000, 4, 15}, 0},
                {"Hochzeitstag Leon Green", {2019, 7, 1}, 0},
                {"Todestag Leon Green", {2023, 1, 2}, 0}}},
      {.name = "Outlook: a time part is ignored; X-MS-ANNIVERSARY",
       .file = card({"VERSION:2.1", "N;LANGUAGE=de:Meier;Otto", "FN:Otto Meier",
                     "BDAY:19531015T231000Z", "X-MS-ANNIVERSARY:20110113"}),
       .want = {{"Geburtstag Otto Meier", {1953, 10, 15}, 0},
                {"Hochzeitstag Otto Meier", {2011, 1, 13}, 0}}},
      {.name = "old Thunderbird: lower case, bare quoted-printable, no charset",
       .file = "begin:vcard\nversion:2.1\nfn;quoted-printable:D=C3=BCmmy GmbH\nbday:19991231\n"
               "end:vcard\n",
       .want = {{"Geburtstag D\xFCmmy GmbH", {1999, 12, 31}, 0}}},
      {.name = "Windows-1252 bytes where the card is not UTF-8",
       .file = card({"VERSION:3.0", "FN:J\xFCrgen", "BDAY:1970-01-31"}),
       .want = {{"Geburtstag J\xFCrgen", {1970, 1, 31}, 0}}},
      {.name = "ISO-8859-15 charset: the euro sign",
       .file = card({"VERSION:2.1", "FN;CHARSET=ISO-8859-15:Caf\xE9 \xA4", "BDAY:1970-01-31"}),
       .want = {{"Geburtstag Caf\xE9 \x80", {1970, 1, 31}, 0}}},
      {.name = "3.0 escapes and folding with a blank and a TAB",
       .file = card(
           {"VERSION:3.0", "FN:M\xC3\xBC", " ller\\, Hans", "\t\\; Jr.", "BDAY:1970-0", " 1-31"}),
       .want = {{"Geburtstag M\xFCller, Hans; Jr.", {1970, 1, 31}, 0}}},
      {.name = "LF-only line ends, nickname when FN and N are empty",
       .file =
           card({"VERSION:3.0", "FN:", "N:;;;;", "NICKNAME:Bobby,Bob", "BDAY:2001-02-03"}, "\n"),
       .want = {{"Geburtstag Bobby", {2001, 2, 3}, 0}}},
      {.name = "a long name is cut to 200 characters",
       .file = card({"VERSION:3.0", "FN:" + std::string(300, 'x'), "BDAY:2001-02-03"}),
       .want = {{"Geburtstag " + std::string(189, 'x'), {2001, 2, 3}, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    expectSame(got(readVcard(c.file)), c.want);
  }
}

TEST(VcardReader, DateForms) {
  struct Case {
    const char* text;
    std::optional<Ymd> want;
  } const cases[] = {
      {"1996-04-15", Ymd{1996, 4, 15}},
      {"19960415", Ymd{1996, 4, 15}},
      {"--0415", Ymd{0, 4, 15}},
      {"--04-15", Ymd{0, 4, 15}},
      {"1953-10-15T23:10:00Z", Ymd{1953, 10, 15}},
      {"1987-09-27T08:30:00-06:00", Ymd{1987, 9, 27}},
      {" 19960415 ", Ymd{1996, 4, 15}},
      {"1996-4-15", std::nullopt},
      {"1996", std::nullopt},
      {"1996-04", std::nullopt},
      {"---15", std::nullopt},
      {"00000415", std::nullopt},
      {"circa 1800", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseVcardDate(c.text), c.want);
  }
}

TEST(VcardReader, WhatIsLeftOutIsCounted) {
  const std::string file =
      card({"VERSION:3.0", "FN:Ohne Datum", "TEL:123"}) +
      card({"VERSION:3.0", "N:;;;;", "BDAY:1970-01-31"}) +       // no name
      card({"VERSION:3.0", "FN:\x15\x15", "BDAY:1970-01-31"}) +  // nor is this one
      card({"VERSION:3.0", "FN:Falsch", "BDAY:1970-02-30", "BDAY;VALUE=text:um 1900"}) +
      card({"VERSION:4.0", "FN:\xE5\xBC\xA0\xE4\xBC\x9F", "BDAY:19700131"}) +  // Chinese name
      card({"VERSION:3.0", "FN;CHARSET=SHIFT_JIS:\x83\x65", "BDAY:19700131"}) +
      card({"VERSION:3.0", "FN:Gut", "BDAY:1970-01-31"}) +
      "BEGIN:VCARD\r\nFN:Unterbrochen\r\nBDAY:1980-01-01\r\n" +
      "BEGIN:VCARD\r\nFN:Abgeschnitten\r\nBDAY:1980-01-01\r\n";
  const ReadResult r = readVcard(file);
  // The Chinese name is a name like any other; only a charset the reader cannot decode leaves
  // a card out as unstorable.
  ASSERT_EQ(r.candidates.size(), 2U);
  EXPECT_EQ(eventText(r.candidates[0].record), "Geburtstag \xE5\xBC\xA0\xE4\xBC\x9F");
  EXPECT_EQ(eventText(r.candidates[1].record), "Geburtstag Gut");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.skippedFor(SkipReason::NoDate), 1);
  EXPECT_EQ(r.skippedFor(SkipReason::NoName), 2);
  EXPECT_EQ(r.skippedFor(SkipReason::BadDate), 2);
  EXPECT_EQ(r.skippedFor(SkipReason::Unstorable), 1);
  EXPECT_EQ(r.skippedFor(SkipReason::Incomplete), 2);
}

TEST(VcardReader, NamesInAnyScript) {
  const std::vector<std::string> names = {
      "Ay\xC5\x9F"
      "e Y\xC4\xB1lmaz",
      "Mehmet Do\xC4\x9F"
      "an",
      "\xC5\x81ukasz Wi\xC5\x9Bniewski", "Ji\xC5\x99\xC3\xAD Dvo\xC5\x99\xC3\xA1k",
      "Zo\xC3\xAB \xC5\xA0imi\xC4\x87"};
  std::string file;
  for (const std::string& n : names) file += card({"VERSION:3.0", "FN:" + n, "BDAY:1980-05-01"});
  // "Zoe" with a combining diaeresis: stored in its composed form.
  file += card({"VERSION:4.0", "FN:Zoe\xCC\x88", "BDAY:--0502"});
  const ReadResult r = readVcard(file);
  ASSERT_EQ(r.candidates.size(), names.size() + 1);
  std::set<std::string> uids;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const EventRecord& rec = r.candidates[i].record;
    EXPECT_EQ(eventText(rec), "Geburtstag " + names[i]);
    EXPECT_EQ(importListLine(r.candidates[i]), "01.05.1980   Geburtstag " + names[i]);
    const auto block = readExtension(rec);
    ASSERT_TRUE(block.has_value());
    uids.insert(uidText(block->uid));
  }
  EXPECT_EQ(uids.size(), names.size());
  EXPECT_EQ(r.candidates[0].record.text(), "Geburtstag Ayse Yilmaz");
  EXPECT_EQ(r.candidates[4].record.text(),
            "Geburtstag Zo\xEB \x8A"
            "imic");
  EXPECT_EQ(eventText(r.candidates[5].record), "Geburtstag Zo\xC3\xAB");
  EXPECT_FALSE(hasUnicodeText(r.candidates[5].record));
  EXPECT_EQ(r.skippedFor(SkipReason::Unstorable), 0);
}

TEST(VcardReader, BadInputEndsCleanly) {
  // A 10 MB line (a photo) before the birthday, and one without any line end.
  const std::string photo = "PHOTO;ENCODING=b;TYPE=JPEG:" + std::string(10'000'000, 'A');
  const ReadResult withPhoto = readVcard(card({"VERSION:3.0", "FN:Foto", photo, "BDAY:--0101"}));
  expectSame(got(withPhoto), {{"Geburtstag Foto", {2000, 1, 1}, 1}});
  const ReadResult endless = readVcard("BEGIN:VCARD\r\nFN:" + std::string(10'000'000, 'x'));
  EXPECT_TRUE(endless.candidates.empty());
  EXPECT_EQ(endless.skippedFor(SkipReason::Incomplete), 1);

  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 7919) % 256);
  const ReadResult g = readVcard(garbage);
  EXPECT_TRUE(g.candidates.empty());
}

// A 2.1 AGENT holds another person's card in the lines after it; that card ends before the
// one around it does and is read as a card of its own. The 3.0 form, escaped on one line, is a
// value like any other.
TEST(VcardReader, EmbeddedAgentCardKeepsTheOuterCard) {
  struct Case {
    const char* name;
    std::string file;
    std::vector<Want> want;
    int incomplete = 0;
  } const cases[] = {
      {.name = "2.1: AGENT without a value, the card on the following lines",
       .file = card({"VERSION:2.1", "FN:Chefin", "BDAY:19600101", "AGENT:", "BEGIN:VCARD",
                     "VERSION:2.1", "FN:Sekret\xC3\xA4r", "BDAY:19700202", "END:VCARD",
                     "X-MS-ANNIVERSARY:19900303"}),
       .want = {{"Geburtstag Sekret\xE4r", {1970, 2, 2}, 0},
                {"Geburtstag Chefin", {1960, 1, 1}, 0},
                {"Hochzeitstag Chefin", {1990, 3, 3}, 0}}},
      {.name = "2.1: the outer name after the embedded card; an agent card without dates",
       .file = card({"VERSION:2.1", "AGENT;TYPE=VCARD:", "BEGIN:VCARD", "FN:Ohne Datum",
                     "END:VCARD", "FN:Chefin", "BDAY:19600101"}),
       .want = {{"Geburtstag Chefin", {1960, 1, 1}, 0}}},
      {.name = "the embedded card begun on the AGENT line itself",
       .file = card({"VERSION:3.0", "FN:Chefin", "AGENT:BEGIN:VCARD", "FN:Bote", "BDAY:--0505",
                     "END:VCARD", "BDAY:1960-01-01"}),
       .want = {{"Geburtstag Bote", {2000, 5, 5}, 1}, {"Geburtstag Chefin", {1960, 1, 1}, 0}}},
      {.name = "3.0: the embedded card escaped on one line",
       .file = card({"VERSION:3.0", "FN:Chefin",
                     "AGENT:BEGIN:VCARD\\nVERSION:3.0\\nFN:Bote\\nBDAY:1970-02-02\\nEND:VCARD\\n",
                     "BDAY:1960-01-01"}),
       .want = {{"Geburtstag Chefin", {1960, 1, 1}, 0}}},
      {.name = "an embedded card that never ends loses only itself and the card around it",
       .file = card({"FN:Erste", "BDAY:19600101"}) +
               "BEGIN:VCARD\r\nFN:Zweite\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Bote\r\n" +
               card({"FN:Dritte", "BDAY:19800101"}),
       .want = {{"Geburtstag Erste", {1960, 1, 1}, 0}, {"Geburtstag Dritte", {1980, 1, 1}, 0}},
       .incomplete = 2},
      {.name = "a BEGIN:VCARD not right after the AGENT line interrupts the card",
       .file =
           "BEGIN:VCARD\r\nFN:Chefin\r\nAGENT:\r\nNOTE:x\r\n" + card({"FN:Bote", "BDAY:19700202"}),
       .want = {{"Geburtstag Bote", {1970, 2, 2}, 0}},
       .incomplete = 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult r = readVcard(c.file);
    expectSame(got(r), c.want);
    EXPECT_EQ(r.skippedFor(SkipReason::Incomplete), c.incomplete);
  }
}

// Shapes of a megabyte that were once read in quadratic time still give every event.
TEST(VcardReader, LargeCardsGiveEveryEvent) {
  // One card with 60000 birthday lines on 30000 days, each day twice.
  std::string many = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Viele\r\n";
  constexpr int kDays = 30000;
  for (int i = 0; i < 2 * kDays; ++i) {
    const Ymd d = *splitDayNumber(DayNumber{40000 + i % kDays});
    many += "BDAY:" + std::to_string(d.year * 10000 + d.month * 100 + d.day) + "\r\n";
  }
  const ReadResult r = readVcard(many + "END:VCARD\r\n");
  ASSERT_EQ(r.candidates.size(), std::size_t{kDays});
  for (int i = 0; i < kDays; i += 7919) {
    EXPECT_EQ(r.candidates[i].record.date, 40000.0 + i);
    EXPECT_EQ(r.candidates[i].record.text(), "Geburtstag Viele");
  }

  // 20000 labelled dates, all labels after all dates; every third label another one.
  std::string dates;
  std::string labels;
  constexpr int kLabelled = 20000;
  for (int i = 0; i < kLabelled; ++i) {
    const std::string group = "item" + std::to_string(i);
    dates += group + ".X-ABDATE:" + std::to_string(1901 + i % 100) + "-01-01\r\n";
    labels += "ITEM" + std::to_string(i) +
              (i % 3 == 2 ? ".X-ABLabel:Kennengelernt\r\n" : ".X-ABLabel:_$!<Anniversary>!$_\r\n");
  }
  const ReadResult l =
      readVcard("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jo\r\n" + dates + labels + "END:VCARD\r\n");
  // Labelled as anniversaries: each of the 100 years once, those of the other label later.
  std::set<int> years;
  for (const OTdaten& c : l.candidates) {
    EXPECT_EQ(c.record.text(), "Hochzeitstag Jo");
    years.insert(splitRecordDate(c.record.date).year);
  }
  EXPECT_EQ(l.candidates.size(), 100U);
  EXPECT_EQ(years.size(), 100U);
  EXPECT_EQ(splitRecordDate(l.candidates[1].record.date).year, 1902);
  EXPECT_EQ(splitRecordDate(l.candidates[2].record.date).year, 1904);

  // A quoted-printable name behind half a megabyte of parameters, in 100000 soft breaks.
  std::string qp = "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;X-LANG=" + std::string(500'000, 'a') +
                   ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:=C3=84";
  for (int i = 0; i < 100'000; ++i) qp += "=\r\n" + std::string(i < 10 ? "=62" : "");
  const ReadResult q = readVcard(qp + "\r\nBDAY:1970-01-31\r\nEND:VCARD\r\n");
  expectSame(got(q), {{"Geburtstag \xC4" + std::string(10, 'b'), {1970, 1, 31}, 0}});
}

TEST(VcardReader, RecognisedByItsFirstLine) {
  EXPECT_TRUE(looksLikeVcard("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
  EXPECT_TRUE(looksLikeVcard("\xEF\xBB\xBF\r\n\r\n  begin:vcard\n"));
  EXPECT_TRUE(looksLikeVcard("BEGIN:VCARD"));
  EXPECT_FALSE(looksLikeVcard("BEGIN:VCARDS\r\n"));
  EXPECT_FALSE(looksLikeVcard("X\r\nBEGIN:VCARD\r\n"));
  EXPECT_FALSE(looksLikeVcard("BEGIN:VCALENDAR\r\n"));
}

}  // namespace
}  // namespace tavik
