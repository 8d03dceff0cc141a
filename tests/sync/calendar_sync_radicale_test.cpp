// The calendar sync end to end against a real Radicale on 127.0.0.1: two start directories,
// each syncing through its own CalDAV client, and a third client changing the collection
// directly as other programs would, in seeded random steps.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <set>

#include "exchange/icalendar_reader.h"
#include "exchange/icalendar_writer.h"
#include "exchange/import_candidate.h"
#include "platform/caldav_client.h"
#include "store/event_text.h"
#include "store/record_extension.h"
#include "sync/calendar_sync.h"
#include "tests/support/radicale_server.h"

namespace tavik {
namespace {

using test::RadicaleServer;
using Texts = std::multiset<std::string>;

SyncOptions options(const std::string& collection) {
  SyncOptions o;
  o.collection = collection;
  o.today = *makeDayNumber(2026, 12, 10);
  o.nowUnixSeconds = 1796890440;  // 2026-12-10 07:14 UTC
  o.localDate = [](std::int64_t s) -> std::optional<Ymd> {
    return splitDayNumber(*makeDayNumber(1970, 1, 1) + static_cast<int>(s / 86400));
  };
  o.confirmed = true;
  return o;
}

EventRecord event(int year, int month, int day, std::string_view text) {
  return datedCandidate(*makeDayNumber(year, month, day), false, text)->record;
}

// Another program's yearly event; its UID and title are replaced per use.
constexpr const char* kForeign =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Beispiel//Kalender 2.1//DE\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:@UID@@example.org\r\n"
    "DTSTAMP:20260101T000000Z\r\n"
    "DTSTART;VALUE=DATE:19800314\r\n"
    "DTEND;VALUE=DATE:19800315\r\n"
    "RRULE:FREQ=YEARLY\r\n"
    "SUMMARY:@TITLE@\r\n"
    "COLOR:crimson\r\n"
    "X-BEISPIEL-KONTAKT;X-QUELLE=adressbuch:urn:uuid:42\r\n"
    "BEGIN:VALARM\r\n"
    "ACTION:DISPLAY\r\n"
    "DESCRIPTION:Erinnerung\r\n"
    "TRIGGER:-PT15H\r\n"
    "END:VALARM\r\n"
    "END:VEVENT\r\n"
    "END:VCALENDAR\r\n";

std::string foreign(const std::string& uid, const std::string& title) {
  std::string text = kForeign;
  text.replace(text.find("@UID@"), 5, uid);
  text.replace(text.find("@TITLE@"), 7, title);
  return text;
}

// One start directory: its table, its sync state and its own client of the collection.
struct Client {
  std::unique_ptr<EventTable> table = std::make_unique<EventTable>();
  SyncState state;
  std::string collection;
  std::unique_ptr<CalDavServer> server;

