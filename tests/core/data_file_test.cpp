#include "store/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <vector>

#include "exchange/import_reader.h"
#include "store/day_number.h"
#include "store/event_text.h"
#include "store/failure.h"
#include "store/record_extension.h"
#include "tests/support/fake_files.h"
#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using test::FakeFiles;
using Op = FakeFiles::Op;

EventRecord event(int n) {
  EventRecord r;
  r.date = toDouble(*makeDayNumber(2000 + n % 20, 1 + n % 12, 1 + n % 28));
  r.setText("Ereignis " + std::to_string(n));
  r.computeJubilee = 1;
  r.reserved[205] = static_cast<std::uint8_t>(n);
  return r;
}

std::string image(const EventRecord& r) {
  const RecordImage i = encodeRecord(r);
  return std::string(i.begin(), i.end());
}

std::string images(int from, int to) {
  std::string s;
  for (int n = from; n <= to; ++n) s += image(event(n));
  return s;
}

TEST(DataFile, RecordImageIsLittleEndianFieldByField) {
  EventRecord r;
  r.date = 38718.0;  // 1 Jan 2006: 0x40E2E7C000000000
  r.setText("Abc");
  r.textBytes[3] = 'Z';  // a byte after the text travels unchanged
  r.withoutYear = 1;
  r.isProtected = 2;
  r.computeJubilee = 3;
  r.autoDelete = 4;
  r.highPriority = 5;
  r.reserved[0] = 0xAA;
  r.reserved[205] = 0xBB;
  const RecordImage i = encodeRecord(r);
  const std::uint8_t date[8] = {0, 0, 0, 0, 0xC0, 0xE7, 0xE2, 0x40};
  EXPECT_TRUE(std::equal(date, date + 8, i.begin()));
  EXPECT_EQ(i[8], 3);
  EXPECT_EQ(i[9], 'A');
  EXPECT_EQ(i[12], 'Z');
  EXPECT_EQ(i[209], 1);
  EXPECT_EQ(i[210], 2);
  EXPECT_EQ(i[211], 3);
  EXPECT_EQ(i[212], 4);
  EXPECT_EQ(i[213], 5);
  EXPECT_EQ(i[214], 0xAA);
  EXPECT_EQ(i[419], 0xBB);
  EXPECT_EQ(decodeRecord(i), r);
}

TEST(DataFile, SaveWritesUsedSlotsInSlotOrder) {
  test::TempDir dir;
  FakeFiles files;
  EventTable t;
  t.storeRecord(2, event(2));
  t.storeRecord(5, event(5));
  t.storeRecord(9, event(9));
  t.storeRecord(7, event(7));
  t.freeSlot(7);
  DataFile file(dir.file(kDataFileName));
  file.save(files, t);
  const std::string bytes = test::readFile(file.path());
  ASSERT_EQ(bytes.size(), 1260u);
  EXPECT_EQ(bytes, image(event(2)) + image(event(5)) + image(event(9)));

  EventTable loaded;
  DataFile again(file.path());
  again.load(files, loaded);
  EXPECT_EQ(loaded.record(1), event(2));
  EXPECT_EQ(loaded.record(2), event(5));
  EXPECT_EQ(loaded.record(3), event(9));
  EXPECT_TRUE(loaded.slotIsFree(4));
}

