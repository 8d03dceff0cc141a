#include "exchange/export_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "exchange/import_reader.h"
#include "store/cp1252.h"
#include "store/data_file.h"
#include "store/day_number.h"
#include "store/event_text.h"
#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using Op = FakeFiles::Op;

const std::string kHtmlFirst =
    "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=utf-8\">"
    "<TITLE>Tavik! v4.5 Datenexport</TITLE></HEAD><BODY><TABLE WIDTH=\"90%\" COLS=2>\r\n";
const std::string kHtmlLast = "</TABLE></BODY></HTML>\r\n";

EventRecord event(int year, int month, int day, std::string_view text,
                  std::uint8_t withoutYear = 0) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, month, day));
  r.setText(text);
  r.withoutYear = withoutYear;
  r.computeJubilee = withoutYear ? 0 : 1;
  return r;
}

std::string image(const EventRecord& r) {
  const RecordImage i = encodeRecord(r);
  return std::string(i.begin(), i.end());
}

const EventRecord feier = event(1975, 12, 24, "Feier");
const EventRecord tabbed = event(2001, 5, 1, "a\tb");
const EventRecord fromTavik3 = event(9999, 12, 24, "Alt", 1);
const EventRecord everyYear = event(9996, 2, 29, "Jeder");
const EventRecord fromDialog = event(2000, 12, 24, "Ohne", 1);
const EventRecord markup = event(2001, 1, 1, "a<b & \"c\" > d");
const EventRecord umlaut = event(2001, 3, 1, "M\xE4rz");

TEST(ExportWriter, FileBytes) {
  EventRecord withReserved = feier;
  withReserved.reserved[100] = 0x77;
  withReserved.textBytes[199] = 'R';
  struct Case {
    const char* name;
    ExportFormat format;
    std::vector<EventRecord> records;
    std::string want;
  } const cases[] = {
      {"dat: nothing", ExportFormat::Dat, {}, ""},
      {"dat: whole records",
       ExportFormat::Dat,
       {withReserved, tabbed},
       image(withReserved) + image(tabbed)},
      {"csv: nothing", ExportFormat::Csv, {}, ""},
      {"csv: date, TAB, text", ExportFormat::Csv, {feier}, "24.12.1975\tFeier\r\n"},
      {"csv: TAB in the text becomes a blank", ExportFormat::Csv, {tabbed}, "01.05.2001\ta b\r\n"},
      {"csv: year 9999 written as 00", ExportFormat::Csv, {fromTavik3}, "24.12.00\tAlt\r\n"},
      {"csv: year 9996 as 8 blanks", ExportFormat::Csv, {everyYear}, "29.02.        \tJeder\r\n"},
      {"csv: year-less from the dialog keeps 2000",
       ExportFormat::Csv,
       {fromDialog},
       "24.12.2000\tOhne\r\n"},
      {"csv: bytes as stored", ExportFormat::Csv, {umlaut}, "01.03.2001\tM\xE4rz\r\n"},
      {"htm: nothing", ExportFormat::Htm, {}, kHtmlFirst + kHtmlLast},
      {"htm: two cells per event, TAB kept",
       ExportFormat::Htm,
       {feier, tabbed},
       kHtmlFirst + "<TR><TD>24.12.1975</TD>\r\n<TD>Feier</TD></TR>\r\n" +
           "<TR><TD>01.05.2001</TD>\r\n<TD>a\tb</TD></TR>\r\n" + kHtmlLast},
      {"htm: 9999 stays, 9996 as blanks",
       ExportFormat::Htm,
       {fromTavik3, everyYear},
       kHtmlFirst + "<TR><TD>24.12.9999</TD>\r\n<TD>Alt</TD></TR>\r\n" +
           "<TR><TD>29.02.        </TD>\r\n<TD>Jeder</TD></TR>\r\n" + kHtmlLast},
      {"htm: text is escaped",
       ExportFormat::Htm,
       {markup},
       kHtmlFirst +
           "<TR><TD>01.01.2001</TD>\r\n<TD>a&lt;b &amp; &quot;c&quot; &gt; d</TD></TR>\r\n" +
           kHtmlLast},
      {"htm: UTF-8, as the page declares",
       ExportFormat::Htm,
       {umlaut},
       kHtmlFirst + "<TR><TD>01.03.2001</TD>\r\n<TD>M\xC3\xA4rz</TD></TR>\r\n" + kHtmlLast},
      {"txt: nothing", ExportFormat::Txt, {}, ""},
      {"txt: list lines",
       ExportFormat::Txt,
       {feier, tabbed, fromDialog},
       "24.12.1975   Feier\r\n01.05.2001   a\tb\r\n24.12.           Ohne\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(exportFileBytes(c.records, c.format), c.want);
  }
}

TEST(ExportWriter, DatReadsBackUnchanged) {
  EventRecord odd = event(1975, 12, 24, "Feier");
  odd.isProtected = 1;
  odd.autoDelete = 1;
  odd.highPriority = 3;
  odd.reserved[0] = 0xFE;
  odd.textBytes[120] = 'x';
  const std::vector<EventRecord> records = {odd, fromTavik3, everyYear, markup};
  const ImportResult got = readImportBytes(exportFileBytes(records, ExportFormat::Dat), nullptr);
  EXPECT_EQ(got.status(), "lese Format: Tavik4");
  ASSERT_EQ(got.candidates.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(got.candidates[i].record, records[i]) << "record " << i + 1;
  }
}

TEST(ExportWriter, CsvReadsBack) {
  EventRecord flagged = feier;
  flagged.highPriority = 1;
  flagged.isProtected = 1;
  const std::vector<EventRecord> records = {flagged,    tabbed,    fromTavik3,
                                            fromDialog, everyYear, umlaut};
  // CSV carries date and text only; years 9999 and 9996 come back year-less in 2000, the
  // dialog's year-less 2000 comes back as a date in 2000.
  EventRecord fromDialogBack = fromDialog;
  fromDialogBack.withoutYear = 0;
  fromDialogBack.computeJubilee = 1;
  const std::vector<EventRecord> want = {
      feier,          event(2001, 5, 1, "a b"),       event(2000, 12, 24, "Alt", 1),
      fromDialogBack, event(2000, 2, 29, "Jeder", 1), umlaut};
  const ImportResult got = readImportBytes(exportFileBytes(records, ExportFormat::Csv), nullptr);
  EXPECT_EQ(got.status(), "lese Format: CSV");
  ASSERT_EQ(got.candidates.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got.candidates[i].record, want[i]) << "record " << i + 1;
  }
}

