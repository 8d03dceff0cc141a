#include "dates/date_text.h"

#include <gtest/gtest.h>

#include "store/day_number.h"
#include "store/event_text.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

TEST(DateText, Padding) {
  struct Case {
    std::int32_t n;
    const char* zero;
    const char* blank;
  } const cases[] = {
      {0, "00", "  0"}, {7, "07", "  7"}, {9, "09", "  9"},    {10, "10", "10"},
      {12, "12", "12"}, {99, "99", "99"}, {100, "100", "100"}, {2006, "2006", "2006"},
      {-1, "-1", "-1"}, {-3, "-3", "-3"}, {-4, "-4", "-4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(zeroPad2(c.n), c.zero);
    EXPECT_EQ(blankPad2(c.n), c.blank);
  }
}

TEST(DateText, DayMonthYear) {
  EXPECT_EQ(formatDayMonthYear(24, 12, 9996), "24.12.        ");
  EXPECT_EQ(formatDayMonthYear(24, 12, 9996).size(), 14u);
  EXPECT_EQ(formatDayMonthYear(29, 2, 9996), "29.02.        ");
  EXPECT_EQ(formatDayMonthYear(3, 10, 1989), "03.10.1989");
  EXPECT_EQ(formatDayMonthYear(1, 1, 5), "01.01.05");
  EXPECT_EQ(formatDayMonthYear(1, 1, 123), "01.01.123");
}

EventRecord event(int y, int m, int d, std::string_view text, bool withoutYear) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(y, m, d));
  r.setText(text);
  r.withoutYear = withoutYear ? 1 : 0;
  return r;
}

EventRecord unicodeEvent(std::string_view utf8) {
  EventRecord r = event(1970, 3, 5, "", false);
  giveExtension(r);
  EXPECT_EQ(setEventText(r, utf8), TextStore::Stored);
  return r;
}

// Another program's bytes in the reserved field: the Windows-1252 text is all there is.
EventRecord foreignEvent() {
  EventRecord r = event(1970, 3, 5,
                        "Gr\xFC\xDF"
                        "e",
                        false);
  r.reserved[0] = 'Q';
  return r;
}

TEST(DateText, EventLine) {
  struct Case {
    const char* name;
    EventRecord record;
    std::string want;
  } const cases[] = {
      {"dated", event(1970, 3, 5, "Feier", false), "05.03.1970   Feier"},
      {"year-less", event(2000, 12, 24, "Feier", true), "24.12.           Feier"},
      {"year-less leap day", event(2000, 2, 29, "X", true), "29.02.           X"},
      {"empty text", event(1970, 3, 5, "", false), "05.03.1970   "},
      {"empty text year-less", event(2000, 3, 5, "", true), "05.03.           "},
      {"9996 without the switch", event(9996, 3, 5, "A", false), "05.03.9996   A"},
      {"text of 200", event(1970, 3, 5, std::string(200, 'x'), false),
       "05.03.1970   " + std::string(200, 'x')},
      {"Windows-1252 becomes UTF-8", event(1970, 3, 5, "M\xE4rz \x80 \x81", false),
       "05.03.1970   März € \u0081"},
      {"the extension's text", unicodeEvent("Ayşe Yılmaz"), "05.03.1970   Ayşe Yılmaz"},
      {"extension without a Unicode text", unicodeEvent("Jörg"), "05.03.1970   Jörg"},
      {"foreign reserved bytes", foreignEvent(), "05.03.1970   Grüße"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(formatEventLine(c.record), c.want);
    EXPECT_EQ(eventLineDate(c.record) + eventText(c.record), c.want);
  }
}

TEST(DateText, LengthByteCountsNotTheBytesAfterIt) {
  EventRecord r = event(1970, 3, 5, "abcdefgh", false);
  r.textLength = 5;
  EXPECT_EQ(formatEventLine(r), "05.03.1970   abcde");
}

}  // namespace
}  // namespace tavik