TEST(DataFile, Loads) {
  struct Case {
    const char* name;
    std::string bytes;
    int used;
    const char* error;  // nullptr: no failure
    bool incomplete;
  } const cases[] = {
      {"empty", "", 0, nullptr, false},
      {"one", images(1, 1), 1, nullptr, false},
      {"1000 fill the table", images(1, 1000), 1000, nullptr, false},
      {"1001st is not read", images(1, 1001), 1000, nullptr, true},
      {"short last record", images(1, 2) + std::string(100, 'x'), 2,
       "Versuch hinter dem Dateiende zu lesen", true},
      {"128", images(1, 128), 128, nullptr, false},
      {"short record after 130", images(1, 130) + std::string(419, 'x'), 130,
       "Versuch hinter dem Dateiende zu lesen", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    FakeFiles files;
    DataFile file(dir.file(kDataFileName));
    test::writeFile(file.path(), c.bytes);
    EventTable t;
    if (c.error) {
      try {
        file.load(files, t);
        ADD_FAILURE() << "no failure";
      } catch (const FileError& e) {
        EXPECT_EQ(e.userMessage(), std::string(c.error) + ".");
      }
    } else {
      file.load(files, t);
    }
    EXPECT_EQ(t.usedCount(), c.used);
    for (int slot = 1; slot <= c.used; ++slot) ASSERT_EQ(t.record(slot), event(slot)) << slot;
    EXPECT_EQ(file.loadWasIncomplete(), c.incomplete);
  }
}

// A record of the previous version: no reserved content.
EventRecord plain(int n) {
  EventRecord r = event(n);
  r.reserved.fill(0);
  return r;
}

// A record with a block whose Unicode text part is `text` of `length`, its check made to fit
// the Windows-1252 text unless `check` says otherwise.
EventRecord withBlock(int n, std::string_view text, std::size_t length,
                      std::optional<std::uint32_t> check = std::nullopt) {
  EventRecord r = plain(n);
  giveExtension(r);
  const std::uint32_t c = check.value_or(textCheckOf(r));
  for (std::size_t i = 0; i < 4; ++i) r.reserved[kTextCheckAt + i] = (c >> (8 * i)) & 0xFF;
  r.reserved[kUnicodeLengthAt] = static_cast<std::uint8_t>(length);
  std::copy(text.begin(), text.end(), r.reserved.begin() + kUnicodeTextAt);
  return r;
}

TEST(DataFile, DamagedBlocksLoseOnlyTheirText) {
  EventRecord good = plain(1);
  ASSERT_EQ(setEventText(good,
                         "Geburtstag Ay\xC5\x9F"
                         "e"),
            TextStore::Stored);
  // Random bytes after a valid mark, from a fixed seed.
  EventRecord noise = plain(2);
  std::uint32_t x = 0x2545F491;
  for (std::uint8_t& b : noise.reserved) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  std::copy(kExtensionMark.begin(), kExtensionMark.end(), noise.reserved.begin());
  EventRecord pastEnd = withBlock(3, "abc", 200);
  EventRecord notUtf8 = withBlock(4, "M\xFCller", 6);
  EventRecord notNfc = withBlock(5, "Zoe\xCC\x88", 5);  // fits, but decomposed
  EventRecord staleCheck = withBlock(6, "Zo\xC3\xAB", 3, 0x12345678);
  EventRecord outOfRange = withBlock(7, "", 0);
  outOfRange.reserved[kKindAt] = 250;
  outOfRange.reserved[kLeadDaysAt] = 200;
  const std::vector<EventRecord> records = {good,   noise,      pastEnd,   notUtf8,
                                            notNfc, staleCheck, outOfRange};
  std::string bytes;
  for (const EventRecord& r : records) bytes += image(r);

  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  test::writeFile(file.path(), bytes);
  EventTable t;
  file.load(files, t);
  ASSERT_EQ(t.usedCount(), static_cast<int>(records.size()));
  EXPECT_EQ(eventText(t.record(1)),
            "Geburtstag Ay\xC5\x9F"
            "e");
  for (int slot = 2; slot <= static_cast<int>(records.size()); ++slot) {
    SCOPED_TRACE(slot);
    const EventRecord& r = t.record(slot);
    const EventRecord& was = records[static_cast<std::size_t>(slot - 1)];
    // The text that does not read is ignored; date, text and switches are all there.
    EXPECT_FALSE(hasUnicodeText(r));
    EXPECT_EQ(eventText(r), "Ereignis " + std::to_string(slot));
    EXPECT_EQ(r.date, was.date);
    EXPECT_EQ(r.text(), was.text());
    EXPECT_EQ(r.computeJubilee, was.computeJubilee);
    EXPECT_EQ(std::vector<std::uint8_t>(r.reserved.begin(), r.reserved.begin() + kTextCheckAt),
              std::vector<std::uint8_t>(was.reserved.begin(), was.reserved.begin() + kTextCheckAt));
  }
  const auto range = readExtension(t.record(7));
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(range->leadDays, 0);

  // The same bytes as an import bring the good block along and nothing of the bad texts.
  const ImportResult imported = readImportBytes(bytes, nullptr);
  ASSERT_EQ(imported.candidates.size(), records.size());
  EXPECT_EQ(imported.candidates[0].record, good);
  for (std::size_t i = 1; i < records.size(); ++i) {
    EXPECT_FALSE(hasUnicodeText(imported.candidates[i].record)) << i;
    EXPECT_EQ(imported.candidates[i].record.text(), records[i].text()) << i;
  }

  // Saved, the good record stays byte for byte; a second load and save changes nothing more.
  file.save(files, t);
  const std::string saved = test::readFile(file.path());
  ASSERT_EQ(saved.size(), bytes.size());
  EXPECT_EQ(saved.substr(0, kRecordSize), image(good));
  EventTable again;
  file.load(files, again);
  file.save(files, again);
  EXPECT_EQ(test::readFile(file.path()), saved);
}

TEST(DataFile, PreviousVersionFileSavesByteIdentical) {
  // Records without blocks, and ones whose reserved bytes belong to another program.
  std::string bytes = image(plain(1)) + image(plain(2));
  for (int n = 3; n <= 5; ++n) bytes += image(event(n));
  EventRecord umlaut = plain(6);
  umlaut.setText("M\xE4rz \x80");
  bytes += image(umlaut);
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  test::writeFile(file.path(), bytes);
  EventTable t;
  file.load(files, t);
  EXPECT_EQ(t.usedCount(), 6);
  EXPECT_EQ(reservedUse(t.record(1)), ReservedUse::None);
  EXPECT_EQ(reservedUse(t.record(3)), ReservedUse::Foreign);
  file.save(files, t);
  EXPECT_EQ(test::readFile(file.path()), bytes);
}

TEST(DataFile, MissingFileIsCreatedEmpty) {
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  EventTable t;
  file.load(files, t);
  EXPECT_TRUE(test::fileExists(file.path()));
  EXPECT_EQ(test::readFile(file.path()), "");
  EXPECT_EQ(t.findFreeSlot(), 1);
}

TEST(DataFile, FailureTexts) {
  struct Case {
    int errorNumber;
    const char* text;
  } const cases[] = {
      {ENOENT, "Datei nicht gefunden."},       {EINVAL, "Ungültiger Dateiname."},
      {ENAMETOOLONG, "Ungültiger Dateiname."}, {EMFILE, "Zu viele geöffnete Dateien."},
      {EACCES, "Dateizugriff verweigert."},    {EROFS, "Dateizugriff verweigert."},
      {ENOSPC, "Zu wenig Speicherplatz."},     {EIO, "E/A-Fehler 5."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    test::TempDir dir;
    DataFile file(dir.file(kDataFileName));
    // More records than one read takes, so that a later read fails.
    test::writeFile(file.path(), images(1, 300));
    {
      FakeFiles files;
      files.failAt(Op::Read, 2, c.errorNumber);
      EventTable t;
      try {
        file.load(files, t);
        ADD_FAILURE() << "load did not fail";
      } catch (const FileError& e) {
        EXPECT_EQ(e.userMessage(), c.text);
      }
      // The records read before the failure stay, in their slots.
      const int kept = t.usedCount();
      EXPECT_GT(kept, 0);
      EXPECT_LT(kept, 300);
      for (int slot = 1; slot <= kept; ++slot) EXPECT_EQ(t.record(slot), event(slot));
    }
    {
      FakeFiles files;
      files.failAt(Op::Write, 1, c.errorNumber);
      EventTable t;
      t.storeRecord(1, event(9));
      try {
        file.save(files, t);
        ADD_FAILURE() << "save did not fail";
      } catch (const FileError& e) {
        EXPECT_EQ(e.userMessage(), c.text);
      }
    }
  }
}

TEST(DataFile, FailedSaveLeavesTheOldFileWhole) {
  for (int nth = 1; nth <= 4; ++nth) {
    SCOPED_TRACE(nth);
    test::TempDir dir;
    DataFile file(dir.file(kDataFileName));
    const std::string old = images(1, 3);
    test::writeFile(file.path(), old);
    EventTable t;
    for (int s = 1; s <= 5; ++s) t.storeRecord(s, event(10 + s));
    FakeFiles files;
    files.failAt(Op::Write, nth, ENOSPC);
    EXPECT_THROW(file.save(files, t), FileError);
    EXPECT_EQ(test::readFile(file.path()), old);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
    file.save(files, t);  // a later close writes it whole
    EXPECT_EQ(test::readFile(file.path()), images(11, 15));
  }
  for (const Op op : {Op::Sync, Op::Close, Op::Rename, Op::SetPermissions}) {
    test::TempDir dir;
    DataFile file(dir.file(kDataFileName));
    test::writeFile(file.path(), images(1, 3));
    EventTable t;
    t.storeRecord(1, event(20));
    FakeFiles files;
    files.failAt(op, 1, EIO);
    EXPECT_THROW(file.save(files, t), FileError);
    EXPECT_EQ(test::readFile(file.path()), images(1, 3));
  }
}

TEST(DataFile, SaveKeepsPermissions) {
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  test::writeFile(file.path(), "");
  ::chmod(file.path().c_str(), 0600);
  EventTable t;
  t.storeRecord(1, event(1));
  file.save(files, t);
  struct stat st {};
  ASSERT_EQ(::stat(file.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(DataFile, WriteProtectedFileIsRefusedAndKept) {
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  test::writeFile(file.path(), images(1, 2));
  // Root ignores permission bits, so the refusal is injected at the probe.
  files.failAt(Op::Open, 1, EACCES);
  EventTable t;
  t.storeRecord(1, event(7));
  try {
    file.save(files, t);
    ADD_FAILURE();
  } catch (const FileError& e) {
    EXPECT_EQ(e.userMessage(), "Dateizugriff verweigert.");
  }
  EXPECT_EQ(test::readFile(file.path()), images(1, 2));
}

TEST(DataFile, IncompleteLoadKeepsABackupBeforeSaving) {
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  const std::string original = images(1, 1001);
  test::writeFile(file.path(), original);
  test::writeFile(file.backupPath(), "older backup");
  EventTable t;
  file.load(files, t);
  ASSERT_TRUE(file.loadWasIncomplete());
  t.freeSlot(1);
  file.save(files, t);
  EXPECT_EQ(test::readFile(file.backupPath()), original);
  EXPECT_EQ(test::readFile(file.path()), images(2, 1000));
  EXPECT_FALSE(file.loadWasIncomplete());

  // The backup is taken once: a second save leaves it as it is.
  file.save(files, t);
  EXPECT_EQ(test::readFile(file.backupPath()), original);
}

// A file that cannot even be looked at is not replaced unbacked: the save stops there.
TEST(DataFile, BackupIsNotSkippedWhenTheFileCannotBeLookedAt) {
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  const std::string original = images(1, 2) + "tail";
  test::writeFile(file.path(), original);
  EventTable t;
  EXPECT_THROW(file.load(files, t), FileError);
  files.failAt(Op::Status, 1, EIO);
  try {
    file.save(files, t);
    ADD_FAILURE() << "save did not fail";
  } catch (const FileError& e) {
    EXPECT_EQ(e.userMessage(), "E/A-Fehler 5.");
  }
  EXPECT_EQ(test::readFile(file.path()), original);
  EXPECT_FALSE(test::fileExists(file.backupPath()));

  file.save(files, t);
  EXPECT_EQ(test::readFile(file.backupPath()), original);
  EXPECT_EQ(test::readFile(file.path()), images(1, 2));
}

TEST(DataFile, CompleteLoadMakesNoBackup) {
  test::TempDir dir;
  FakeFiles files;
  DataFile file(dir.file(kDataFileName));
  test::writeFile(file.path(), images(1, 1000));
  EventTable t;
  file.load(files, t);
  file.save(files, t);
  EXPECT_FALSE(test::fileExists(file.backupPath()));
  EXPECT_EQ(test::readFile(file.path()), images(1, 1000));
}

// A folder, or a FIFO that would block the start for good, where the data file belongs.
TEST(DataFile, DirectoryOrFifoInPlaceOfTheFileIsRefused) {
  for (const bool fifo : {false, true}) {
    SCOPED_TRACE(fifo ? "FIFO" : "directory");
    test::TempDir dir;
    FakeFiles files;
    DataFile file(dir.file(kDataFileName));
    ASSERT_EQ(fifo ? ::mkfifo(file.path().c_str(), 0644) : ::mkdir(file.path().c_str(), 0755), 0);
    EventTable t;
    try {
      file.load(files, t);
      ADD_FAILURE();
    } catch (const FileError& e) {
      EXPECT_EQ(e.userMessage(), "Dateizugriff verweigert.");
    }
    if (!fifo) {
      EXPECT_THROW(file.save(files, t), FileError);
    }
  }
}

}  // namespace
}  // namespace tavik
