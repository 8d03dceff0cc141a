// `tavik --sync` end to end: the built front program, run in temporary start directories
// against a Radicale of the test's own on 127.0.0.1, with the password in a file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/instance_lock.h"
#include "store/data_file.h"
#include "store/event_text.h"
#include "tests/support/radicale_server.h"
#include "tests/support/temp_dir.h"

namespace tavik::test {

namespace {

struct Result {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct Event {
  int day = 1;  // of December 2026
  std::string text;
  friend bool operator==(const Event&, const Event&) = default;
};

// One user with one calendar on a Radicale of its own, and start directories syncing with it.
class SyncCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.running()) GTEST_SKIP() << server.skipReason();
    server.makeCollection("tavik");
    url = server.collectionUrl("tavik");
    std::filesystem::create_directories(home.file("config/HOLVENTARIS"));
    writeFile(home.file("config/HOLVENTARIS/Tavik! v4.x.conf"),
              "[General]\ncaldavurl=" + url + "\ncaldavuser=" + server.user() + "\n");
    setPassword(server.password());
  }

  void setPassword(const std::string& password) {
    writeFile(home.file("password"), password + "\n");
  }

  Result tavik(const std::string& directory, const std::string& option = "--sync") {
    const std::string out = home.file("out");
    const std::string err = home.file("err");
    const std::string command =
        "cd " + quoted(directory) +
        " && env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS" +
        " HOME=" + quoted(home.path()) + " XDG_CONFIG_HOME=" + quoted(home.file("config")) +
        " XDG_STATE_HOME=" + quoted(home.file("state")) +
        " TAVIK_PASSWORD_FILE=" + quoted(home.file("password")) + " " +
        quoted(std::getenv("TAVIK_PROGRAM")) + " " + option + " >" + quoted(out) + " 2>" +
        quoted(err);
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(out), readFile(err)};
  }

  static void writeEvents(const std::string& directory, const std::vector<Event>& events) {
    std::string bytes;
    for (const Event& e : events) {
      EventRecord r;
      r.date = toDouble(*makeDayNumber(2026, 12, e.day));
      setEventText(r, e.text);
      const RecordImage image = encodeRecord(r);
      bytes.append(reinterpret_cast<const char*>(image.data()), image.size());
    }
    writeFile(directory + "/" + kDataFileName, bytes);
  }

  // The events of a directory's data file, as (day, text), in file order.
  static std::vector<Event> events(const std::string& directory) {
    const std::string bytes = readFile(directory + "/" + kDataFileName);
    std::vector<Event> out;
    for (std::size_t at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize) {
      const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
      const EventRecord r =
          decodeRecord(std::span<const std::uint8_t, kRecordSize>(data, kRecordSize));
      out.push_back({splitRecordDate(r.date).day, eventText(r)});
    }
    return out;
  }

  static std::vector<Event> sorted(std::vector<Event> events) {
    std::sort(events.begin(), events.end(),
              [](const Event& a, const Event& b) { return a.text < b.text; });
    return events;
  }

  std::string summary(const std::string& counts) const {
    return "Abgeglichen mit " + url + ": " + counts + "\n";
  }

  RadicaleServer server;
  TempDir home{"tavik-sync-home"};
  TempDir first{"tavik-sync-first"};
  TempDir second{"tavik-sync-second"};
  std::string url;
};

}  // namespace

