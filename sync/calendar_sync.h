// The two-way sync of the event table with a calendar collection: what changed on one side
// since the last sync goes to the other.
//
// It works on a copy of the table (the window keeps running while a sync runs) and returns the
// new table, the new state and a report; applySync then brings the result into the live table.
// Rules:
// - Each event is one VEVENT resource in the ics export's form (UID "<uuid>@tavik"). Records
//   whose reserved bytes belong to another program carry no identity: skipped and counted.
// - An event counts as changed on one side when its content hash differs from the one last
//   agreed (the server side is fetched only when its ETag changed).
// - Changed on both sides: the server's version wins in the table; the local one is kept as a
//   new event whose text ends in " (Konflikt)", and uploaded.
// - Deleted on the server and changed here: uploaded again. Deleted here and unchanged on the
//   server: deleted there (If-Match). Deleted here and changed on the server: the server's
//   change brings the event back (nothing anyone changed is lost).
// - A 412 on PUT or DELETE: the resource is fetched and decided again, up to three times.
// - Yearly events of other programs come in like the ics import; a change made here goes back
//   in their own form (their text edited with libical, their other properties kept). Any other
//   resource is left alone and not counted. An event the table cannot hold whole (a text too
//   long, a date out of range, no free slot) is skipped and counted, and is never changed or
//   deleted on the server because of that.
// - A sync that would delete at least 3 events on one side and more than half of those last
//   agreed stops before changing anything and returns a question; run it again with
//   `confirmed` to go on. A first sync (no state) never deletes: it merges, matching events by
//   identity and then by equal content.
// - A ServerError ends the sync: the table and state then hold exactly what the server had
//   confirmed, with the old sync token, so the next sync takes up the rest.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "exchange/icalendar_reader.h"
#include "store/event_table.h"
#include "sync/calendar_server.h"
#include "sync/sync_state.h"

namespace tavik {

struct SyncOptions {
  std::string collection;  // the collection's URL; a state of another collection counts as none
  DayNumber today{};
  std::int64_t nowUnixSeconds = 0;  // the DTSTAMP of what is uploaded
  LocalDateOf localDate = systemLocalDate;
  bool confirmed = false;  // the user allowed a sync that deletes many events
};

struct SyncReport {
  int added = 0;    // events new in the table
  int changed = 0;  // events changed in the table
  int removed = 0;  // events deleted from the table
  int uploaded = 0;
  int deletedOnServer = 0;
  int conflicts = 0;
  int skipped = 0;  // events one side holds that the other cannot take
  bool tableChanged = false;
  friend bool operator==(const SyncReport&, const SyncReport&) = default;
};

struct SyncResult {
  std::unique_ptr<EventTable> table;  // the snapshot with the sync's changes
  SyncState state;
  SyncReport report;
  // Not empty: the sync stopped before changing anything and asks this; table and state are
  // as they were.
  std::string question;
  // Not empty: the server failed (the German reason); the table and state hold what it had
  // confirmed.
  std::string error;
  std::optional<ServerFault> fault;
};

// What the table got: "3 neu, 1 geändert, 0 Konflikte", with "1 entfernt, " before the
// conflicts and ", 2 übersprungen" after them when there are any; then what the server got:
// "; auf dem Server 5 geschrieben, 1 gelöscht" when anything.
std::string syncSummary(const SyncReport& report);

// The content hash of what syncs of an event (its date, year switch, switches, kind, lead days
// and text) as the server's form of it holds it; nullopt when the event has no server form
// (a date that is no day).
std::optional<std::string> syncHash(const EventRecord& record, const SyncOptions& options);

// Syncs a copy of `snapshot` with the server; throws nothing of the server's (its errors end
// up in `error`).
SyncResult syncCalendar(const EventTable& snapshot, const SyncState& state, CalendarServer& server,
                        const SyncOptions& options);

// Brings a result into the live table, slot by slot: where the live record is still the
// snapshot's, the result's takes its place; where the user changed, deleted or added an event
// meanwhile, the live one stays (and is a local change for the next sync). An event the sync
// added that finds no free slot any more is left for the next sync. Returns the state to write.
SyncState applySync(EventTable& live, const EventTable& snapshot, const SyncResult& result);

}  // namespace tavik
