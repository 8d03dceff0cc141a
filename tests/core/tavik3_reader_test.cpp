#include "exchange/tavik3_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "exchange/csv_reader.h"
#include "store/day_number.h"

namespace tavik {
namespace {

// One 48-byte record; the bytes that are not read hold noise, and so do the text bytes after
// the text, which must not travel.
std::string t3(std::uint8_t protection, std::uint8_t yearSwitch, std::uint8_t day,
               std::uint8_t month, std::uint16_t year, std::string_view text) {
  std::string r(kTavik3RecordSize, 'Z');
  r[0] = static_cast<char>(protection);
  r[1] = static_cast<char>(yearSwitch);
  r[2] = '\xEE';
  r[3] = static_cast<char>(day);
  r[4] = static_cast<char>(month);
  r[5] = '\xEE';
  r[6] = static_cast<char>(year & 0xFF);
  r[7] = static_cast<char>(year >> 8);
  r[8] = static_cast<char>(text.size());
  r.replace(9, text.size(), text);
  return r;
}

EventRecord expected(Ymd date, std::uint8_t withoutYear, std::uint8_t protection,
                     std::string_view text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(date));
  r.setText(text);
  r.withoutYear = withoutYear;
  r.isProtected = protection;
  r.computeJubilee = 1;
  return r;
}

TEST(Tavik3Reader, Records) {
  const std::string full(39, 'x');
  std::string tooLong = t3(0, 1, 1, 1, 2000, "Lang");
  tooLong[8] = 40;
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<EventRecord> want;
    bool ok;
  } const cases[] = {
      {.name = "with year",
       .bytes = t3(0, 1, 24, 12, 1975, "Feier"),
       .want = {expected({1975, 12, 24}, 0, 0, "Feier")},
       .ok = true},
      {.name = "year switch 0: year-less in 9999, stored year ignored",
       .bytes = t3(1, 0, 24, 12, 1975, "Feier"),
       .want = {expected({9999, 12, 24}, 1, 1, "Feier")},
       .ok = true},
      {.name = "any year switch but 0 means a year",
       .bytes = t3(0, 2, 5, 3, 1970, "A"),
       .want = {expected({1970, 3, 5}, 0, 0, "A")},
       .ok = true},
      {.name = "protection byte copied, 39 characters of text",
       .bytes = t3(2, 1, 1, 1, 1, full),
       .want = {expected({1, 1, 1}, 0, 2, full)},
       .ok = true},
      {.name = "year-less 29 February lands in 2000, the rest is read",
       .bytes = t3(0, 0, 29, 2, 0, "Schalttag") + t3(0, 1, 1, 3, 1999, "Danach"),
       .want = {expected({2000, 2, 29}, 1, 0, "Schalttag"), expected({1999, 3, 1}, 0, 0, "Danach")},
       .ok = true},
      {.name = "29 February of a common year",
       .bytes = t3(0, 1, 1, 1, 2000, "A") + t3(0, 1, 29, 2, 1999, "B"),
       .want = {expected({2000, 1, 1}, 0, 0, "A")},
       .ok = false},
      {.name = "year 0 with the year switch set",
       .bytes = t3(0, 1, 1, 1, 0, "A"),
       .want = {},
       .ok = false},
      {.name = "year above 9999", .bytes = t3(0, 1, 1, 1, 10000, "A"), .want = {}, .ok = false},
      {.name = "month 13", .bytes = t3(0, 0, 1, 13, 0, "A"), .want = {}, .ok = false},
      {.name = "text length above 39", .bytes = tooLong, .want = {}, .ok = false},
      {.name = "short last record",
       .bytes = t3(0, 1, 2, 2, 2002, "A") + std::string(20, '\0'),
       .want = {expected({2002, 2, 2}, 0, 0, "A")},
       .ok = false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult got = readTavik3(c.bytes);
    EXPECT_EQ(got.ok, c.ok);
    ASSERT_EQ(got.candidates.size(), c.want.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(got.candidates[i].record, c.want[i]) << "record " << i + 1;
    }
  }
}

}  // namespace
}  // namespace tavik

namespace tavik {
namespace {

// 30.12.1899 is day 0, a free slot's mark: such a record is left out, the rest is read.
TEST(Tavik3Reader, DayZeroIsLeftOut) {
  const ReadResult r = readTavik3(t3(0, 1, 30, 12, 1899, "Null") + t3(0, 1, 1, 1, 2000, "Eins"));
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.candidates.size(), 1u);
  EXPECT_EQ(r.candidates[0].record, expected({2000, 1, 1}, 0, 0, "Eins"));
}

TEST(CsvReaderDayZero, IsLeftOut) {
  const ReadResult r = readCsv("30.12.1899\tNull\r\n01.01.2000\tEins\r\n");
  EXPECT_TRUE(r.ok);
  ASSERT_EQ(r.candidates.size(), 1u);
  EXPECT_EQ(r.candidates[0].record.text(), "Eins");
}

}  // namespace
}  // namespace tavik
