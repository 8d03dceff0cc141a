// Event texts in a process where ICU is never loaded or cannot be: its main points the loader
// at libraries that do not exist before any test runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dates/countdown.h"
#include "store/event_table.h"
#include "store/event_text.h"
#include "store/icu_library.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

constexpr const char* kMissingUc = "libtavik-missing-icuuc.so.0";

std::string repeat(std::string_view piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

EventRecord on(int year, int month, int day) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(year, month, day));
  return r;
}

// A record with a Unicode text as a data file holds it: the fallback beside it already made.
EventRecord stored(EventRecord r, std::string_view fallback, std::string_view unicode) {
  EXPECT_TRUE(giveExtension(r));
  r.setText(fallback);
  writeUnicodeText(r, unicode);
  return r;
}

// Runs first (and alone under CTest): nothing a table of plain texts, or of texts stored
// already below U+0300, does at start may load ICU.
TEST(WithoutIcu, PlainTablesNeverLoadIt) {
  ASSERT_FALSE(icuLoadTried()) << "another test loaded ICU first";
  EventTable table;
  int slot = 0;
  for (const char* text : {"Jürgen Groß €", "Anna", "Anna", "anna", "Zoë „Zö“ – ™", "Müller"}) {
    EventRecord r = on(1980, 12, 15);
    ASSERT_EQ(setEventText(r, text), TextStore::Stored) << text;
    table.storeRecord(++slot, r);
  }
  // Unicode texts whose fallbacks tie would need the collator; these do not tie.
  table.storeRecord(++slot, stored(on(1975, 12, 15), "Lukasz", "Łukasz"));
  table.storeRecord(++slot, stored(on(1975, 12, 15), "Lukasz L", "Łukasz Ł"));
  table.storeRecord(++slot, stored(on(1975, 12, 16), "Ayse", "Ayşe"));
  const Settings settings{.prior = 2, .lastshown = *makeDayNumber(2006, 12, 10)};
  const ViewResult view =
      computeView(table, settings, HolidaySelection{}, *makeDayNumber(2006, 12, 15), true);
  ASSERT_GE(view.lines.size(), 9u);
  EXPECT_NE(
      std::find_if(view.lines.begin(), view.lines.end(),
                   [](const std::string& l) { return l.find("Łukasz Ł") != std::string::npos; }),
      view.lines.end());

  EXPECT_EQ(nfcText("Zoë Šimić – Łódź"), "Zoë Šimić – Łódź");
  EXPECT_EQ(fittingText(repeat("ä", 199) + "\r\nb"), repeat("ä", 199));
  EXPECT_EQ(fallbackText("Jürgen"), "J\xFCrgen");
  EXPECT_LT(textSortKey("Anna"), textSortKey("Bernd"));
  EXPECT_EQ(printableText("Ayşe\n"), "Ayşe\xEF\xBF\xBD");
  EXPECT_FALSE(icuLoadTried());
}

TEST(WithoutIcu, TextsThatNeedItFallBackSafely) {
  EXPECT_EQ(icuLibrary(), nullptr);
  EXPECT_NE(icuLoadError().find(kMissingUc), std::string::npos) << icuLoadError();

  // Texts that need normalising cannot be stored and leave the record as it was; texts in
  // NFC whatever they hold are stored with a cruder fallback.
  struct Case {
    const char* name;
    const char* text;
    TextStore want;
    const char* fallback;  // the Windows-1252 field when stored
  };
  const Case cases[] = {
      {"Windows-1252", "Jürgen", TextStore::Stored, "J\xFCrgen"},
      {"below U+0300", "Łukasz Wiśniewski", TextStore::Stored, "?ukasz Wi?niewski"},
      {"decomposed", "Zoe\xCC\x88", TextStore::NoUnicodeLibrary, nullptr},
      {"Cyrillic", "Дмитрий", TextStore::NoUnicodeLibrary, nullptr},
      {"not UTF-8", "bad \xC3", TextStore::NotUtf8, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventRecord r = on(1990, 5, 17);
    const EventRecord before = r;
    ASSERT_EQ(setEventText(r, c.text), c.want);
    if (c.want != TextStore::Stored) {
      EXPECT_EQ(r, before);
      continue;
    }
    EXPECT_EQ(eventText(r), c.text);
    EXPECT_EQ(r.text(), c.fallback);
  }

  // A text stored where ICU was at hand still reads, and a save keeps it.
  EventRecord cyrillic = stored(on(1990, 5, 17), "Dmitrij", "Дмитрий");
  EXPECT_EQ(eventText(cyrillic), "Дмитрий");
  EXPECT_FALSE(dropUnreadableText(cyrillic));
  EventRecord broken = stored(on(1990, 5, 17), "Dmitrij", "Дмитрий");
  broken.reserved[kUnicodeTextAt] = 0xFF;
  EXPECT_EQ(eventText(broken), "Dmitrij") << "ill-formed bytes still read as absent";

  // Cut between code points; sorted by fallback, then by bytes.
  EXPECT_EQ(fittingText(repeat("Д", 100)), repeat("Д", 89));
  EXPECT_EQ(fallbackText("Дима"), "????");
  EXPECT_LT(textSortKey("Дима", "Dima"), textSortKey("Дмитрий", "Dmitrij"));
  EXPECT_LT(textSortKey("Дима", "Dima"), textSortKey("Дима!", "Dima"));
  EXPECT_LT(textSortKey("Dima"), textSortKey("Дима", "Dima"));
}

}  // namespace
}  // namespace tavik

int main(int argc, char** argv) {
  tavik::setIcuLibraryNamesForTest(tavik::kMissingUc, "libtavik-missing-icui18n.so.0");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
