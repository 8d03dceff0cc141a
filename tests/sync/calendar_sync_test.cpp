#include "sync/calendar_sync.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "exchange/icalendar_writer.h"
#include "exchange/import_candidate.h"
#include "store/event_text.h"
#include "tests/support/memory_calendar.h"

namespace tavik {
namespace {

using test::MemoryCalendar;

constexpr const char* kCollection = "http://127.0.0.1:5232/anna/tavik/";

SyncOptions options(bool confirmed = false) {
  SyncOptions o;
  o.collection = kCollection;
  o.today = *makeDayNumber(2026, 12, 10);
  o.nowUnixSeconds = 1796890440;  // 2026-12-10 07:14 UTC
  o.localDate = [](std::int64_t s) -> std::optional<Ymd> {
    return splitDayNumber(*makeDayNumber(1970, 1, 1) + static_cast<int>(s / 86400));
  };
  o.confirmed = confirmed;
  return o;
}

EventRecord event(int year, int month, int day, std::string_view text) {
  return datedCandidate(*makeDayNumber(year, month, day), false, text)->record;
}

// One start directory: its table and its sync state.
struct Client {
  std::unique_ptr<EventTable> table = std::make_unique<EventTable>();
  SyncState state;

  SyncResult sync(CalendarServer& server, bool confirmed = false) {
    const auto snapshot = std::make_unique<EventTable>(*table);
    SyncResult r = syncCalendar(*snapshot, state, server, options(confirmed));
    state = applySync(*table, *snapshot, r);
    return r;
  }
  int add(const EventRecord& r) {
    const int slot = *table->findFreeSlot();
    table->placeRecord(slot, r);
    return slot;
  }
  std::optional<int> find(std::string_view text) const {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (!table->slotIsFree(slot) && eventText(table->record(slot)) == text) return slot;
    }
    return std::nullopt;
  }
  void setText(int slot, std::string_view text) {
    EventRecord r = table->record(slot);
    ASSERT_EQ(setEventText(r, text), TextStore::Stored);
    table->storeRecord(slot, r);
  }
  std::multiset<std::string> texts() const {
    std::multiset<std::string> out;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (!table->slotIsFree(slot)) out.insert(eventText(table->record(slot)));
    }
    return out;
  }
};

// The titles of the server's events as a reader of ours sees them.
std::multiset<std::string> serverTexts(const MemoryCalendar& server) {
  std::multiset<std::string> out;
  for (const auto& [href, r] : server.resources) {
    for (const OTdaten& c :
         readIcalendar(r.text, options().today, options().localDate).candidates) {
      out.insert(eventText(c.record));
    }
  }
  return out;
}

// The foreign calendar below with another title.
std::string foreignTitled(std::string_view title);

std::string ownResource(const EventRecord& r) {
  return icalendarFile(std::span(&r, 1), 1796000000);
}

std::string hrefOf(const MemoryCalendar& server, std::string_view text) {
  for (const auto& [href, r] : server.resources) {
    const auto read = readIcalendar(r.text, options().today, options().localDate);
    if (read.candidates.size() == 1 && eventText(read.candidates[0].record) == text) return href;
  }
  return {};
}

using Texts = std::multiset<std::string>;

