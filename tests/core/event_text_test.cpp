#include "store/event_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "store/data_file.h"
#include "store/event_table.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

EventRecord dated() {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(1990, 5, 17));
  return r;
}

std::string repeat(std::string_view piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

TEST(EventText, FallbackForms) {
  struct Case {
    const char* text;
    const char* fallback;
  };
  const Case cases[] = {
      {"Ayşe Yılmaz", "Ayse Yilmaz"},
      {"Mehmet Doğan", "Mehmet Dogan"},
      {"Łukasz Wiśniewski", "Lukasz Wisniewski"},
      {"Jiří Dvořák", "Jir\xED Dvor\xE1k"},  // í and á are Windows-1252 and stay
      {"Zoë Šimić", "Zo\xEB \x8Aimic"},
      {"Ioana Bădescu", "Ioana Badescu"},
      {"Γιώργος", "Giorgos"},
      {"Дмитрий", "Dmitrij"},
      {"王小明", "wang xiao ming"},
      {"Geburtstag 🎂", "Geburtstag ?"},
      {"👨‍👩‍👧 Familientag", "??? Familientag"},  // the joiners between go
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fallbackText(c.text), c.fallback) << c.text;
    EventRecord r = dated();
    ASSERT_EQ(setEventText(r, c.text), TextStore::Stored) << c.text;
    EXPECT_EQ(eventText(r), c.text);
    EXPECT_TRUE(hasUnicodeText(r));
    EXPECT_EQ(r.text(), c.fallback);
  }
}

TEST(EventText, WindowsTextsStayWhereTheyWere) {
  EventRecord r = dated();
  ASSERT_EQ(setEventText(r, "Jürgen Groß €"), TextStore::Stored);
  EXPECT_EQ(r.text(), "J\xFCrgen Gro\xDF \x80");
  EXPECT_EQ(reservedUse(r), ReservedUse::None) << "a plain text needs no extension";
  // A Unicode text replaced by a plain one leaves no stale copy behind.
  ASSERT_EQ(setEventText(r, "Łukasz"), TextStore::Stored);
  ASSERT_EQ(setEventText(r, "Lukas"), TextStore::Stored);
  EXPECT_FALSE(hasUnicodeText(r));
  EXPECT_EQ(eventText(r), "Lukas");
  EXPECT_EQ(r.reserved[kUnicodeLengthAt], 0);
}

TEST(EventText, DecomposedTextIsComposed) {
  EventRecord r = dated();
  ASSERT_EQ(setEventText(r, "Zoe\xCC\x88 S\xCC\x8Cimic\xCC\x81"), TextStore::Stored);
  EXPECT_EQ(eventText(r), "Zoë Šimić");
  ASSERT_EQ(setEventText(r, "Jo\xCC\x88rg"), TextStore::Stored);  // composes into Windows-1252
  EXPECT_EQ(r.text(), "J\xF6rg");
  EXPECT_EQ(setEventText(r, "bad \xC3"), TextStore::NotUtf8);
  EXPECT_EQ(r.text(), "J\xF6rg") << "a refused text changes nothing";
}