  SyncResult sync() {
    const auto snapshot = std::make_unique<EventTable>(*table);
    SyncResult r = syncCalendar(*snapshot, state, *server, options(collection));
    state = applySync(*table, *snapshot, r);
    return r;
  }
  std::vector<int> usedSlots() const {
    std::vector<int> out;
    for (int s = 1; s <= kSlotCount; ++s) {
      if (!table->slotIsFree(s)) out.push_back(s);
    }
    return out;
  }
  Texts texts() const {
    Texts out;
    for (const int s : usedSlots()) out.insert(eventText(table->record(s)));
    return out;
  }
};

// href -> (ETag, calendar data) of everything in the collection.
std::map<std::string, ServerResource> serverContents(CalDavServer& server) {
  const ServerListing listing = server.changesSince("");
  std::vector<std::string> hrefs;
  for (const ServerEntry& e : listing.entries) hrefs.push_back(e.href);
  std::map<std::string, ServerResource> out;
  for (ServerResource& r : server.fetch(hrefs)) out[r.href] = std::move(r);
  return out;
}

class SyncWithRadicale : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { radicale = std::make_unique<RadicaleServer>(); }
  static void TearDownTestSuite() { radicale.reset(); }
  void SetUp() override {
    if (!radicale->running()) GTEST_SKIP() << radicale->skipReason();
  }
  static std::unique_ptr<CalDavServer> client(const std::string& collection) {
    return std::make_unique<CalDavServer>(
        QUrl(QString::fromStdString(collection)), QString::fromStdString(radicale->user()),
        QString::fromStdString(radicale->password()), std::chrono::seconds(20));
  }
  static inline std::unique_ptr<RadicaleServer> radicale;
};

// Two tables and direct changes on the server (our form and another program's), in random
// steps; then both sync until nothing changes any more. Afterwards:
// - agree: for each table, its state maps every server resource to one event of the table and
//   every event to one resource, each pair with the same content (syncHash);
// - nothing lost: every text a user or the server wrote is still there (as it is or as a
//   " (Konflikt)" copy) unless a later step changed or deleted an event showing it;
// - nothing twice: no text is there twice.
TEST_F(SyncWithRadicale, RandomStepsEndInAgreementWithNothingLost) {
  constexpr int kSteps = 50;
  for (const unsigned seed : {11u, 12u, 13u, 14u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::string name = "zufall-" + std::to_string(seed);
    radicale->makeCollection(name);
    const std::string collection = radicale->collectionUrl(name);
    const SyncOptions opts = options(collection);
    const auto direct = client(collection);
    Client clients[2];
    for (Client& c : clients) {
      c.collection = collection;
      c.server = client(collection);
    }

    std::mt19937 rng(seed);
    const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    const auto someDay = [&] {
      return *makeDayNumber(1950 + pick(60), 1 + pick(12), 1 + pick(28));
    };
    std::set<std::string> alive;  // written texts no one has retired yet
    int next = 0;
    const auto fresh = [&] {
      const std::string t = "S" + std::to_string(seed) + "-" + std::to_string(next++);
      alive.insert(t);
      return t;
    };
    const auto retire = [&](const std::string& text) {
      alive.erase(text);
      if (text.ends_with(" (Konflikt)")) alive.erase(text.substr(0, text.size() - 11));
    };

    for (int step = 0; step < kSteps; ++step) {
      try {
        SCOPED_TRACE("step " + std::to_string(step));
        const int who = pick(3);
        const int what = pick(4);
        if (who < 2) {
          Client& c = clients[who];
          const auto used = c.usedSlots();
          const auto anySlot = [&] {
            return used[static_cast<std::size_t>(pick(static_cast<int>(used.size())))];
          };
          if (what == 0 || used.empty()) {
            const EventRecord r = event(1950 + pick(60), 1 + pick(12), 1 + pick(28), fresh());
            c.table->placeRecord(*c.table->findFreeSlot(), r);
          } else if (what == 1) {
            const int slot = anySlot();
            EventRecord r = c.table->record(slot);
            retire(eventText(r));
            ASSERT_EQ(setEventText(r, fresh()), TextStore::Stored);
            if (pick(2) == 0) r.date = toDouble(someDay());
            c.table->storeRecord(slot, r);
          } else if (what == 2) {
            const int slot = anySlot();
            retire(eventText(c.table->record(slot)));
            c.table->freeSlot(slot);
          } else {
            const SyncResult r = c.sync();
            ASSERT_EQ(r.error, "");
          }
          continue;
        }

        const auto contents = serverContents(*direct);
        const std::string tag = std::to_string(step);
        if (what == 0 || contents.empty()) {
          if (pick(2) == 0) {
            const EventRecord r = event(1950 + pick(60), 1 + pick(12), 1 + pick(28), fresh());
            direct->put(direct->hrefFor("direkt-" + tag), icalendarEventFile(r, 1796000000), "");
          } else {
            direct->put(direct->hrefFor("fremd-" + tag), foreign("fremd-" + tag, fresh()), "");
          }
          continue;
        }
        auto it = contents.begin();
        std::advance(it, pick(static_cast<int>(contents.size())));
        const ServerResource& res = it->second;
        const auto read = readIcalendar(res.calendarData, opts.today, opts.localDate);
        ASSERT_EQ(read.candidates.size(), 1u) << res.calendarData;
        EventRecord r = read.candidates[0].record;
        retire(eventText(r));
        if (what == 1 && res.calendarData.find(kIcalendarProductId) == std::string::npos) {
          // Another program edits its own resource: only the title.
          std::string text = res.calendarData;
          const std::size_t at = text.find("SUMMARY:");
          ASSERT_NE(at, std::string::npos);
          // The multiget answer is XML, whose line ends reach us as LF alone.
          text.replace(at, text.find_first_of("\r\n", at) - at, "SUMMARY:" + fresh());
          direct->put(res.href, text, res.etag);
        } else if (what == 1) {
          ASSERT_EQ(setEventText(r, fresh()), TextStore::Stored);
          direct->put(res.href, icalendarEventFile(r, 1796000000), res.etag);
        } else {
          direct->remove(res.href, res.etag);
        }
      } catch (const ServerError& e) {
        // A direct change failed: the server's log says why.
        FAIL() << "step " << step << ": " << e.what() << "\n" << radicale->log();
      }
    }

    // Sync until a round changes nothing on either side.
    bool quiet = false;
    for (int round = 0; round < 5 && !quiet; ++round) {
      quiet = true;
      for (Client& c : clients) {
        const SyncResult r = c.sync();
        ASSERT_EQ(r.error, "");
        if (r.report != SyncReport{}) quiet = false;
      }
    }
    ASSERT_TRUE(quiet);

    const auto contents = serverContents(*direct);
    Texts onServerTexts;
    for (const Client& c : clients) {
      std::map<std::string, const SyncResource*> entryOf;
      for (const SyncResource& r : c.state.resources) entryOf[r.href] = &r;
      std::map<std::string, std::string> onServer;  // mapped uid -> content
      onServerTexts.clear();
      for (const auto& [href, res] : contents) {
        const auto read = readIcalendar(res.calendarData, opts.today, opts.localDate);
        ASSERT_EQ(read.candidates.size(), 1u) << res.calendarData;
        onServerTexts.insert(eventText(read.candidates[0].record));
        const auto entry = entryOf.find(href);
        ASSERT_NE(entry, entryOf.end()) << href;
        ASSERT_EQ(entry->second->status, ResourceStatus::Event);
        EXPECT_EQ(entry->second->etag, res.etag) << href;
        EXPECT_TRUE(
            onServer
                .emplace(uidText(*entry->second->uid), *syncHash(read.candidates[0].record, opts))
                .second);
      }
      std::map<std::string, std::string> inTable;
      for (const int s : c.usedSlots()) {
        const EventRecord& r = c.table->record(s);
        EXPECT_TRUE(inTable.emplace(uidText(readExtension(r)->uid), *syncHash(r, opts)).second);
      }
      EXPECT_EQ(inTable, onServer);
      EXPECT_EQ(c.texts(), onServerTexts);
    }
    EXPECT_EQ(clients[0].texts(), clients[1].texts());

    const Texts texts = clients[0].texts();
    for (const std::string& t : alive) {
      EXPECT_TRUE(texts.count(t) + texts.count(t + " (Konflikt)") > 0) << t;
    }
    EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()).size(), texts.size());
  }
}

}  // namespace
}  // namespace tavik

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
