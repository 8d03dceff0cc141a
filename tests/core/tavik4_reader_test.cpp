#include "exchange/tavik4_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "store/data_file.h"
#include "store/day_number.h"

namespace tavik {
namespace {

EventRecord event(int year, std::string_view text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, 6, 15));
  r.setText(text);
  r.textBytes[150] = 'Q';  // past the text: travels unchanged
  r.isProtected = 1;
  r.autoDelete = 7;
  r.highPriority = 1;
  r.reserved[0] = 0x5A;
  r.reserved[205] = 0xA5;
  return r;
}

std::string image(const EventRecord& r) {
  const RecordImage i = encodeRecord(r);
  return std::string(i.begin(), i.end());
}

EventRecord withDate(double date) {
  EventRecord r = event(2000, "kaputt");
  r.date = date;
  return r;
}

TEST(Tavik4Reader, Records) {
  const EventRecord a = event(1975, "Feier");
  const EventRecord b = event(9999, "Ende");
  EventRecord longText = event(2000, "x");
  longText.textLength = 201;
  EventRecord full = event(2001, std::string(200, 'y'));
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<EventRecord> want;
    bool ok;
  } const cases[] = {
      {"every byte unchanged", image(a) + image(b) + image(full), {a, b, full}, true},
      {"free slot's image skipped", image(a) + image(withDate(0.0)) + image(b), {a, b}, true},
      {"negative zero is a free slot too", image(withDate(-0.0)) + image(a), {a}, true},
      {"short last record", image(a) + std::string(100, '\0'), {a}, false},
      {"NaN date", image(a) + image(withDate(std::nan(""))) + image(b), {a}, false},
      {"fraction of a day", image(withDate(1.5)), {}, false},
      {"after 9999", image(withDate(2958466.0)), {}, false},
      {"before year 1", image(withDate(-693594.0)), {}, false},
      {"infinite", image(withDate(std::numeric_limits<double>::infinity())), {}, false},
      {"text length above 200", image(a) + image(longText), {a}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ReadResult got = readTavik4(c.bytes);
    EXPECT_EQ(got.ok, c.ok);
    ASSERT_EQ(got.candidates.size(), c.want.size());
    for (std::size_t i = 0; i < c.want.size(); ++i) {
      EXPECT_EQ(got.candidates[i].record, c.want[i]) << "record " << i + 1;
    }
  }
}

}  // namespace
}  // namespace tavik