TEST(CalendarSync, ChangesOnEachSideReachTheOther) {
  MemoryCalendar server;
  Client a, b;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.add(event(1996, 2, 29, "Hochzeitstag"));
  a.add(event(2001, 9, 1, "Umzug"));
  SyncResult r = a.sync(server);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.report.uploaded, 3);
  EXPECT_EQ(serverTexts(server), a.texts());

  r = b.sync(server);
  EXPECT_EQ(syncSummary(r.report), "3 neu, 0 geändert, 0 Konflikte");
  EXPECT_TRUE(r.report.tableChanged);
  EXPECT_EQ(b.texts(), a.texts());
  // The same events, not copies: the identities came along.
  EXPECT_EQ(icalendarUid(b.table->record(*b.find("Umzug"))),
            icalendarUid(a.table->record(*a.find("Umzug"))));

  b.setText(*b.find("Hochzeitstag"), "Hochzeitstag Anna & Ben, Köln");
  b.table->freeSlot(*b.find("Umzug"));
  b.add(event(2010, 5, 1, "Дмитрий"));
  r = b.sync(server);
  EXPECT_EQ(r.report.uploaded, 2);
  EXPECT_EQ(r.report.deletedOnServer, 1);
  EXPECT_FALSE(r.report.tableChanged);

  r = a.sync(server);
  EXPECT_EQ(syncSummary(r.report), "1 neu, 1 geändert, 1 entfernt, 0 Konflikte");
  EXPECT_EQ(r.report.removed, 1);
  const Texts want{"Geburtstag Greta", "Hochzeitstag Anna & Ben, Köln", "Дмитрий"};
  EXPECT_EQ(a.texts(), want);
  EXPECT_EQ(serverTexts(server), want);
  EXPECT_EQ(a.table->record(*a.find("Hochzeitstag Anna & Ben, Köln")).date,
            toDouble(*makeDayNumber(1996, 2, 29)));

  // Nothing changed: one listing, nothing fetched or written.
  const int fetched = server.fetched;
  const int writes = server.writes;
  r = a.sync(server);
  EXPECT_EQ(syncSummary(r.report), "0 neu, 0 geändert, 0 Konflikte");
  EXPECT_FALSE(r.report.tableChanged);
  EXPECT_EQ(server.fetched, fetched);
  EXPECT_EQ(server.writes, writes);
}

