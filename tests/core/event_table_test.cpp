#include "store/event_table.h"

#include <gtest/gtest.h>

namespace tavik {
namespace {

EventRecord at(int y, int m, int d, std::uint8_t autoDelete = 1) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(y, m, d));
  r.autoDelete = autoDelete;
  return r;
}

TEST(EventTable, FreshTableHasSlotOneFree) {
  EventTable t;
  EXPECT_EQ(t.findFreeSlot(), 1);
  EXPECT_EQ(t.usedCount(), 0);
}

TEST(EventTable, AddGoesIntoLowestFreeSlot) {
  EventTable t;
  for (int s = 1; s <= 5; ++s) t.storeRecord(s, at(2006, 1, s));
  t.freeSlot(3);
  EXPECT_TRUE(t.slotIsFree(3));
  EXPECT_EQ(t.record(3).autoDelete, 1) << "freeing keeps the other bytes";
  EXPECT_EQ(t.findFreeSlot(), 3);
}

TEST(EventTable, FullTableAnswersFull) {
  EventTable t;
  for (int s = 1; s <= kSlotCount; ++s) t.storeRecord(s, at(2006, 1, 1));
  EXPECT_FALSE(t.findFreeSlot().has_value());
  EXPECT_EQ(t.usedCount(), kSlotCount);
}

TEST(EventTable, AutoDelete) {
  const DayNumber today = *makeDayNumber(2006, 3, 15);
  struct Case {
    const char* name;
    EventRecord record;
    DayNumber today;
    bool freed;
  } const cases[] = {
      {"7 days back stays", at(2006, 3, 8), today, false},
      {"8 days back goes", at(2006, 3, 7), today, true},
      {"years back goes", at(2005, 3, 1), today, true},
      {"autoDelete 0 never goes", at(1990, 1, 1, 0), today, false},
      {"any non-zero switch counts", at(1990, 1, 1, 2), today, true},
      {"year-less 2000 from the dialog goes", at(2000, 6, 5), today, true},
      {"year-less 9999 never goes", at(9999, 1, 1), today, false},
      {"9996 uses the current year: 8 days back", at(9996, 3, 7), today, true},
      {"9996 uses the current year: ahead", at(9996, 1, 1), *makeDayNumber(2006, 1, 5), false},
      {"9996 on 29 February in a common year counts as today", at(9996, 2, 29),
       *makeDayNumber(2006, 12, 31), false},
      {"9996 on 29 February in a leap year", at(9996, 2, 29), *makeDayNumber(2008, 12, 31), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventTable t;
    t.storeRecord(1, c.record);
    EXPECT_EQ(t.applyAutoDelete(1, c.today), c.freed);
    EXPECT_EQ(t.slotIsFree(1), c.freed);
  }
}

TEST(EventTable, AutoDeleteIgnoresFreeSlots) {
  EventTable t;
  EXPECT_FALSE(t.applyAutoDelete(1, *makeDayNumber(2006, 1, 1)));
}

}  // namespace
}  // namespace tavik