TEST(EventText, LengthLimitsCutBetweenCharacters) {
  // Windows-1252 texts: 200 characters; others: 179 UTF-8 bytes, never inside a character.
  EXPECT_EQ(fittingText(repeat("ä", 250)), repeat("ä", 200));
  EXPECT_EQ(fittingText(repeat("ş", 100)), repeat("ş", 89));   // 2 bytes each: 178
  EXPECT_EQ(fittingText(repeat("王", 70)), repeat("王", 59));  // 3 bytes each: 177
  EXPECT_EQ(fittingText(repeat("🎂", 50)), repeat("🎂", 44));    // 4 bytes each: 176
  // A letter with a combining mark is one character: it is kept or cut whole.
  const std::string marked = "q\xCC\x83";  // q + combining tilde, no composed form
  const std::string cut = fittingText(repeat(marked, 70));
  EXPECT_EQ(cut, repeat(marked, 59));
  // A plain start longer than the extension holds is kept plain, without what follows.
  EXPECT_EQ(fittingText(repeat("a", 199) + "ş" + repeat("b", 10)), repeat("a", 199));
  EXPECT_EQ(fittingText(repeat("a", 170) + "ş" + repeat("b", 40)),
            repeat("a", 170) + "ş" + repeat("b", 7));
  EXPECT_TRUE(textFits(repeat("ä", 200)));
  EXPECT_FALSE(textFits(repeat("ä", 201)));
  EXPECT_TRUE(textFits(repeat("ş", 89)));
  EXPECT_FALSE(textFits(repeat("ş", 90)));
  EventRecord r = dated();
  ASSERT_EQ(setEventText(r, repeat("Дмитрий ", 40)), TextStore::Stored);
  EXPECT_LE(eventText(r).size(), kMaxUnicodeBytes);
  EXPECT_LE(r.text().size(), kMaxTextLength);
}

TEST(EventText, SortsPlainTextsAsBeforeAndOthersByTheirForm) {
  std::vector<std::string> texts = {"Zoë Šimić", "Дмитрий", "ayşe",   "Ayse",  "Ayşe",
                                    "Lukas",     "Łukasz",  "Müller", "Dmitri"};
  std::sort(texts.begin(), texts.end(), [](const std::string& a, const std::string& b) {
    return textSortKey(a) < textSortKey(b);
  });
  const std::vector<std::string> expected = {"Ayse",  "Ayşe",   "ayşe",   "Dmitri",   "Дмитрий",
                                             "Lukas", "Łukasz", "Müller", "Zoë Šimić"};
  EXPECT_EQ(texts, expected);
}

TEST(EventText, PrintableTextNeutralisesControlsAndBadBytes) {
  EXPECT_EQ(printableText("Ayşe\nEvil\x1B[2J\xC2\x85x\xFF"),
            "Ayşe\xEF\xBF\xBD"
            "Evil\xEF\xBF\xBD[2J\xEF\xBF\xBDx\xEF\xBF\xBD");
}