// Texts from a foreign data file or an import can hold any byte. In the text formats each
// control byte but TAB becomes "?" (TAB: see FileBytes), so every event stays one line and the
// bytes around it are kept; the CSV reads back as it was written.
TEST(ExportWriter, ControlBytesInTextsAreNeutralised) {
  struct Case {
    const char* name;
    std::string text;
    std::string want;
  } const cases[] = {
      {"CR LF", "Zeile\r\n01.01.2001   Falsch", "Zeile??01.01.2001   Falsch"},
      {"lone LF", "a\nb", "a?b"},
      {"lone CR", "a\rb", "a?b"},
      {"NUL inside", std::string("a\0b", 3), "a?b"},
      {"ESC sequence", "\x1B[31mrot", "?[31mrot"},
      {"other C0 and DEL", "\x01\x07\x1F\x7F", "????"},
      {"undefined Windows-1252 bytes", "\x81\x8D\x8F\x90\x9D", "?????"},
      {"printable bytes kept", "M\xE4rz \x80 \xA0\xFF", "M\xE4rz \x80 \xA0\xFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<EventRecord> records = {event(2001, 5, 1, c.text), feier};
    EXPECT_EQ(exportFileBytes(records, ExportFormat::Csv),
              "01.05.2001\t" + c.want + "\r\n24.12.1975\tFeier\r\n");
    EXPECT_EQ(exportFileBytes(records, ExportFormat::Txt),
              "01.05.2001   " + c.want + "\r\n24.12.1975   Feier\r\n");
    EXPECT_EQ(exportFileBytes(records, ExportFormat::Htm),
              kHtmlFirst + "<TR><TD>01.05.2001</TD>\r\n<TD>" + htmlEscape(cp1252ToUtf8(c.want)) +
                  "</TD></TR>\r\n<TR><TD>24.12.1975</TD>\r\n<TD>Feier</TD></TR>\r\n" + kHtmlLast);
    // The data file format keeps every byte.
    EXPECT_EQ(exportFileBytes(records, ExportFormat::Dat), image(records[0]) + image(feier));

    const ImportResult back = readImportBytes(exportFileBytes(records, ExportFormat::Csv), nullptr);
    EXPECT_EQ(back.status(), "lese Format: CSV");
    ASSERT_EQ(back.candidates.size(), 2u);
    EXPECT_EQ(back.candidates[0].record.text(), c.want);
  }
}

TEST(ExportWriter, TextsInOtherScripts) {
  EventRecord ayse = event(1980, 5, 1, "");
  ASSERT_EQ(setEventText(ayse,
                         "Geburtstag Ay\xC5\x9F"
                         "e"),
            TextStore::Stored);
  EventRecord dmitri = event(1981, 6, 2, "");
  ASSERT_EQ(setEventText(dmitri, "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9"),
            TextStore::Stored);
  const std::vector<EventRecord> records = {ayse, feier, dmitri};
  // CSV and txt stay Windows-1252 and carry the fallback, and say how many they wrote so.
  EXPECT_EQ(exportFileBytes(records, ExportFormat::Csv),
            "01.05.1980\tGeburtstag Ayse\r\n24.12.1975\tFeier\r\n02.06.1981\tDmitrij\r\n");
  EXPECT_EQ(exportFileBytes(records, ExportFormat::Txt),
            "01.05.1980   Geburtstag Ayse\r\n24.12.1975   Feier\r\n02.06.1981   Dmitrij\r\n");
  EXPECT_EQ(fallbackTextCount(records, ExportFormat::Csv), 2);
  EXPECT_EQ(fallbackTextCount(records, ExportFormat::Txt), 2);
  for (const ExportFormat whole : {ExportFormat::Dat, ExportFormat::Htm, ExportFormat::Ics}) {
    EXPECT_EQ(fallbackTextCount(records, whole), 0);
  }
  EXPECT_EQ(exportDoneMessage(0), "Export erfolgreich!");
  EXPECT_EQ(exportDoneMessage(1),
            "Export erfolgreich! 1 Text in lateinischer Ersatzschreibweise geschrieben.");
  EXPECT_EQ(exportDoneMessage(2),
            "Export erfolgreich! 2 Texte in lateinischer Ersatzschreibweise geschrieben.");
  // HTML carries the full texts in the UTF-8 it declares.
  const std::string html = exportFileBytes(records, ExportFormat::Htm);
  EXPECT_NE(html.find("<TD>Geburtstag Ay\xC5\x9F"
                      "e</TD>"),
            std::string::npos);
  EXPECT_NE(html.find("<TD>\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9</TD>"),
            std::string::npos);
  // The data file format carries the blocks: read back, the full texts are there.
  const ImportResult back = readImportBytes(exportFileBytes(records, ExportFormat::Dat), nullptr);
  ASSERT_EQ(back.candidates.size(), 3u);
  EXPECT_EQ(back.candidates[0].record, ayse);
  EXPECT_EQ(eventText(back.candidates[2].record), eventText(dmitri));
  // A CSV written with fallbacks reads back as those, the count told the user.
  test::TempDir dir;
  FakeFiles files;
  const std::string path = dir.file("x.csv");
  EXPECT_EQ(writeExportFile(files, path, records, ExportFormat::Csv), 2);
  const ImportResult csv = readImportBytes(test::readFile(path), nullptr);
  ASSERT_EQ(csv.candidates.size(), 3u);
  EXPECT_EQ(eventText(csv.candidates[0].record), "Geburtstag Ayse");
}

TEST(ExportWriter, CsvStartingWithYear9996IsNotTakenForCsv) {
  const std::vector<EventRecord> records = {everyYear, feier};
  EXPECT_NE(detectImportFormat(exportFileBytes(records, ExportFormat::Csv)), ImportFormat::Csv);
}

TEST(ExportWriter, WritesFile) {
  test::TempDir dir;
  FakeFiles files;
  const std::string path = dir.file("export.csv");
  test::writeFile(path, "alter Inhalt, viel laenger als der neue");
  writeExportFile(files, path, std::vector<EventRecord>{feier}, ExportFormat::Csv);
  EXPECT_EQ(test::readFile(path), "24.12.1975\tFeier\r\n");
}

TEST(ExportWriter, FailuresAreFileErrorsAndKeepTheOldFile) {
  struct Case {
    const char* name;
    Op op;
    int errorNumber;
    const char* text;
  } const cases[] = {
      {"cannot create", Op::Open, EACCES, "Dateizugriff verweigert."},
      {"disk full", Op::Write, ENOSPC, "Zu wenig Speicherplatz."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    FakeFiles files;
    const std::string path = dir.file("export.txt");
    test::writeFile(path, "alt");
    files.failAt(c.op, 1, c.errorNumber);
    try {
      writeExportFile(files, path, std::vector<EventRecord>{feier}, ExportFormat::Txt);
      ADD_FAILURE() << "no failure";
    } catch (const FileError& e) {
      EXPECT_EQ(e.userMessage(), c.text);
    }
    EXPECT_EQ(test::readFile(path), "alt");
  }
}

}  // namespace
}  // namespace tavik
