#include "store/day_number.h"

#include <gtest/gtest.h>

namespace tavik {
namespace {

TEST(DayNumber, KnownDays) {
  struct Case {
    const char* name;
    Ymd date;
    std::int32_t want;
  } const cases[] = {
      {.name = "epoch", .date = {1899, 12, 30}, .want = 0},
      {.name = "day 1", .date = {1899, 12, 31}, .want = 1},
      {.name = "before the epoch", .date = {1899, 12, 29}, .want = -1},
      {.name = "1 Jan 2006", .date = {2006, 1, 1}, .want = 38718},
      {.name = "first day", .date = {1, 1, 1}, .want = -693593},
      {.name = "last day", .date = {9999, 12, 31}, .want = 2958465},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto n = makeDayNumber(c.date);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(n->value, c.want);
    EXPECT_EQ(splitDayNumber(*n), c.date);
  }
}

TEST(DayNumber, DaysThatDoNotExistFail) {
  const Ymd bad[] = {{2001, 2, 29}, {1900, 2, 29}, {2001, 4, 31}, {2001, 13, 1},
                     {2001, 0, 1},  {2001, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
  for (const Ymd& d : bad) {
    SCOPED_TRACE(std::to_string(d.year) + "-" + std::to_string(d.month) + "-" +
                 std::to_string(d.day));
    EXPECT_FALSE(makeDayNumber(d).has_value());
  }
  EXPECT_TRUE(makeDayNumber(2000, 2, 29).has_value());
  EXPECT_TRUE(makeDayNumber(9996, 2, 29).has_value());
}

TEST(DayNumber, EveryDayOfYears1To9999RoundTripsAndStepsByOne) {
  std::int32_t expected = makeDayNumber(1, 1, 1)->value;
  for (int y = 1; y <= 9999; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= daysInMonth(y, m); ++d) {
        const auto n = makeDayNumber(y, m, d);
        ASSERT_TRUE(n.has_value()) << y << "-" << m << "-" << d;
        ASSERT_EQ(n->value, expected) << y << "-" << m << "-" << d;
        const auto back = splitDayNumber(*n);
        ASSERT_TRUE(back.has_value());
        ASSERT_EQ(*back, (Ymd{y, m, d}));
        ++expected;
      }
    }
  }
  EXPECT_FALSE(splitDayNumber(DayNumber{expected}).has_value());
  EXPECT_FALSE(splitDayNumber(DayNumber{makeDayNumber(1, 1, 1)->value - 1}).has_value());
}

TEST(DayNumber, DoublesThatAreNoDayAreRejected) {
  EXPECT_EQ(dayNumberFromDouble(38718.0)->value, 38718);
  EXPECT_FALSE(dayNumberFromDouble(38718.5).has_value());
  EXPECT_FALSE(dayNumberFromDouble(1e300).has_value());
  EXPECT_FALSE(dayNumberFromDouble(std::numeric_limits<double>::quiet_NaN()).has_value());
  EXPECT_EQ(splitRecordDate(1e300), Ymd{});
}

TEST(DayNumber, Weekday) {
  EXPECT_EQ(weekday(*makeDayNumber(2026, 12, 9)), 3);   // a Wednesday
  EXPECT_EQ(weekday(*makeDayNumber(2006, 12, 24)), 0);  // a Sunday
}

}  // namespace
}  // namespace tavik
