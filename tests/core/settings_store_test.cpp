#include "store/settings_store.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/memory_store.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::MemoryStore;

TEST(SettingsStore, FirstStartWritesTheDefaults) {
  MemoryStore store;
  Settings s{.anzdays = 1, .autoclose = 2, .heutebox = 3, .prior = 4, .notify = 5, .inworten = 6};
  loadSettings(store, s);
  EXPECT_EQ(s, Settings{});
  EXPECT_EQ(store.values, (std::map<std::string, std::uint8_t>{{"anzdays", 30},
                                                               {"autoclose", 30},
                                                               {"heutebox", 1},
                                                               {"prior", 0},
                                                               {"notify", 1},
                                                               {"inworten", 0}}));
  EXPECT_TRUE(store.texts.empty()) << "no date is stored before one was shown";
}

TEST(SettingsStore, StoredValuesAreUsedAsStored) {
  MemoryStore store;
  store.values = {{"anzdays", 200}, {"autoclose", 0}, {"heutebox", 0},
                  {"prior", 2},     {"notify", 0},    {"inworten", 7}};
  store.texts = {{"lastshown", "2006-12-08"}};
  Settings s;
  loadSettings(store, s);
  EXPECT_EQ(s, (Settings{.anzdays = 200,
                         .autoclose = 0,
                         .heutebox = 0,
                         .prior = 2,
                         .notify = 0,
                         .inworten = 7,
                         .lastshown = makeDayNumber(2006, 12, 8)}));
}

// An unreadable date is no reason to refuse the start: it counts as none, and nothing else
// changes.
TEST(SettingsStore, UnreadableDateCountsAsNone) {
  for (const char* text : {"", "2006-12-32", "2006-02-29", "06-12-08", "2006-12-08x", "2006/12/08",
                           " 2006-12-08", "0000-01-01", "heute"}) {
    SCOPED_TRACE(text);
    MemoryStore store;
    store.texts = {{"lastshown", text}};
    Settings s{.lastshown = makeDayNumber(2001, 1, 1)};
    loadSettings(store, s);
    EXPECT_EQ(s, Settings{});
    EXPECT_EQ(store.texts.at("lastshown"), text) << "left as it was";
  }
  MemoryStore store;
  store.wrongType = {"lastshown"};
  Settings s;
  loadSettings(store, s);
  EXPECT_EQ(s.lastshown, std::nullopt);
}

TEST(SettingsStore, ReadingOnlyWritesNothing) {
  MemoryStore store;
  store.values = {{"prior", 2}, {"inworten", 1}};
  store.texts = {{"lastshown", "2006-12-14"}};
  Settings s;
  readSettings(store, s);
  EXPECT_EQ(s, (Settings{.prior = 2, .inworten = 1, .lastshown = makeDayNumber(2006, 12, 14)}));
  EXPECT_EQ(store.values.size(), 2u);
  store.wrongType = {"notify"};
  EXPECT_THROW(readSettings(store, s), Failure);
}

TEST(SettingsStore, DeletedValueComesBackAsDefault) {
  MemoryStore store;
  store.values = {{"anzdays", 12}, {"autoclose", 5}, {"heutebox", 0}};
  Settings s;
  loadSettings(store, s);
  EXPECT_EQ(s, (Settings{.anzdays = 12, .autoclose = 5, .heutebox = 0, .prior = 0}));
  EXPECT_EQ(store.values.at("prior"), 0);
}

