#include "exchange/export_list.h"

#include <gtest/gtest.h>

#include "store/day_number.h"

namespace tavik {
namespace {

EventRecord event(int year, std::string_view text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, 12, 24));
  r.setText(text);
  return r;
}

TEST(ExportList, OneLinePerUsedSlotInSlotOrder) {
  EventTable table;
  table.storeRecord(9, event(1990, "Zeta"));
  table.storeRecord(2, event(2001, "Beta"));
  table.storeRecord(5, event(1975, "Alpha"));
  table.storeRecord(7, event(1980, "frei"));
  table.freeSlot(7);
  EventRecord yearless = event(2000, "Ohne");
  yearless.withoutYear = 1;
  table.storeRecord(1000, yearless);
  const std::vector<ExportLine> want = {{2, "24.12.2001   Beta"},
                                        {5, "24.12.1975   Alpha"},
                                        {9, "24.12.1990   Zeta"},
                                        {1000, "24.12.           Ohne"}};
  EXPECT_EQ(buildExportList(table), want);
  EXPECT_TRUE(buildExportList(EventTable{}).empty());
}

TEST(ExportList, CountLine) {
  struct Case {
    int lines;
    int ticked;
    const char* want;
  } const cases[] = {
      {0, 0, "Keine Datensätze vorhanden!"},
      {3, 0, "0 Datensätze gewählt!"},
      {3, 2, "2 Datensätze gewählt!"},
      {1000, 1000, "1000 Datensätze gewählt!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    EXPECT_EQ(exportCountLine(c.lines, c.ticked), c.want);
  }
}

}  // namespace
}  // namespace tavik
