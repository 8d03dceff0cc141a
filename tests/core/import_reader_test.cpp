#include "exchange/import_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "exchange/csv_reader.h"
#include "exchange/tavik3_reader.h"
#include "store/data_file.h"
#include "store/day_number.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using Op = FakeFiles::Op;

const std::string kTab = "\t";
const std::string kCrLf = "\r\n";

EventRecord event(int year, int month, int day, std::string_view text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, month, day));
  r.setText(text);
  r.computeJubilee = 1;
  return r;
}

std::string image(const EventRecord& r) {
  const RecordImage i = encodeRecord(r);
  return std::string(i.begin(), i.end());
}

std::string tavik4Records(int count) {
  std::string s;
  for (int n = 1; n <= count; ++n) s += image(event(2000 + n, 1, n, "Feier"));
  return s;
}

// Previous-generation records with a year and a text that puts no TAB into the first line.
std::string tavik3Records(int count) {
  std::string s;
  for (int n = 1; n <= count; ++n) {
    std::string r(kTavik3RecordSize, '\0');
    r[1] = 1;
    r[3] = static_cast<char>(n);
    r[4] = 5;
    r[6] = static_cast<char>(1990 & 0xFF);
    r[7] = static_cast<char>(1990 >> 8);
    r[8] = 5;
    r.replace(9, 5, "Feier");
    s += r;
  }
  return s;
}

// A native record whose text length byte 9 is a TAB at character 9 of the "first line".
std::string nativeWithTabAtNine() {
  return image(event(2000, 1, 1, "neun Zchn"));
}

std::string padded(std::string s, std::size_t size, char fill = 'x') {
  s.resize(size, fill);
  return s;
}