// The values read before the failure stay; those after it keep their defaults.
TEST(SettingsStore, WrongTypeStopsWithItsNameAndKeepsWhatWasRead) {
  struct Case {
    std::string name;
    Settings want;
  };
  const Case cases[] = {
      {"autoclose", Settings{.anzdays = 12}},
      {"notify", Settings{.anzdays = 12, .heutebox = 0, .prior = 2}},
      {"inworten", Settings{.anzdays = 12, .heutebox = 0, .prior = 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryStore store;
    store.values = {{"anzdays", 12}, {"heutebox", 0}, {"prior", 2}};
    store.wrongType = {c.name};
    Settings s;
    try {
      loadSettings(store, s);
      ADD_FAILURE();
    } catch (const Failure& e) {
      EXPECT_EQ(e.userMessage(), "Ungültiger Datentyp für '" + c.name + "'.");
    }
    EXPECT_EQ(s, c.want);
  }
}

TEST(SettingsStore, UnwritableStoreNamesTheValue) {
  MemoryStore store;
  store.readOnly = true;
  Settings s;
  try {
    saveSettings(store, s);
    ADD_FAILURE();
  } catch (const Failure& e) {
    EXPECT_EQ(e.userMessage(), "Konnte Daten für 'anzdays' nicht setzen.");
  }
}

TEST(SettingsStore, SaveWritesEveryValue) {
  MemoryStore store;
  const Settings saved{.anzdays = 99,
                       .autoclose = 240,
                       .heutebox = 0,
                       .prior = 1,
                       .notify = 0,
                       .inworten = 1,
                       .lastshown = makeDayNumber(987, 3, 4)};
  saveSettings(store, saved);
  EXPECT_EQ(store.values, (std::map<std::string, std::uint8_t>{{"anzdays", 99},
                                                               {"autoclose", 240},
                                                               {"heutebox", 0},
                                                               {"prior", 1},
                                                               {"notify", 0},
                                                               {"inworten", 1}}));
  EXPECT_EQ(store.texts, (std::map<std::string, std::string>{{"lastshown", "0987-03-04"}}));
  Settings back;
  loadSettings(store, back);
  EXPECT_EQ(back, saved);
}

TEST(SettingsStore, NoDateShownKeepsTheStoredOne) {
  MemoryStore store;
  store.texts = {{"lastshown", "2006-12-08"}};
  saveSettings(store, Settings{});
  EXPECT_EQ(store.texts.at("lastshown"), "2006-12-08");
}

TEST(SettingsStore, UnwritableDateNamesIt) {
  // Numbers taken, the text refused.
  class NoTexts : public MemoryStore {
   public:
    bool writeText(const std::string&, const std::string&) override { return false; }
  } store;
  try {
    saveSettings(store, Settings{.lastshown = makeDayNumber(2006, 12, 15)});
    ADD_FAILURE();
  } catch (const Failure& e) {
    EXPECT_EQ(e.userMessage(), "Konnte Daten für 'lastshown' nicht setzen.");
  }
}

TEST(HolidayFile, MissingFileIsCreatedFromMemory) {
  test::TempDir dir;
  test::FakeFiles files;
  HolidaySelection sel;
  loadHolidaySelection(files, dir.file(kHolidayFileName), sel);
  EXPECT_EQ(test::readFile(dir.file(kHolidayFileName)), std::string(51, '\0'));
  EXPECT_EQ(sel, HolidaySelection{});
}

TEST(HolidayFile, RoundTripAndForeignBytes) {
  test::TempDir dir;
  test::FakeFiles files;
  std::string bytes(51, '\0');
  bytes[0] = 1;
  bytes[3] = 2;
  bytes[17] = 1;
  bytes[50] = 7;
  test::writeFile(dir.file(kHolidayFileName), bytes + "trailing bytes are not read");
  HolidaySelection sel;
  loadHolidaySelection(files, dir.file(kHolidayFileName), sel);
  EXPECT_EQ(sel.bytes[3], 2);
  EXPECT_EQ(sel.bytes[50], 7);
  saveHolidaySelection(files, dir.file(kHolidayFileName), sel);
  EXPECT_EQ(test::readFile(dir.file(kHolidayFileName)), bytes);
}

TEST(HolidayFile, ShortFileFailsAndKeepsTheSelection) {
  test::TempDir dir;
  test::FakeFiles files;
  test::writeFile(dir.file(kHolidayFileName), std::string(50, '\1'));
  HolidaySelection sel;
  sel.bytes[0] = 1;
  try {
    loadHolidaySelection(files, dir.file(kHolidayFileName), sel);
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.userMessage(), "Versuch hinter dem Dateiende zu lesen.");
  }
  HolidaySelection expected;
  expected.bytes[0] = 1;
  EXPECT_EQ(sel, expected);
}

TEST(HolidayFile, FailedSaveKeepsTheOldFile) {
  test::TempDir dir;
  test::FakeFiles files;
  const std::string old(51, '\1');
  test::writeFile(dir.file(kHolidayFileName), old);
  files.failAt(test::FakeFiles::Op::Write, 1, ENOSPC);
  HolidaySelection sel;
  try {
    saveHolidaySelection(files, dir.file(kHolidayFileName), sel);
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.userMessage(), "Zu wenig Speicherplatz.");
  }
  EXPECT_EQ(test::readFile(dir.file(kHolidayFileName)), old);
}

// A file that could not be read wholly, or holds more than the selection, is kept as ".bak"
// before the selection replaces it; a whole one leaves no backup, and a backup that cannot be
// written stops the save with the file as it was.
TEST(HolidayFile, FileOfAnotherSizeIsKeptBeforeItIsReplaced) {
  struct Case {
    const char* name;
    std::string old;
    bool wantBackup;
  } const cases[] = {
      {"50 bytes", std::string(50, '\x7f'), true},
      {"empty", "", true},
      {"52 bytes", std::string(52, '\x7f'), true},
      {"51 bytes", std::string(51, '\x7f'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path = dir.file(kHolidayFileName);
    test::writeFile(path, c.old);
    test::FakeFiles files;
    HolidaySelection sel;
    if (c.old.size() < kHolidaySelectionSize) {
      EXPECT_THROW(loadHolidaySelection(files, path, sel), FileError);
    } else {
      loadHolidaySelection(files, path, sel);
    }
    saveHolidaySelection(files, path, sel);
    EXPECT_EQ(test::readFile(path), std::string(sel.bytes.begin(), sel.bytes.end()));
    EXPECT_EQ(test::fileExists(path + ".bak"), c.wantBackup);
    if (c.wantBackup) {
      EXPECT_EQ(test::readFile(path + ".bak"), c.old);
    }
  }

  test::TempDir dir;
  const std::string path = dir.file(kHolidayFileName);
  test::writeFile(path, std::string(50, '\x7f'));
  test::FakeFiles files;
  files.failAt(test::FakeFiles::Op::Write, 1, ENOSPC);  // the backup's
  EXPECT_THROW(saveHolidaySelection(files, path, HolidaySelection{}), FileError);
  EXPECT_EQ(test::readFile(path), std::string(50, '\x7f'));
  EXPECT_FALSE(test::fileExists(path + ".bak"));
}

}  // namespace
}  // namespace tavik
