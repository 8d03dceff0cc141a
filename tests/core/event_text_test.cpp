#include "store/event_text.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <array>
#include <thread>
#include <vector>

#include "store/cp1252.h"
#include "store/data_file.h"
#include "store/event_table.h"
#include "store/icu_library.h"
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

TEST(EventText, LongTransliterationIsWhole) {
  // Each Han character becomes a syllable and a space: far longer than the text itself.
  EXPECT_EQ(fallbackText(repeat("王", 60)), repeat("wang ", 60).substr(0, 200));
}

// The characters handled without ICU: those below U+0300 and those Windows-1252 holds. By
// ICU's own properties none of them combines, decomposes or joins a neighbour into one
// user-perceived character (but CR with LF), so the texts of them need no tables.
TEST(EventText, SimpleCharactersNeedNoIcu) {
  std::vector<UChar32> simple;
  for (UChar32 c = 0; c < 0x300; ++c) simple.push_back(c);
  for (int b = 0x80; b < 0xA0; ++b)
    simple.push_back(static_cast<UChar32>(cp1252CodePoint(static_cast<unsigned char>(b))));
  std::string all;
  for (const UChar32 c : simple) {
    SCOPED_TRACE(testing::Message() << "U+" << std::hex << c);
    EXPECT_EQ(u_getCombiningClass(c), 0);
    EXPECT_EQ(u_getIntPropertyValue(c, UCHAR_NFC_QUICK_CHECK), UNORM_YES);
    const auto breaks = u_getIntPropertyValue(c, UCHAR_GRAPHEME_CLUSTER_BREAK);
    EXPECT_TRUE(breaks == U_GCB_OTHER || breaks == U_GCB_CONTROL || breaks == U_GCB_CR ||
                breaks == U_GCB_LF)
        << breaks;
    appendUtf8(all, static_cast<char32_t>(c));
  }
  EXPECT_TRUE(isSimpleText(all));
  EXPECT_EQ(nfcText(all), all);
  for (const char* text : {"a\xCC\x80", "Д", "王", "🎂", "\xE2\x80\x8D", "bad \xC3"}) {
    EXPECT_FALSE(isSimpleText(text)) << text;
  }
}

// The import stores texts on its own thread while the window sorts its own: ICU's first load
// and its objects per thread must hold up.
TEST(EventText, TextsInAnyScriptOnSeveralThreads) {
  const std::array<std::string, 4> texts = {"Дмитрий", "王小明", "Ayşe", "Zoe\xCC\x88 S\xCC\x8C"};
  std::array<std::vector<std::string>, 4> got;
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < got.size(); ++t) {
    threads.emplace_back([&texts, &out = got[t]] {
      for (int round = 0; round < 20; ++round) {
        for (const std::string& text : texts) {
          EventRecord r;
          if (setEventText(r, text) != TextStore::Stored) return;
          out.push_back(eventText(r) + "|" + r.text() + "|" + textSortKey(text));
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<std::string> want;
  for (int round = 0; round < 20; ++round) {
    for (const std::string& text : texts) {
      EventRecord r;
      ASSERT_EQ(setEventText(r, text), TextStore::Stored);
      want.push_back(eventText(r) + "|" + r.text() + "|" + textSortKey(text));
    }
  }
  ASSERT_NE(icuLibrary(), nullptr) << icuLoadError();
  for (const auto& out : got) EXPECT_EQ(out, want);
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
  // CR LF is one character: kept or cut whole, with and without ICU's break rules.
  EXPECT_EQ(fittingText(repeat("a", 199) + "\r\nb"), repeat("a", 199));
  EXPECT_EQ(fittingText(repeat("ş", 89) + "\r\nb"), repeat("ş", 89));
  EXPECT_EQ(fittingText(repeat("Д", 89) + "\r\nb"), repeat("Д", 89));
  EXPECT_EQ(fittingText(repeat("ş", 88) + "\r\nşb"), repeat("ş", 88) + "\r\n");
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