TEST(ImportReader, DetectsAndReads) {
  const char* reading = kStatusReading;
  ASSERT_EQ(firstTextLine(nativeWithTabAtNine()).substr(8, 1), kTab) << "fixture";
  struct Case {
    const char* name;
    std::string bytes;
    bool answer;  // to the Tavik3 question
    ImportFormat format;
    std::vector<std::string> status;
    bool readerRan;
    std::size_t candidates;
    bool succeeded;
  } const cases[] = {
      {"840 bytes: two native records",
       tavik4Records(2),
       false,
       ImportFormat::Tavik4,
       {reading, "840 Bytes in der Datei", "lese Format: Tavik4"},
       true,
       2,
       true},
      {"1680 bytes is native, never Tavik3",
       tavik4Records(4),
       false,
       ImportFormat::Tavik4,
       {reading, "1680 Bytes in der Datei", "lese Format: Tavik4"},
       true,
       4,
       true},
      {"96 bytes, OK to the question",
       tavik3Records(2),
       true,
       ImportFormat::Tavik3Question,
       {reading, "96 Bytes in der Datei", "lese Format: Tavik3"},
       true,
       2,
       true},
      {"96 bytes, Cancel",
       tavik3Records(2),
       false,
       ImportFormat::Tavik3Question,
       {reading, "96 Bytes in der Datei"},
       false,
       0,
       false},
      {"3 bytes",
       "abc",
       false,
       ImportFormat::TooShort,
       {reading, "Datei kann nicht geöffnet werden!"},
       false,
       0,
       false},
      {"empty",
       "",
       false,
       ImportFormat::TooShort,
       {reading, "Datei kann nicht geöffnet werden!"},
       false,
       0,
       false},
      {"4 bytes, no format",
       "abcd",
       false,
       ImportFormat::Unknown,
       {reading, "4 Bytes in der Datei", "Dateiformat unbekannt!"},
       false,
       0,
       false},
      {"CSV with a four-digit year",
       "24.12.1975" + kTab + "Feier" + kCrLf,
       false,
       ImportFormat::Csv,
       {reading, "18 Bytes in der Datei", "lese Format: CSV"},
       true,
       1,
       true},
      {"CSV with year 00: TAB at 9",
       "24.12.00" + kTab + "Feier",
       false,
       ImportFormat::Csv,
       {reading, "14 Bytes in der Datei", "lese Format: CSV"},
       true,
       1,
       true},
      {"CSV whose second line fails",
       "24.12.1975" + kTab + "A" + kCrLf + "1.2.2003" + kTab + "B" + kCrLf,
       false,
       ImportFormat::Csv,
       {reading, "26 Bytes in der Datei", "lese Format: CSV", "Unbekanntes Format!"},
       true,
       1,
       false},
      {"first line without year: TAB at 6 is no CSV",
       "24.12" + kTab + "Feier" + kCrLf,
       false,
       ImportFormat::Unknown,
       {reading, "13 Bytes in der Datei", "Dateiformat unbekannt!"},
       false,
       0,
       false},
      {"TAB at 12 is no CSV",
       padded("24.12.19755" + kTab + "X", 96),
       true,
       ImportFormat::Tavik3Question,
       {reading, "96 Bytes in der Datei", "lese Format: Tavik3", "Unbekanntes Format!"},
       true,
       0,
       false},
      {"TAB behind a CR is no CSV",
       padded("24.12.1\r" + kTab + kTab + kTab, 420, '\0'),
       false,
       ImportFormat::Tavik4,
       {reading, "420 Bytes in der Datei", "lese Format: Tavik4", "Unbekanntes Format!"},
       true,
       0,
       false},
      {"vCard, before every other check",
       "BEGIN:VCARD\r\nFN:Anna\r\nBDAY:19800101\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:B\r\n"
       "END:VCARD\r\n",
       false,
       ImportFormat::Vcard,
       {reading, "78 Bytes in der Datei", "lese Format: vCard",
        "vCard: 1 Eintrag gefunden, 1 übersprungen (kein Datum)"},
       true,
       1,
       true},
      {"iCalendar with nothing yearly",
       "\xEF\xBB\xBF\nBEGIN:VCALENDAR\nBEGIN:VEVENT\nDTSTART:20260101\nSUMMARY:A\nEND:VEVENT\n"
       "END:VCALENDAR\n",
       false,
       ImportFormat::Icalendar,
       {reading, "85 Bytes in der Datei", "lese Format: iCalendar",
        "iCalendar: 0 Einträge gefunden, 1 übersprungen (nicht jährlich)"},
       true,
       0,
       false},
      {"UTF-8 text with LF line ends and a byte order mark",
       "\xEF\xBB\xBF"
       "24.12.1975" +
           kTab + "M\xC3\xBCller\n01.01.2000" + kTab + "B\n",
       false,
       ImportFormat::Csv,
       {reading, "35 Bytes in der Datei", "lese Format: CSV (UTF-8)"},
       true,
       2,
       true},
      {"UTF-8 text with a line Windows-1252 cannot hold: kept in its own script",
       "24.12.1975" + kTab + "\xE5\xBC\xA0\n01.01.2000" + kTab + "B\n",
       false,
       ImportFormat::Csv,
       {reading, "28 Bytes in der Datei", "lese Format: CSV (UTF-8)"},
       true,
       2,
       true},
      {"UTF-8 text with a line that is no UTF-8",
       "\xEF\xBB\xBF"
       "24.12.1975" +
           kTab + "\xE5\xBC\n01.01.2000" + kTab + "B\n",
       false,
       ImportFormat::Csv,
       {reading, "30 Bytes in der Datei", "lese Format: CSV (UTF-8)",
        "lese Format: CSV (UTF-8), 1 Zeile übersprungen (nicht speicherbare Zeichen)"},
       true,
       1,
       true},
      {"native record with text length 9 is taken for CSV",
       nativeWithTabAtNine(),
       false,
       ImportFormat::Csv,
       {reading, "420 Bytes in der Datei", "lese Format: CSV", "Unbekanntes Format!"},
       true,
       0,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(detectImportFormat(c.bytes), c.format);
    std::vector<std::string> asked;
    const ImportResult got = readImportBytes(c.bytes, [&](const std::string& statusLine) {
      asked.push_back(statusLine);
      return c.answer;
    });
    EXPECT_EQ(got.statusTexts, c.status);
    EXPECT_EQ(got.readerRan, c.readerRan);
    EXPECT_EQ(got.candidates.size(), c.candidates);
    EXPECT_EQ(got.succeeded, c.succeeded);
    if (c.format == ImportFormat::Tavik3Question) {
      EXPECT_EQ(asked, std::vector<std::string>{c.status[1]}) << "asked once, over the size line";
    } else {
      EXPECT_TRUE(asked.empty());
    }
  }
}

TEST(ImportReader, AddressBooksAndCalendarsLeaveOutWhatIsThere) {
  EventTable table;
  EventRecord anna = event(1980, 1, 1, "Geburtstag Anna");
  table.storeRecord(7, anna);
  EventRecord yearless = event(9996, 3, 2, "Geburtstag Bert");
  yearless.withoutYear = 1;
  table.storeRecord(9, yearless);
  const std::string cards =
      "BEGIN:VCARD\r\nFN:Anna\r\nBDAY:19800101\r\nEND:VCARD\r\n"  // in the table
      "BEGIN:VCARD\r\nFN:Bert\r\nBDAY:--0302\r\nEND:VCARD\r\n"    // year-less in the table
      "BEGIN:VCARD\r\nFN:Carl\r\nBDAY:19900505\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nFN:Carl\r\nBDAY:1990-05-05\r\nEND:VCARD\r\n"  // twice in the file
      "BEGIN:VCARD\r\nFN:Anna\r\nBDAY:19810101\r\nEND:VCARD\r\n";   // another date
  ImportContext context;
  context.existing = &table;
  const ImportResult got = readImportBytes(cards, nullptr, context);
  EXPECT_EQ(got.status(), "vCard: 2 Einträge gefunden, 3 bereits vorhanden");
  ASSERT_EQ(got.candidates.size(), 2u);
  EXPECT_EQ(got.candidates[0].record.text(), "Geburtstag Carl");
  EXPECT_EQ(got.candidates[1].record.date, event(1981, 1, 1, "").date);
  // Without a table only the second Carl is left out.
  EXPECT_EQ(readImportBytes(cards, nullptr).candidates.size(), 4u);
  // The native formats keep every record.
  EXPECT_EQ(readImportBytes(image(anna) + image(anna), nullptr, context).candidates.size(), 2u);
}

TEST(ImportReader, NamesInAnyScriptAndLastingIdentities) {
  const std::vector<std::string> names = {
      "Ay\xC5\x9F"
      "e Y\xC4\xB1lmaz",
      "Mehmet Do\xC4\x9F"
      "an",
      "\xC5\x81ukasz Wi\xC5\x9Bniewski", "Ji\xC5\x99\xC3\xAD Dvo\xC5\x99\xC3\xA1k",
      "Zo\xC3\xAB \xC5\xA0imi\xC4\x87"};
  std::string cards;
  for (const std::string& n : names) {
    cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + n + "\r\nBDAY:19800101\r\nEND:VCARD\r\n";
  }
  // Same fallback as Ayşe's, another name.
  cards += "BEGIN:VCARD\r\nFN:Ayse Yilmaz\r\nBDAY:19800101\r\nEND:VCARD\r\n";
  const ImportResult all = readImportBytes(cards, nullptr);
  EXPECT_EQ(all.status(), "vCard: 6 Einträge gefunden");
  ASSERT_EQ(all.candidates.size(), 6u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(importListLine(all.candidates[i]), "01.01.1980   Geburtstag " + names[i]);
  }

  // What the table holds is compared by its full text: Ayşe is there, "Ayse" is not.
  EventTable table;
  table.placeRecord(3, all.candidates[0].record);
  ImportContext context;
  context.existing = &table;
  const ImportResult again = readImportBytes(cards, nullptr, context);
  EXPECT_EQ(again.status(), "vCard: 5 Einträge gefunden, 1 bereits vorhanden");
  ASSERT_EQ(again.candidates.size(), 5u);
  EXPECT_EQ(again.candidates[4].record.text(), "Geburtstag Ayse Yilmaz");

  // Stored twice, the same candidates still give every slot an identity of its own.
  EventTable twice;
  EXPECT_EQ(storeCandidates(twice, all.candidates).stored, 6);
  EXPECT_EQ(storeCandidates(twice, all.candidates).stored, 6);
  std::set<std::string> uids;
  for (int slot = 1; slot <= 12; ++slot)
    uids.insert(uidText(readExtension(twice.record(slot))->uid));
  EXPECT_EQ(uids.size(), 12u);
  EXPECT_EQ(eventText(twice.record(7)), "Geburtstag " + names[0]);
}

TEST(ImportReader, MissingQuestionCountsAsCancel) {
  const ImportResult got = readImportBytes(tavik3Records(1), nullptr);
  EXPECT_FALSE(got.readerRan);
  EXPECT_EQ(got.status(), "48 Bytes in der Datei");
}

TEST(ImportReader, CandidatesKeepFileOrder) {
  const ImportResult got = readImportBytes(tavik4Records(3), nullptr);
  ASSERT_EQ(got.candidates.size(), 3u);
  for (int n = 1; n <= 3; ++n) {
    EXPECT_EQ(got.candidates[n - 1].record, event(2000 + n, 1, n, "Feier"));
  }
}

TEST(ImportReader, ReadsFiles) {
  const std::vector<std::string> cannotOpen = {kStatusReading, kStatusCannotOpen};
  const std::string csv = "24.12.1975" + kTab + "Feier" + kCrLf;
  struct Case {
    const char* name;
    std::function<std::string(const test::TempDir&, FakeFiles&)> setUp;  // gives the path
    std::vector<std::string> status;
    std::size_t candidates;
  } const cases[] = {
      {"empty name", [](const test::TempDir&, FakeFiles&) { return std::string(); }, cannotOpen, 0},
      {"missing file", [](const test::TempDir& d, FakeFiles&) { return d.file("fehlt.csv"); },
       cannotOpen, 0},
      {"directory", [](const test::TempDir& d, FakeFiles&) { return d.path(); }, cannotOpen, 0},
      {"3 bytes",
       [](const test::TempDir& d, FakeFiles&) {
         test::writeFile(d.file("kurz"), "abc");
         return d.file("kurz");
       },
       cannotOpen, 0},
      {"read error",
       [&](const test::TempDir& d, FakeFiles& f) {
         test::writeFile(d.file("a.csv"), csv);
         f.failAt(Op::Read, 1, EIO);
         return d.file("a.csv");
       },
       cannotOpen, 0},
      {"too large",
       [](const test::TempDir& d, FakeFiles&) {
         test::writeFile(d.file("gross"), std::string(kImportSizeLimit + 1, '\0'));
         return d.file("gross");
       },
       {kStatusReading, "2097153 Bytes in der Datei", kStatusUnknownFile},
       0},
      {"CSV file",
       [&](const test::TempDir& d, FakeFiles&) {
         test::writeFile(d.file("a.csv"), csv);
         return d.file("a.csv");
       },
       {kStatusReading, "18 Bytes in der Datei", kStatusReadingCsv},
       1},
      {"an address book may be larger",
       [](const test::TempDir& d, FakeFiles&) {
         const std::string photo = "PHOTO;ENCODING=b:" + std::string(3'000'000, 'A') + "\r\n";
         test::writeFile(d.file("a.vcf"),
                         "BEGIN:VCARD\r\nFN:A\r\n" + photo + "BDAY:--0101\r\nEND:VCARD\r\n");
         return d.file("a.vcf");
       },
       {kStatusReading, "3000062 Bytes in der Datei", kStatusReadingVcard,
        "vCard: 1 Eintrag gefunden"},
       1},
      {"but not beyond its own limit",
       [](const test::TempDir& d, FakeFiles&) {
         test::writeFile(d.file("b.vcf"), "BEGIN:VCARD\r\n" + std::string(kExchangeSizeLimit, 'x'));
         return d.file("b.vcf");
       },
       {kStatusReading, "67108877 Bytes in der Datei", kStatusUnknownFile},
       0},
      {"native file at the size limit",
       [](const test::TempDir& d, FakeFiles&) {
         std::string bytes = tavik4Records(1);
         bytes.resize(kImportSizeLimit - kImportSizeLimit % kRecordSize, '\0');
         test::writeFile(d.file("a.dat"), bytes);
         return d.file("a.dat");
       },
       {kStatusReading, "2097060 Bytes in der Datei", kStatusReadingTavik4},
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    FakeFiles files;
    const std::string path = c.setUp(dir, files);
    const ImportResult got = readImportFile(files, path, nullptr);
    EXPECT_EQ(got.statusTexts, c.status);
    EXPECT_EQ(got.candidates.size(), c.candidates);
    EXPECT_EQ(got.succeeded, c.candidates > 0);
  }
}

TEST(ImportReader, StoresIntoFreeSlotsUntilTheTableIsFull) {
  EventTable table;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    if (slot != 3 && slot != 700) table.storeRecord(slot, event(1950, 1, 1, "alt"));
  }
  const std::vector<OTdaten> ticked = {
      {event(2001, 1, 1, "A")}, {event(2002, 2, 2, "B")}, {event(2003, 3, 3, "C")}};
  const StoreOutcome outcome = storeCandidates(table, ticked);
  EXPECT_EQ(outcome.stored, 2);
  EXPECT_TRUE(outcome.tableFull);
  EXPECT_EQ(table.record(3), ticked[0].record);
  EXPECT_EQ(table.record(700), ticked[1].record);
  EXPECT_EQ(table.record(1).text(), "alt");

  EventTable empty;
  const StoreOutcome none = storeCandidates(empty, {});
  EXPECT_EQ(none.stored, 0);
  EXPECT_FALSE(none.tableFull);
  EXPECT_EQ(empty.usedCount(), 0);
}

TEST(ImportReader, Texts) {
  EXPECT_EQ(addedMessage(3), "3 Datensätze zugefügt!");
  EXPECT_EQ(addedMessage(0), "0 Datensätze zugefügt!");
  EXPECT_EQ(importDoneStatus(3), "Import von 3 Datensätzen erfolgreich");

  OTdaten yearless{event(2000, 12, 24, "Feier")};
  yearless.record.withoutYear = 1;
  EXPECT_EQ(importListLine({event(1975, 12, 24, "Feier")}), "24.12.1975   Feier");
  EXPECT_EQ(importListLine(yearless), "24.12.           Feier");
}

}  // namespace
}  // namespace tavik