// The record extension as read from a data file: ours, none, foreign, and damaged blocks.
TEST(RecordExtension, ReadsOnlyWhatIsSound) {
  EventRecord base = dated();
  ASSERT_EQ(setEventText(base, "Ayşe"), TextStore::Stored);
  ASSERT_EQ(reservedUse(base), ReservedUse::Extension);

  struct Case {
    const char* name;
    void (*damage)(EventRecord&);
    bool readable;
  };
  const Case cases[] = {
      {"sound", [](EventRecord&) {}, true},
      {"length past the block", [](EventRecord& r) { r.reserved[kUnicodeLengthAt] = 180; }, false},
      {"invalid UTF-8", [](EventRecord& r) { r.reserved[kUnicodeTextAt + 2] = 0xFF; }, false},
      {"text changed by another program", [](EventRecord& r) { r.textBytes[0] = 'E'; }, false},
      {"not NFC",
       [](EventRecord& r) {
         // "Ayşe" with ş decomposed, the check made to fit: the text still reads as absent.
         const std::string decomposed =
             "Ays\xCC\xA7"
             "e";
         writeUnicodeText(r, decomposed);
       },
       false},
  };
  for (const Case& c : cases) {
    EventRecord r = base;
    c.damage(r);
    const auto extension = readExtension(r);
    ASSERT_TRUE(extension) << c.name;
    EXPECT_EQ(extension->uid, readExtension(base)->uid) << c.name;
    EXPECT_EQ(!extension->unicodeText.empty(), c.readable) << c.name;
    EXPECT_EQ(eventText(r), c.readable ? "Ayşe" : r.text()) << c.name;
    // The next save drops a text that does not read, and nothing else.
    EventRecord saved = r;
    EXPECT_EQ(dropUnreadableText(saved), !c.readable) << c.name;
    EXPECT_EQ(saved.text(), r.text()) << c.name;
    EXPECT_EQ(readExtension(saved)->uid, extension->uid) << c.name;
  }

  EventRecord foreign = dated();
  foreign.reserved[100] = 7;
  EXPECT_EQ(reservedUse(foreign), ReservedUse::Foreign);
  EXPECT_FALSE(readExtension(foreign));
  EXPECT_FALSE(giveExtension(foreign));
  const EventRecord before = foreign;
  EXPECT_EQ(setEventText(foreign, "Ayşe"), TextStore::NeedsExtension);
  EXPECT_EQ(foreign, before) << "another program's bytes are never overwritten";
  EXPECT_EQ(setEventText(foreign, "Anna"), TextStore::Stored);
  EXPECT_EQ(foreign.reserved, before.reserved);

  EventRecord future = dated();  // a later block version is another program's too
  future.reserved = base.reserved;
  future.reserved[3] = 2;
  EXPECT_EQ(reservedUse(future), ReservedUse::Foreign);

  EventRecord outOfRange = base;
  outOfRange.reserved[kLeadDaysAt] = 200;
  EXPECT_EQ(readExtension(outOfRange)->leadDays, 0);
  EXPECT_EQ(leadDaysOf(outOfRange), 0);
  // Kinds past the last known one are none; the known ones read as stored.
  for (const int kind : {0, 1, 6, 7, 255}) {
    SCOPED_TRACE(kind);
    EventRecord r = base;
    r.reserved[kKindAt] = static_cast<std::uint8_t>(kind);
    r.reserved[kLeadDaysAt] = 99;
    const int want = kind <= 6 ? kind : 0;
    EXPECT_EQ(readExtension(r)->kind, want);
    EXPECT_EQ(kindOf(r), want);
    EXPECT_EQ(leadDaysOf(r), 99);
  }
  // Foreign bytes at those offsets are no kind and no lead time.
  foreign.reserved[kKindAt] = 1;
  foreign.reserved[kLeadDaysAt] = 7;
  EXPECT_EQ(kindOf(foreign), 0);
  EXPECT_EQ(leadDaysOf(foreign), 0);
}

TEST(RecordExtension, UidTextRoundTrip) {
  const Uid uid = randomUid();
  const std::string text = uidText(uid);
  ASSERT_EQ(text.size(), 36u);
  EXPECT_EQ(text[8], '-');
  EXPECT_EQ(uidFromText(text), uid);
  EXPECT_FALSE(uidFromText("7d3c0b9e-0000-0000-0000-00000000000g"));
  EXPECT_FALSE(uidFromText("7d3c0b9e"));
  EXPECT_NE(randomUid(), randomUid());
}

TEST(EventTable, IdentitiesStayUnique) {
  EventTable table;
  EventRecord r = dated();
  ASSERT_TRUE(giveExtension(r));
  table.placeRecord(1, r);
  const Uid first = readExtension(table.record(1))->uid;
  EXPECT_EQ(first, readExtension(r)->uid) << "a new uid keeps it";
  table.placeRecord(2, r);  // the same record imported again
  const Uid second = readExtension(table.record(2))->uid;
  EXPECT_NE(second, first);
  EXPECT_EQ(readExtension(table.record(1))->uid, first) << "the one already there keeps its own";
  table.freeSlot(1);
  table.placeRecord(3, r);  // a free slot's uid does not count
  EXPECT_EQ(readExtension(table.record(3))->uid, first);

  EventRecord plain = dated();
  table.storeRecord(4, plain);
  const auto given = table.ensureIdentity(4);
  ASSERT_TRUE(given);
  EXPECT_EQ(table.ensureIdentity(4), given) << "an identity, once given, stays";
  EventRecord foreign = dated();
  foreign.reserved[205] = 1;
  table.storeRecord(5, foreign);
  EXPECT_FALSE(table.ensureIdentity(5));
  EXPECT_EQ(table.record(5).reserved, foreign.reserved);
}

}  // namespace
}  // namespace tavik
