#include "store/text_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "store/cp1252.h"

namespace tavik {
namespace {

std::string cp1252(std::string_view utf8) {
  return *utf8ToCp1252(utf8);
}

// Each list is in list order; every pair must compare that way and not the other way round.
TEST(TextOrder, ListOrder) {
  struct Case {
    const char* name;
    std::vector<std::string> ordered;
  } const cases[] = {
      {"blank before digits before letters",
       {"", " ", " z", "0", "0 ", "00", "9", "a", "a b", "a1", "ab"}},
      {"day texts",
       {"Gestern ", "Heute ", "Morgen ", "Noch   2 Tage", "Noch   9 Tage", "Noch 10 Tage",
        "Noch 100 Tage", "Noch 11 Tage", "Noch 99 Tage"}},
      {"case-insensitive", {"apfel", "Banane", "cello", "Dach"}},
      {"case decides last, by bytes", {"APFEL", "Apfel", "apfel", "Apfelbaum"}},
      {"umlauts with their base letters",
       {cp1252("Anna"), cp1252("Änne"), cp1252("Anton"), cp1252("Ofen"), cp1252("Öl"),
        cp1252("Otto"), cp1252("Zug"), cp1252("Züge"), cp1252("Zugführer")}},
      {"umlaut after its base letter when otherwise equal",
       {cp1252("Muller"), cp1252("Müller"), cp1252("Mullerin"), cp1252("Mut")}},
      {"sharp s as ss",
       {cp1252("MASSE"), cp1252("Masse"), cp1252("Maße"), cp1252("Massen"), cp1252("Mast")}},
      {"accents and ligatures",
       {cp1252("Cafe"), cp1252("Café"), cp1252("Cafes"), cp1252("Oe"), cp1252("Œuvre"),
        cp1252("Of")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (std::size_t i = 0; i < c.ordered.size(); ++i) {
      for (std::size_t j = i + 1; j < c.ordered.size(); ++j) {
        SCOPED_TRACE(c.ordered[i] + " | " + c.ordered[j]);
        EXPECT_TRUE(listLess(c.ordered[i], c.ordered[j]));
        EXPECT_FALSE(listLess(c.ordered[j], c.ordered[i]));
        EXPECT_LT(listSortKey(c.ordered[i]), listSortKey(c.ordered[j]));
      }
    }
  }
}

TEST(TextOrder, OnlyEqualTextsAreEquivalent) {
  std::vector<std::string> texts;
  for (int a = 0; a < 256; a += 3) {
    for (int b = 0; b < 256; b += 5) texts.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  std::sort(texts.begin(), texts.end(), listLess);
  for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
    ASSERT_TRUE(listLess(texts[i], texts[i + 1])) << i;
  }
}

// The comparison walks the weights without building keys; both must give one order.
TEST(TextOrder, ComparisonAgreesWithTheKeys) {
  const std::string alphabet = cp1252(" 09aAzZäÄöÖüÜßæŒé-.") + std::string("\x01\x81\xA0");
  std::mt19937 random(4711);
  auto text = [&] {
    std::string t;
    const int length = std::uniform_int_distribution(0, 6)(random);
    for (int i = 0; i < length; ++i) {
      t += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    }
    return t;
  };
  for (int round = 0; round < 20000; ++round) {
    // A shared start makes the texts differ late, as countdown lines do.
    const std::string common = round % 2 == 0 ? "" : "Noch 10 Tage  01.01.2000   ";
    const std::string a = common + text();
    const std::string b = common + text();
    const int byKeys = listSortKey(a) < listSortKey(b)   ? -1
                       : listSortKey(b) < listSortKey(a) ? 1
                                                         : 0;
    ASSERT_EQ(listCompare(a, b), byKeys) << a << " | " << b;
  }
}

}  // namespace
}  // namespace tavik
