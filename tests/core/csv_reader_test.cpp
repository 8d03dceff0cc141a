#include "exchange/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/day_number.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

const std::string kTab = "\t";
const std::string kCrLf = "\r\n";
const std::string kCtrlZ = "\x1a";

struct Want {
  Ymd date;
  std::uint8_t withoutYear;
  std::string text;
};

// A CSV candidate: every field not named is 0, `computeJubilee` is the opposite of `withoutYear`.
EventRecord expected(const Want& w) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(w.date));
  r.setText(w.text);
  r.withoutYear = w.withoutYear;
  r.computeJubilee = w.withoutYear ? 0 : 1;
  return r;
}

TEST(CsvReader, NumberFields) {
  struct Case {
    const char* field;
    long want;
  } const cases[] = {
      {"24", 24}, {"1.", 1}, {"75\t", 75}, {"", 0},   {"\t", 0},    {"  7", 7},
      {"-3", -3}, {"+4", 4}, {"-", 0},     {"x1", 0}, {"0012", 12}, {" -09", -9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    EXPECT_EQ(csvNumber(c.field), c.want);
  }
  // Long digit runs stay far out of range instead of overflowing.
  EXPECT_GT(csvNumber(std::string(40, '9')), 65535);
  EXPECT_LT(csvNumber("-" + std::string(40, '9')), 0);
}

TEST(CsvReader, FirstLineEndsAtCrLfOrCtrlZ) {
  EXPECT_EQ(firstTextLine("ab\ncd\r\nef"), "ab");
  EXPECT_EQ(firstTextLine("ab\rcd"), "ab");
  EXPECT_EQ(firstTextLine("\xEF\xBB\xBF"
                          "24.12.1975\tA\n"),
            "24.12.1975\tA");
  EXPECT_EQ(firstTextLine("ab" + kCtrlZ + "c\rd"), "ab");
  EXPECT_EQ(firstTextLine("abc"), "abc");
}

TEST(CsvReader, Lines) {
  const std::string longText = std::string(150, 'a') + kTab + std::string(100, 'b');
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<Want> want;
    bool ok;
  } const cases[] = {
      {.name = "full date",
       .bytes = "24.12.1975" + kTab + "Feier" + kCrLf,
       .want = {{{1975, 12, 24}, 0, "Feier"}},
       .ok = true},
      {.name = "two-digit year is taken as it stands",
       .bytes = "24.12.75" + kTab + "Feier",
       .want = {{{75, 12, 24}, 0, "Feier"}},
       .ok = true},
      {.name = "no year: year-less in 2000",
       .bytes = "24.12" + kTab + "Feier",
       .want = {{{2000, 12, 24}, 1, "Feier"}},
       .ok = true},
      {.name = "year 00 as the export writes it",
       .bytes = "29.02.00" + kTab + "Schalttag",
       .want = {{{2000, 2, 29}, 1, "Schalttag"}},
       .ok = true},
      {.name = "blank year",
       .bytes = "24.12.        " + kTab + "X",
       .want = {{{2000, 12, 24}, 1, "X"}},
       .ok = true},
      {.name = "year 9996 stays",
       .bytes = "01.05.9996" + kTab + "Mai",
       .want = {{{9996, 5, 1}, 0, "Mai"}},
       .ok = true},
      {.name = "empty text",
       .bytes = "01.05.2001" + kTab,
       .want = {{{2001, 5, 1}, 0, ""}},
       .ok = true},
      {.name = "no leading zeros: month field \".2\" is 0",
       .bytes = "1.2.2003" + kTab + "X" + kCrLf,
       .want = {},
       .ok = false},
      {.name = "ends with an empty line",
       .bytes = "24.12.1975" + kTab + "A" + kCrLf + "01.01.2000" + kTab + "B" + kCrLf + kCrLf,
       .want = {{{1975, 12, 24}, 0, "A"}, {{2000, 1, 1}, 0, "B"}},
       .ok = false},
      {.name = "lone CR ends a line too",
       .bytes = "24.12.1975" + kTab + "A\r01.01.2000" + kTab + "B\r",
       .want = {{{1975, 12, 24}, 0, "A"}, {{2000, 1, 1}, 0, "B"}},
       .ok = true},
      {.name = "LF-only breaks as written on Linux",
       .bytes = "24.12.1975" + kTab + "A\n01.01.2000" + kTab + "B\n",
       .want = {{{1975, 12, 24}, 0, "A"}, {{2000, 1, 1}, 0, "B"}},
       .ok = true},
      {.name = "CR, CR LF and LF mixed",
       .bytes = "24.12.1975" + kTab + "A\r01.01.2000" + kTab + "B\r\n02.01.2000" + kTab + "C\n",
       .want = {{{1975, 12, 24}, 0, "A"}, {{2000, 1, 1}, 0, "B"}, {{2000, 1, 2}, 0, "C"}},
       .ok = true},
      {.name = "an LF after CR LF belongs to the next line",
       .bytes = "24.12.1975" + kTab + "A\r\n\n",
       .want = {{{1975, 12, 24}, 0, "A"}},
       .ok = false},
      {.name = "Ctrl-Z ends the text",
       .bytes = "24.12.1975" + kTab + "A" + kCrLf + kCtrlZ + "kein Datum\r\n",
       .want = {{{1975, 12, 24}, 0, "A"}},
       .ok = true},
      {.name = "long text cut to 200, further TABs kept",
       .bytes = "24.12.1975" + kTab + longText + kCrLf,
       .want = {{{1975, 12, 24}, 0, longText.substr(0, 200)}},
       .ok = true},
      {.name = "no TAB", .bytes = "24.12.1975 Feier", .want = {}, .ok = false},
      {.name = "negative day", .bytes = "-1.12.1975" + kTab + "X", .want = {}, .ok = false},
      {.name = "negative year", .bytes = "01.12.-975" + kTab + "X", .want = {}, .ok = false},
      {.name = "31 April", .bytes = "31.04.2001" + kTab + "X", .want = {}, .ok = false},
      {.name = "29 February of a common year",
       .bytes = "01.01.2001" + kTab + "A" + kCrLf + "29.02.2001" + kTab + "X",
       .want = {{{2001, 1, 1}, 0, "A"}},
       .ok = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult got = readCsv(c.bytes);
    EXPECT_FALSE(got.utf8);
    EXPECT_EQ(got.ok, c.ok);
    ASSERT_EQ(got.candidates.size(), c.want.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(got.candidates[i].record, expected(c.want[i])) << "line " << i + 1;
    }
  }
}

// The record's own fields with its reserved bytes cleared: what the old format held.
EventRecord withoutBlock(EventRecord r) {
  r.reserved.fill(0);
  return r;
}

TEST(CsvReader, Utf8TextFromLinux) {
  const std::string mueller = "M\xC3\xBCller";
  const std::string zhang = "\xE5\xBC\xA0";
  const std::string cake = "\xF0\x9F\x8E\x82";
  struct Case {
    const char* name;
    std::string bytes;
    bool utf8;
    std::vector<Want> want;         // the Windows-1252 fields
    std::vector<std::string> full;  // eventText of each, for UTF-8 files
    int left;                       // lines that are no UTF-8
  } const cases[] = {
      {.name = "UTF-8 with an umlaut is converted",
       .bytes = "24.12.1975" + kTab + mueller + "\n01.01.2000" + kTab + "\xE2\x82\xAC\n",
       .utf8 = true,
       .want = {{{1975, 12, 24}, 0, "M\xFCller"}, {{2000, 1, 1}, 0, "\x80"}},
       .full = {mueller, "\xE2\x82\xAC"},
       .left = 0},
      {.name = "a byte order mark alone makes it UTF-8",
       .bytes = "\xEF\xBB\xBF"
                "24.12.1975" +
                kTab + "A\r\n",
       .utf8 = true,
       .want = {{{1975, 12, 24}, 0, "A"}},
       .full = {"A"},
       .left = 0},
      {.name = "texts in other scripts are kept whole, Windows-1252 holds their fallback",
       .bytes = "24.12.1975" + kTab + zhang + "\n01.01.2000" + kTab + mueller + "\n02.01.2000" +
                kTab + "Torte " + cake + "\n",
       .utf8 = true,
       .want = {{{1975, 12, 24}, 0, "zhang"},
                {{2000, 1, 1}, 0, "M\xFCller"},
                {{2000, 1, 2}, 0, "Torte ?"}},
       .full = {zhang, mueller, "Torte " + cake},
       .left = 0},
      {.name = "behind a byte order mark, a line that is no UTF-8 is left out and counted",
       .bytes = "\xEF\xBB\xBF"
                "24.12.1975" +
                kTab + "M\xFCller\n01.01.2000" + kTab + mueller + "\n",
       .utf8 = true,
       .want = {{{2000, 1, 1}, 0, "M\xFCller"}},
       .full = {mueller},
       .left = 1},
      {.name = "Windows-1252 bytes that are no UTF-8 stay as they are",
       .bytes = "24.12.1975" + kTab + "M\xFCller\r\n01.01.2000" + kTab + mueller + "\r\n",
       .utf8 = false,
       .want = {{{1975, 12, 24}, 0, "M\xFCller"}, {{2000, 1, 1}, 0, "M\xC3\xBCller"}},
       .full = {},
       .left = 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(isUtf8Text(c.bytes), c.utf8);
    const ReadResult got = readCsv(c.bytes);
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.utf8, c.utf8);
    EXPECT_EQ(got.skippedFor(SkipReason::Unstorable), c.left);
    ASSERT_EQ(got.candidates.size(), c.want.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      const EventRecord& r = got.candidates[i].record;
      EXPECT_EQ(withoutBlock(r), expected(c.want[i])) << "line " << i + 1;
      if (c.utf8) {
        // Read as UTF-8, every line is a record of the program's own: with its identity.
        EXPECT_TRUE(readExtension(r).has_value()) << "line " << i + 1;
        EXPECT_EQ(eventText(r), c.full[i]) << "line " << i + 1;
      } else {
        EXPECT_EQ(reservedUse(r), ReservedUse::None) << "line " << i + 1;
      }
    }
  }
}

TEST(CsvReader, Utf8TextIsCutBetweenCharacters) {
  // 100 Greek letters take 200 bytes: more than the 179 of the block. The cut keeps whole
  // characters and the fallback matches what was kept.
  std::string greek;
  for (int i = 0; i < 100; ++i) greek += "\xCE\xB1";
  const ReadResult got = readCsv("24.12.1975" + kTab + greek + "\n");
  ASSERT_EQ(got.candidates.size(), 1U);
  const std::string text = eventText(got.candidates[0].record);
  EXPECT_EQ(text, greek.substr(0, 178));
  EXPECT_EQ(got.candidates[0].record.text(), std::string(89, 'a'));
  EXPECT_EQ(got.skippedFor(SkipReason::Unstorable), 0);
}

}  // namespace
}  // namespace tavik