TEST(CalendarSync, ChangedOnBothSidesKeepsTheLocalVersionAsAConflict) {
  struct Case {
    const char* name;
    std::string mine;
    std::string copy;
  };
  const std::string long180(180, 'x');
  const Case cases[] = {
      {.name = "short text",
       .mine = "Geburtstag Greta M.",
       .copy = "Geburtstag Greta M. (Konflikt)"},
      {.name = "text cut to fit the mark",
       .mine = long180 + "yyyyyyyyyy",
       .copy = long180 + "yyyyyyyyy (Konflikt)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryCalendar server;
    Client a, b;
    a.add(event(1975, 4, 14, "Geburtstag Greta"));
    a.sync(server);
    b.sync(server);
    a.setText(*a.find("Geburtstag Greta"), "Geburtstag Greta Müller");
    a.sync(server);
    b.setText(*b.find("Geburtstag Greta"), c.mine);
    const SyncResult r = b.sync(server);
    EXPECT_EQ(r.report.conflicts, 1);
    const Texts want{"Geburtstag Greta Müller", c.copy};
    EXPECT_EQ(b.texts(), want);
    EXPECT_LE(b.table->record(*b.find(c.copy)).textLength, kMaxTextLength);
    a.sync(server);
    EXPECT_EQ(a.texts(), want);
    EXPECT_EQ(serverTexts(server), want);
  }
}

// Deleted on one side while changed on the other: the change is kept either way.
TEST(CalendarSync, ADeletionNeverWinsOverAChange) {
  for (const bool serverDeletes : {true, false}) {
    SCOPED_TRACE(serverDeletes ? "deleted on the server, changed here"
                               : "deleted here, changed there");
    MemoryCalendar server;
    Client a, b;
    a.add(event(1975, 4, 14, "Geburtstag Greta"));
    a.add(event(1980, 1, 2, "Bleibt"));
    a.sync(server);
    b.sync(server);
    Client& deleting = serverDeletes ? a : b;
    Client& changing = serverDeletes ? b : a;
    deleting.table->freeSlot(*deleting.find("Geburtstag Greta"));
    changing.setText(*changing.find("Geburtstag Greta"), "Geburtstag Greta (70)");
    if (serverDeletes) {
      deleting.sync(server);
      EXPECT_EQ(serverTexts(server), Texts{"Bleibt"});
      changing.sync(server);
    } else {
      changing.sync(server);
      const SyncResult r = deleting.sync(server);
      EXPECT_EQ(r.report.added, 1);
      EXPECT_EQ(r.report.deletedOnServer, 0);
    }
    a.sync(server);
    b.sync(server);
    const Texts want{"Bleibt", "Geburtstag Greta (70)"};
    EXPECT_EQ(a.texts(), want);
    EXPECT_EQ(b.texts(), want);
    EXPECT_EQ(serverTexts(server), want);
  }
}

TEST(CalendarSync, MassDeletionStopsAndAsks) {
  struct Case {
    const char* name;
    int events;
    int lost;
    bool onServer;
    std::string question;  // empty: no question
  };
  const Case cases[] = {
      {.name = "server emptied",
       .events = 5,
       .lost = 5,
       .onServer = true,
       .question = "Auf dem Server fehlen 5 von 5 Ereignissen. Trotzdem abgleichen?"},
      {.name = "more than half gone here",
       .events = 7,
       .lost = 4,
       .onServer = false,
       .question = "In Tavik! fehlen 4 von 7 Ereignissen. Trotzdem abgleichen?"},
      {.name = "half is not more than half",
       .events = 8,
       .lost = 4,
       .onServer = true,
       .question = ""},
      {.name = "two of two are a handful",
       .events = 2,
       .lost = 2,
       .onServer = false,
       .question = ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryCalendar server;
    Client a;
    for (int i = 0; i < c.events; ++i) a.add(event(1990, 1, 1 + i, "E" + std::to_string(i)));
    a.sync(server);
    for (int i = 0; i < c.lost; ++i) {
      const std::string text = "E" + std::to_string(i);
      if (c.onServer) {
        server.removeDirect(hrefOf(server, text));
      } else {
        a.table->freeSlot(*a.find(text));
      }
    }
    const Texts tableBefore = a.texts();
    const Texts serverBefore = serverTexts(server);
    const SyncState stateBefore = a.state;
    SyncResult r = a.sync(server);
    EXPECT_EQ(r.question, c.question);
    if (c.question.empty()) {
      EXPECT_EQ(a.texts(), serverTexts(server));
      continue;
    }
    EXPECT_EQ(a.texts(), tableBefore);
    EXPECT_EQ(serverTexts(server), serverBefore);
    EXPECT_EQ(a.state, stateBefore);
    EXPECT_FALSE(r.report.tableChanged);
    r = a.sync(server, true);
    EXPECT_EQ(r.question, "");
    EXPECT_EQ(a.texts().size(), static_cast<std::size_t>(c.events - c.lost));
    EXPECT_EQ(serverTexts(server), a.texts());
  }
}

// A first sync of a full table with a full server merges, deleting nothing on either side.
TEST(CalendarSync, FirstSyncMergesWithoutDuplicates) {
  MemoryCalendar server;
  Client a, b;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.add(event(1980, 1, 2, "Nur in A"));
  a.sync(server);
  b.add(event(1975, 4, 14, "Geburtstag Greta"));  // the same event, imported separately
  b.add(event(1999, 3, 3, "Nur in B"));
  const SyncResult r = b.sync(server);
  EXPECT_EQ(r.question, "");
  const Texts want{"Geburtstag Greta", "Nur in A", "Nur in B"};
  EXPECT_EQ(b.texts(), want);
  EXPECT_EQ(serverTexts(server), want);
}

// A spoilt state file is no state: the next sync is a first sync and duplicates nothing.
TEST(CalendarSync, LostStateDuplicatesNothing) {
  MemoryCalendar server;
  Client a;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.add(event(1980, 1, 2, "Дмитрий"));
  server.putDirect("/cal/fremd.ics", ownResource(event(1960, 6, 6, "Von woanders")));
  a.sync(server);
  for (const char* why : {"spoilt", "another collection"}) {
    SCOPED_TRACE(why);
    SyncState state = a.state;
    if (std::string_view(why) == "spoilt") {
      state = parseSyncState(syncStateText(a.state).substr(0, 50)).value_or(SyncState{});
    } else {
      state.collection = "http://127.0.0.1:5232/anna/anderer/";
    }
    a.state = state;
    const int puts = server.puts;
    const SyncResult r = a.sync(server);
    EXPECT_EQ(r.report.added + r.report.uploaded + r.report.conflicts, 0);
    EXPECT_EQ(server.puts, puts);
    EXPECT_EQ(a.texts(), (Texts{"Geburtstag Greta", "Дмитрий", "Von woanders"}));
    EXPECT_EQ(server.resources.size(), 3u);
    EXPECT_EQ(a.state.collection, kCollection);
  }
}

TEST(CalendarSync, RejectedTokenGivesTheSameResult) {
  std::vector<std::pair<Texts, SyncReport>> outcomes;
  for (const bool reject : {false, true}) {
    MemoryCalendar server;
    server.rejectTokens = reject;
    Client a, b;
    a.add(event(1975, 4, 14, "Geburtstag Greta"));
    a.add(event(1980, 1, 2, "Umzug"));
    a.sync(server);
    b.sync(server);
    server.removeDirect(hrefOf(server, "Umzug"));
    server.putDirect("/cal/neu.ics", ownResource(event(2000, 7, 7, "Neu auf dem Server")));
    const std::string greta = hrefOf(server, "Geburtstag Greta");
    EventRecord changed = b.table->record(*b.find("Geburtstag Greta"));
    setEventText(changed, "Geburtstag Greta M.");
    server.putDirect(greta, ownResource(changed));
    const SyncResult r = b.sync(server);
    outcomes.push_back({b.texts(), r.report});
  }
  EXPECT_EQ(outcomes[0].first, (Texts{"Geburtstag Greta M.", "Neu auf dem Server"}));
  EXPECT_EQ(outcomes[1], outcomes[0]);
}

constexpr const char* kForeign =
    "BEGIN:VCALENDAR\r\n"
    "VERSION:2.0\r\n"
    "PRODID:-//Beispiel//Kalender 2.1//DE\r\n"
    "BEGIN:VEVENT\r\n"
    "UID:geb-17@example.org\r\n"
    "DTSTAMP:20260101T000000Z\r\n"
    "DTSTART;VALUE=DATE:19800314\r\n"
    "DTEND;VALUE=DATE:19800315\r\n"
    "RRULE:FREQ=YEARLY\r\n"
    "SUMMARY:Geburtstag Jürgen\r\n"
    "COLOR:crimson\r\n"
    "X-BEISPIEL-KONTAKT;X-QUELLE=adressbuch:urn:uuid:42\r\n"
    "BEGIN:VALARM\r\n"
    "ACTION:DISPLAY\r\n"
    "DESCRIPTION:Erinnerung\r\n"
    "TRIGGER:-PT15H\r\n"
    "END:VALARM\r\n"
    "END:VEVENT\r\n"
    "END:VCALENDAR\r\n";

std::string foreignTitled(std::string_view title) {
  std::string text(kForeign);
  const std::string_view was = "Geburtstag Jürgen";
  return text.replace(text.find(was), was.size(), title);
}

TEST(CalendarSync, AnotherProgramsEventGoesBackInItsOwnForm) {
  MemoryCalendar server;
  server.putDirect("/cal/geb-17.ics", kForeign);
  Client a, b;
  SyncResult r = a.sync(server);
  EXPECT_EQ(r.report.added, 1);
  const int slot = *a.find("Geburtstag Jürgen");
  EventRecord changed = a.table->record(slot);
  setEventText(changed, "Geburtstag Jürgen, 45");
  changed.date = toDouble(*makeDayNumber(1980, 3, 15));
  a.table->storeRecord(slot, changed);
  r = a.sync(server);
  EXPECT_EQ(r.report.uploaded, 1);
  ASSERT_EQ(server.resources.size(), 1u);
  const std::string text = server.resources.at("/cal/geb-17.ics").text;
  for (const char* kept : {"UID:geb-17@example.org", "PRODID:-//Beispiel//Kalender 2.1//DE",
                           "COLOR:crimson", "X-BEISPIEL-KONTAKT;X-QUELLE=adressbuch:urn:uuid:42",
                           "TRIGGER:-PT15H", "SUMMARY:Geburtstag Jürgen\\, 45",
                           "DTSTART;VALUE=DATE:19800315", "DTEND;VALUE=DATE:19800316"}) {
    EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
  }
  EXPECT_EQ(text.find("19800314"), std::string::npos) << text;
  b.sync(server);
  EXPECT_EQ(b.texts(), Texts{"Geburtstag Jürgen, 45"});
  EXPECT_EQ(b.table->record(*b.find("Geburtstag Jürgen, 45")).date, changed.date);
  // Both agree with the server now: nothing more goes either way.
  EXPECT_EQ(a.sync(server).report, SyncReport{});
  EXPECT_EQ(b.sync(server).report, SyncReport{});
}

// What is no yearly event is left alone and not counted, even when the table is emptied.
TEST(CalendarSync, OtherResourcesAreLeftAlone) {
  const std::string meeting =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Beispiel//DE\r\nBEGIN:VEVENT\r\n"
      "UID:m1@example.org\r\nDTSTAMP:20260101T000000Z\r\nDTSTART:20261211T090000Z\r\n"
      "SUMMARY:Besprechung\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
  const std::string todo =
      "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Beispiel//DE\r\nBEGIN:VTODO\r\n"
      "UID:t1@example.org\r\nDTSTAMP:20260101T000000Z\r\nSUMMARY:Einkaufen\r\nEND:VTODO\r\n"
      "END:VCALENDAR\r\n";
  MemoryCalendar server;
  server.putDirect("/cal/m1.ics", meeting);
  server.putDirect("/cal/t1.ics", todo);
  const auto before = server.resources;
  Client a;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  SyncResult r = a.sync(server);
  EXPECT_EQ(syncSummary(r.report), "0 neu, 0 geändert, 0 Konflikte; auf dem Server 1 geschrieben");
  EXPECT_EQ(a.texts(), Texts{"Geburtstag Greta"});
  a.table->freeSlot(*a.find("Geburtstag Greta"));
  r = a.sync(server);
  EXPECT_EQ(r.question, "");
  EXPECT_EQ(server.resources.size(), 2u);
  EXPECT_EQ(server.resources.at("/cal/m1.ics").text, meeting);
  EXPECT_EQ(server.resources.at("/cal/t1.ics").text, todo);
  EXPECT_EQ(server.resources.at("/cal/m1.ics").etag, before.at("/cal/m1.ics").etag);
}

TEST(CalendarSync, CyrillicTextFromTheServerArrivesWhole) {
  MemoryCalendar server;
  server.putDirect("/cal/geb-17.ics", foreignTitled("День рождения Дмитрия"));
  Client a;
  a.sync(server);
  ASSERT_TRUE(a.find("День рождения Дмитрия"));
  EXPECT_TRUE(hasUnicodeText(a.table->record(*a.find("День рождения Дмитрия"))));
  EXPECT_EQ(a.sync(server).report, SyncReport{});
  EXPECT_EQ(server.puts, 0);
}

// What the table cannot hold whole is skipped and counted on every sync, and never deleted.
TEST(CalendarSync, EventsTheTableCannotHoldAreSkippedNotDeleted) {
  MemoryCalendar server;
  for (int i = 0; i < 1003; ++i) {
    EventRecord r = event(1950 + i % 70, 1 + i % 12, 1 + i % 28, "Ereignis " + std::to_string(i));
    server.putDirect("/cal/" + std::to_string(i) + ".ics", ownResource(r));
  }
  server.putDirect("/cal/lang.ics", foreignTitled(std::string(250, 'L')));
  const auto longEtag = server.resources.at("/cal/lang.ics").etag;

  Client a;
  SyncResult r = a.sync(server);
  EXPECT_EQ(r.report.added, 1000);
  EXPECT_EQ(r.report.skipped, 4);
  EXPECT_EQ(syncSummary(r.report), "1000 neu, 0 geändert, 0 Konflikte, 4 übersprungen");
  r = a.sync(server);
  EXPECT_EQ(syncSummary(r.report), "0 neu, 0 geändert, 0 Konflikte, 4 übersprungen");
  EXPECT_EQ(server.writes, 0);

  // Room for two: two come in; the rest and the long one stay where they are.
  for (const char* gone : {"Ereignis 5", "Ereignis 6"}) a.table->freeSlot(*a.find(gone));
  r = a.sync(server);
  EXPECT_EQ(r.report.deletedOnServer, 2);
  EXPECT_EQ(r.report.added, 2);
  EXPECT_EQ(r.report.skipped, 2);
  EXPECT_EQ(a.table->usedCount(), 1000);
  EXPECT_EQ(server.resources.size(), 1002u);
  EXPECT_EQ(server.resources.at("/cal/lang.ics").etag, longEtag);
}

// A yearly event the table cannot hold whole is skipped and counted, and stays on the server
// as it is; so does an event of ours that another program made something else than yearly.
TEST(CalendarSync, EventsNotHeldWholeStayOnTheServerAsTheyAre) {
  std::string outOfRange = foreignTitled("Zu früh");
  outOfRange.replace(outOfRange.find("19800314"), 8, "00000101");
  struct Case {
    const char* name;
    std::string text;
    int skipped;
  };
  const Case cases[] = {
      {.name = "text too long", .text = foreignTitled(std::string(201, 'L')), .skipped = 1},
      {.name = "date out of range", .text = outOfRange, .skipped = 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryCalendar server;
    server.putDirect("/cal/x.ics", c.text);
    Client a;
    a.add(event(1975, 4, 14, "Geburtstag Greta"));
    for (int round = 0; round < 2; ++round) {
      const SyncResult r = a.sync(server);
      EXPECT_EQ(r.report.skipped, c.skipped);
      EXPECT_EQ(r.report.added, 0);
    }
    EXPECT_EQ(a.texts(), Texts{"Geburtstag Greta"});
    EXPECT_EQ(server.resources.at("/cal/x.ics").text, c.text);
  }

  // Another client names its resources in its own way.
  MemoryCalendar server;
  const std::string href = "/cal/anderer-client-1.ics";
  server.putDirect(href, ownResource(event(1975, 4, 14, "Geburtstag Greta")));
  Client a;
  a.sync(server);
  std::string once = server.resources.at(href).text;
  once.erase(once.find("RRULE:"), once.find("\r\n", once.find("RRULE:")) + 2 - once.find("RRULE:"));
  server.putDirect(href, once);
  const int puts = server.puts;
  a.sync(server);
  a.sync(server);
  EXPECT_EQ(server.puts, puts);
  EXPECT_EQ(server.resources.size(), 1u);
  EXPECT_EQ(server.resources.at(href).text, once);
}

// A local event without a server form (a date past 9999, from another program's file) is
// skipped and counted; its resource is not taken for deleted here.
TEST(CalendarSync, LocalEventWithoutServerFormKeepsItsResource) {
  MemoryCalendar server;
  Client a;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.add(event(1980, 1, 2, "Umzug"));
  a.sync(server);
  EventRecord r = a.table->record(*a.find("Umzug"));
  r.date = 3000000.0;
  a.table->storeRecord(*a.find("Umzug"), r);
  const SyncResult result = a.sync(server);
  EXPECT_EQ(result.report.skipped, 1);
  EXPECT_EQ(result.report.deletedOnServer, 0);
  EXPECT_EQ(serverTexts(server), (Texts{"Geburtstag Greta", "Umzug"}));
}

// A 412: fetched again and decided again with what the server has now.
TEST(CalendarSync, PreconditionFailureDecidesAgain) {
  MemoryCalendar server;
  Client a;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.sync(server);
  const std::string href = hrefOf(server, "Geburtstag Greta");
  a.setText(*a.find("Geburtstag Greta"), "Geburtstag Greta M.");
  bool once = true;
  server.beforeWrite = [&](const std::string& h) {
    if (!once || h != href) return;
    once = false;
    EventRecord theirs = event(1975, 4, 14, "Geburtstag Greta Müller");
    setUid(theirs, *uidFromText(icalendarUid(a.table->record(1)).substr(0, 36)));
    server.putDirect(href, ownResource(theirs));
  };
  const SyncResult r = a.sync(server);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.report.conflicts, 1);
  const Texts want{"Geburtstag Greta Müller", "Geburtstag Greta M. (Konflikt)"};
  EXPECT_EQ(a.texts(), want);
  EXPECT_EQ(serverTexts(server), want);
}

// Deleted here while another client deleted it too: the 404 is no failure.
TEST(CalendarSync, ResourceGoneBeforeItsDeletionIsNoFailure) {
  MemoryCalendar server;
  Client a;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.add(event(1980, 1, 2, "Umzug"));
  a.sync(server);
  const std::string href = hrefOf(server, "Umzug");
  a.table->freeSlot(*a.find("Umzug"));
  server.beforeWrite = [&](const std::string& h) {
    if (server.resources.count(h)) server.removeDirect(h);
  };
  const SyncResult r = a.sync(server);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(serverTexts(server), Texts{"Geburtstag Greta"});
  EXPECT_EQ(a.state.resources.size(), 1u);
  EXPECT_NE(a.state.syncToken, "");
}

// A server failure ends the sync; what it confirmed is kept, the rest follows next time.
TEST(CalendarSync, ServerErrorKeepsWhatWasConfirmed) {
  MemoryCalendar server;
  Client a;
  for (int i = 0; i < 4; ++i) a.add(event(1990, 1, 1 + i, "E" + std::to_string(i)));
  server.failFromWrite = 3;
  SyncResult r = a.sync(server);
  EXPECT_EQ(r.error, "Keine Verbindung zum Server.");
  EXPECT_EQ(r.fault, ServerFault::Network);
  EXPECT_EQ(server.resources.size(), 2u);
  EXPECT_EQ(a.state.resources.size(), 2u);
  EXPECT_EQ(a.state.syncToken, "");
  server.failFromWrite = 0;
  r = a.sync(server);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.report.uploaded, 2);
  EXPECT_EQ(server.resources.size(), 4u);
  EXPECT_EQ(serverTexts(server), a.texts());
}

// The window went on while the sync ran: the user's edits and additions meanwhile stay, and
// the edit goes to the server next time.
TEST(CalendarSync, ApplyKeepsWhatTheUserChangedMeanwhile) {
  MemoryCalendar server;
  Client a, b;
  a.add(event(1975, 4, 14, "Geburtstag Greta"));
  a.add(event(1980, 1, 2, "Umzug"));
  a.sync(server);
  b.sync(server);
  b.setText(*b.find("Geburtstag Greta"), "Geburtstag Greta (Server)");
  b.add(event(2000, 1, 1, "Neu von B"));
  b.sync(server);

  const auto snapshot = std::make_unique<EventTable>(*a.table);
  const SyncResult r = syncCalendar(*snapshot, a.state, server, options());
  // Meanwhile in the window: Greta edited, an event added in the slot the sync fills.
  a.setText(*a.find("Geburtstag Greta"), "Geburtstag Greta (Fenster)");
  a.add(event(2001, 2, 2, "Neu im Fenster"));
  a.state = applySync(*a.table, *snapshot, r);
  EXPECT_EQ(a.texts(),
            (Texts{"Geburtstag Greta (Fenster)", "Umzug", "Neu von B", "Neu im Fenster"}));
  a.sync(server);
  b.sync(server);
  EXPECT_EQ(b.texts(), a.texts());
  EXPECT_EQ(serverTexts(server), a.texts());
}

// Two tables and direct changes on the server (in our form and in another program's), 200
// random steps; then one sync each (and one more for the first, to fetch what the second
// uploaded). Afterwards:
// - agree: for each table, its state maps every server resource to one event of the table and
//   every event of the table to one resource, each pair with the same content (syncHash);
// - nothing lost: every text a user or the server wrote is still there (as it is or as a
//   " (Konflikt)" copy) unless a user later changed or deleted an event showing it;
// - nothing twice: no text is there twice.
TEST(CalendarSync, RandomStepsEndInAgreementWithNothingLost) {
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    MemoryCalendar server;
    Client clients[2];
    std::set<std::string> alive;  // written texts no one has retired yet
    int next = 0;
    const auto fresh = [&] {
      const std::string t = "T" + std::to_string(next++);
      alive.insert(t);
      return t;
    };
    const auto retire = [&](const std::string& text) {
      alive.erase(text);
      if (text.ends_with(" (Konflikt)")) alive.erase(text.substr(0, text.size() - 11));
    };
    const auto usedSlots = [](const Client& c) {
      std::vector<int> out;
      for (int s = 1; s <= kSlotCount; ++s) {
        if (!c.table->slotIsFree(s)) out.push_back(s);
      }
      return out;
    };
    for (int step = 0; step < 200; ++step) {
      const int who = pick(3);
      const int what = pick(4);
      if (who < 2) {
        Client& c = clients[who];
        const auto used = usedSlots(c);
        if (what == 0 || used.empty()) {
          c.add(event(1950 + pick(60), 1 + pick(12), 1 + pick(28), fresh()));
        } else if (what == 1) {
          const int slot = used[static_cast<std::size_t>(pick(static_cast<int>(used.size())))];
          retire(eventText(c.table->record(slot)));
          c.setText(slot, fresh());
          if (pick(2) == 0) {
            EventRecord r = c.table->record(slot);
            r.date = toDouble(*makeDayNumber(1950 + pick(60), 1 + pick(12), 1 + pick(28)));
            c.table->storeRecord(slot, r);
          }
        } else if (what == 2) {
          const int slot = used[static_cast<std::size_t>(pick(static_cast<int>(used.size())))];
          retire(eventText(c.table->record(slot)));
          c.table->freeSlot(slot);
        } else {
          ASSERT_EQ(c.sync(server, true).error, "");
        }
      } else {
        std::vector<std::string> hrefs;
        for (const auto& [href, r] : server.resources) hrefs.push_back(href);
        const std::string name = std::to_string(step);
        if ((what == 0 || hrefs.empty()) && pick(2) == 0) {
          EventRecord r = event(1950 + pick(60), 1 + pick(12), 1 + pick(28), fresh());
          server.putDirect("/cal/direct-" + name + ".ics", ownResource(r));
          continue;
        }
        if (what == 0 || hrefs.empty()) {
          std::string text = foreignTitled(fresh());
          text.replace(text.find("geb-17@"), 6, "fremd-" + name);
          server.putDirect("/cal/fremd-" + name + ".ics", text);
          continue;
        }
        const std::string href =
            hrefs[static_cast<std::size_t>(pick(static_cast<int>(hrefs.size())))];
        const auto read =
            readIcalendar(server.resources.at(href).text, options().today, options().localDate);
        ASSERT_EQ(read.candidates.size(), 1u);
        EventRecord r = read.candidates[0].record;
        retire(eventText(r));
        std::string text = server.resources.at(href).text;
        if (what == 1 && text.find(kIcalendarProductId) == std::string::npos) {
          // Another program edits its own resource: only the title.
          const std::size_t at = text.find("SUMMARY:");
          ASSERT_NE(at, std::string::npos);
          text.replace(at, text.find("\r\n", at) - at, "SUMMARY:" + fresh());
          server.putDirect(href, text);
        } else if (what == 1) {
          setEventText(r, fresh());
          server.putDirect(href, ownResource(r));
        } else {
          server.removeDirect(href);
        }
      }
    }
    ASSERT_EQ(clients[0].sync(server, true).error, "");
    ASSERT_EQ(clients[1].sync(server, true).error, "");
    ASSERT_EQ(clients[0].sync(server, true).error, "");

    for (const Client& c : clients) {
      std::map<std::string, const SyncResource*> entryOf;
      for (const SyncResource& r : c.state.resources) entryOf[r.href] = &r;
      std::map<std::string, std::string> onServer;  // mapped uid -> content
      for (const auto& [href, res] : server.resources) {
        const auto read = readIcalendar(res.text, options().today, options().localDate);
        ASSERT_EQ(read.candidates.size(), 1u);
        const auto entry = entryOf.find(href);
        ASSERT_NE(entry, entryOf.end()) << href;
        ASSERT_EQ(entry->second->status, ResourceStatus::Event);
        EXPECT_TRUE(onServer
                        .emplace(uidText(*entry->second->uid),
                                 *syncHash(read.candidates[0].record, options()))
                        .second);
      }
      std::map<std::string, std::string> inTable;
      for (int s = 1; s <= kSlotCount; ++s) {
        if (c.table->slotIsFree(s)) continue;
        const EventRecord& r = c.table->record(s);
        EXPECT_TRUE(
            inTable.emplace(uidText(readExtension(r)->uid), *syncHash(r, options())).second);
      }
      EXPECT_EQ(inTable, onServer);
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
