// The files of a run: the listing's read-only load, and the close's writes when some of them
// fail.
#include "store/run_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "store/failure.h"
#include "tests/support/fake_files.h"
#include "tests/support/memory_store.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using test::MemoryStore;
using Op = FakeFiles::Op;

EventRecord event(const char* text) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(1970, 12, 15));
  r.setText(text);
  return r;
}

std::string imageOf(const EventRecord& record) {
  const RecordImage image = encodeRecord(record);
  return std::string(image.begin(), image.end());
}

// A start directory with nothing in it reads as the defaults and an empty table, and stays
// empty; the settings store is not written either.
TEST(RunFiles, ReadOnlyTakesMissingFilesAsEmpty) {
  test::TempDir dir;
  FakeFiles files;
  MemoryStore store;
  RunFiles run(dir.path());
  run.readOnly(files, store);
  EXPECT_EQ(run.settings(), Settings{});
  EXPECT_EQ(run.table().usedCount(), 0);
  EXPECT_EQ(run.holidays(), HolidaySelection{});
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  EXPECT_TRUE(store.values.empty());
  EXPECT_TRUE(store.texts.empty());
}

TEST(RunFiles, ReadOnlyReadsWhatIsThere) {
  test::TempDir dir;
  test::writeFile(dir.file(kDataFileName), imageOf(event("Geburtstag")));
  test::writeFile(dir.file(kHolidayFileName), std::string("\1\1") + std::string(49, '\0'));
  FakeFiles files;
  MemoryStore store;
  store.values["anzdays"] = 45;
  RunFiles run(dir.path());
  run.readOnly(files, store);
  EXPECT_EQ(run.settings().anzdays, 45);
  EXPECT_EQ(run.table().usedCount(), 1);
  EXPECT_EQ(run.table().record(1).text(), "Geburtstag");
  EXPECT_EQ(run.holidays().bytes[1], 1);
  EXPECT_EQ(run.holidays().bytes[2], 0);
}

// The close's writes in their order: a settings failure keeps neither file from being written,
// a data file's failure keeps the holiday file as it was; both texts when both fail.
TEST(RunFiles, SaveWritesInOrderPastASettingsFailure) {
  struct Case {
    const char* name;
    bool settingsFail;
    int failingRename;  // 0: none; 1: the data file's, 2: the holiday file's
    const char* message;
    bool dataWritten;
    bool holidaysWritten;
  };
  const Case cases[] = {
      {"all written", false, 0, nullptr, true, true},
      {"settings fail", true, 0, "Konnte Daten für 'anzdays' nicht setzen.", true, true},
      {"data file fails", false, 1, "E/A-Fehler 5.", false, false},
      {"both fail", true, 1, "Konnte Daten für 'anzdays' nicht setzen.\nE/A-Fehler 5.", false,
       false},
      {"holiday file fails", false, 2, "E/A-Fehler 5.", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    FakeFiles files;
    MemoryStore store;
    RunFiles run(dir.path());
    run.load(files, store);
    run.loadHolidays(files);
    const std::string oldHolidays = test::readFile(dir.file(kHolidayFileName));
    run.table().storeRecord(1, event("Neu"));
    run.holidays().bytes[0] = 1;
    run.settings().anzdays = 45;
    store.readOnly = c.settingsFail;
    if (c.failingRename > 0) files.failAt(Op::Rename, c.failingRename, EIO);
    try {
      run.save(files, store);
      EXPECT_EQ(c.message, nullptr);
    } catch (const Failure& e) {
      ASSERT_NE(c.message, nullptr) << e.what();
      EXPECT_EQ(e.userMessage(), c.message);
    }
    EXPECT_EQ(store.values["anzdays"], c.settingsFail ? 30 : 45);
    EXPECT_EQ(test::readFile(dir.file(kDataFileName)),
              c.dataWritten ? imageOf(event("Neu")) : std::string());
    EXPECT_EQ(test::readFile(dir.file(kHolidayFileName)),
              c.holidaysWritten ? std::string("\1") + std::string(50, '\0') : oldHolidays);
  }
}

// A start that failed before the data file was read leaves it alone at the close: it holds
// events the table does not know.
TEST(RunFiles, DataFileNotReadIsNotWritten) {
  test::TempDir dir;
  const std::string stored = imageOf(event("Geburtstag"));
  test::writeFile(dir.file(kDataFileName), stored);
  FakeFiles files;
  MemoryStore store;
  store.wrongType.insert("anzdays");
  RunFiles run(dir.path());
  EXPECT_THROW(run.load(files, store), Failure);
  run.save(files, store);
  EXPECT_EQ(test::readFile(dir.file(kDataFileName)), stored);
  EXPECT_TRUE(test::fileExists(dir.file(kHolidayFileName)));
}

}  // namespace
}  // namespace tavik