TEST_F(SyncCommand, TwoDirectoriesSeeEachOthersAddsChangesAndDeletions) {
  writeEvents(first.path(), {{3, "Anna"}, {5, "Ben, Köln"}, {7, "Хорошо"}});
  Result r = tavik(first.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, summary("0 neu, 0 geändert, 0 Konflikte; auf dem Server 3 geschrieben"));
  EXPECT_EQ(r.err, "");

  r = tavik(second.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, summary("3 neu, 0 geändert, 0 Konflikte"));
  EXPECT_EQ(sorted(events(second.path())), sorted(events(first.path())));

  // Changed on the second, added on the first: each arrives on the other side.
  std::vector<Event> changed = events(second.path());
  std::string secondBytes = readFile(second.path() + "/" + kDataFileName);
  for (std::size_t i = 0; i < changed.size(); ++i) {
    if (changed[i].text != "Anna") continue;
    auto* data = reinterpret_cast<std::uint8_t*>(secondBytes.data() + i * kRecordSize);
    EventRecord record =
        decodeRecord(std::span<const std::uint8_t, kRecordSize>(data, kRecordSize));
    setEventText(record, "Anna Schmidt");
    const RecordImage image = encodeRecord(record);
    secondBytes.replace(i * kRecordSize, kRecordSize, reinterpret_cast<const char*>(image.data()),
                        image.size());
  }
  writeFile(second.path() + "/" + kDataFileName, secondBytes);
  r = tavik(second.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = tavik(first.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, summary("0 neu, 1 geändert, 0 Konflikte"));
  EXPECT_EQ(sorted(events(first.path())),
            sorted(std::vector<Event>{{3, "Anna Schmidt"}, {5, "Ben, Köln"}, {7, "Хорошо"}}));

  // Deleted on the first: gone from the second after one sync each.
  std::string firstBytes = readFile(first.path() + "/" + kDataFileName);
  const std::vector<Event> before = events(first.path());
  for (std::size_t i = 0; i < before.size(); ++i) {
    if (before[i].text == "Хорошо") firstBytes.erase(i * kRecordSize, kRecordSize);
  }
  writeFile(first.path() + "/" + kDataFileName, firstBytes);
  ASSERT_EQ(tavik(first.path()).exitCode, 0);
  r = tavik(second.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(sorted(events(second.path())),
            sorted(std::vector<Event>{{3, "Anna Schmidt"}, {5, "Ben, Köln"}}));
}

// A wrong password: the reason on standard error, exit 1, and every event still there; the
// next sync with the right one goes through.
TEST_F(SyncCommand, WrongPasswordFailsWithItsReasonAndLosesNothing) {
  writeEvents(first.path(), {{3, "Anna"}, {5, "Ben"}});
  setPassword("falsch");
  Result r = tavik(first.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "tavik: Abgleich fehlgeschlagen: Anmeldung am Server fehlgeschlagen (Benutzername oder "
            "Passwort falsch).\n");
  EXPECT_EQ(events(first.path()), (std::vector<Event>{{3, "Anna"}, {5, "Ben"}}));

  setPassword(server.password());
  r = tavik(first.path());
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ASSERT_EQ(tavik(second.path()).exitCode, 0);
  EXPECT_EQ(sorted(events(second.path())), sorted(events(first.path())));
}

// An open window holds the directory's lock: no sync beside it.
TEST_F(SyncCommand, RefusedWhileAWindowHoldsTheDirectory) {
  writeEvents(first.path(), {{3, "Anna"}});
  const std::string before = readFile(first.path() + "/" + kDataFileName);
  InstanceLock window;
  ASSERT_EQ(window.acquire(first.path() + "/" + kLockFileName), InstanceLock::Result::Locked);
  const Result r = tavik(first.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "tavik: Der Abgleich ist nicht möglich, solange Tavik! in diesem Verzeichnis geöffnet "
            "ist.\n");
  EXPECT_EQ(readFile(first.path() + "/" + kDataFileName), before);
}

// Most events gone here since the last sync: refused with the question, the server unchanged.
TEST_F(SyncCommand, MassDeletionIsRefusedWithItsQuestion) {
  writeEvents(first.path(), {{1, "Eins"}, {2, "Zwei"}, {3, "Drei"}, {4, "Vier"}});
  ASSERT_EQ(tavik(first.path()).exitCode, 0);
  std::string bytes = readFile(first.path() + "/" + kDataFileName);
  writeFile(first.path() + "/" + kDataFileName, bytes.substr(0, kRecordSize));
  const Result r = tavik(first.path());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Trotzdem abgleichen?"), std::string::npos) << r.err;
  ASSERT_EQ(tavik(second.path()).exitCode, 0);
  EXPECT_EQ(events(second.path()).size(), 4u);
}

TEST_F(SyncCommand, HelpNamesTheOptionAndThePasswordFile) {
  const Result r = tavik(first.path(), "--help");
  EXPECT_EQ(r.exitCode, 0);
  // Each option starts a line of its own.
  for (const char* option : {"\n  --list ", "\n  --sync ", "\n  --help ", "\n  --version "}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option;
  }
  EXPECT_NE(r.out.find("TAVIK_PASSWORD_FILE"), std::string::npos);
}

}  // namespace tavik::test
