// What the calendar sync remembers between two syncs of one start directory: the collection,
// the sync token, and per resource its ETag, the event it maps to and what was last agreed.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/files.h"
#include "store/record_extension.h"

namespace tavik {

enum class ResourceStatus {
  Event,    // a yearly event the table holds (or held until it was deleted here)
  Ignored,  // not a yearly event (a VTODO, a meeting, ...): left alone, not counted
  Skipped,  // a yearly event the table cannot hold whole or had no room for: fetched again
};

struct SyncResource {
  std::string href;
  std::string etag;
  ResourceStatus status = ResourceStatus::Event;
  // The event the resource maps to; a Skipped or Ignored resource that once was an event keeps
  // it, so the event is not uploaded a second time.
  std::optional<Uid> uid;
  std::string hash;  // syncHash of what was last agreed; Event only
  // Another program's iCalendar text as the server last sent it, so a change made here goes
  // back in its own form; empty for the resources in our own form.
  std::string foreignText;
  friend bool operator==(const SyncResource&, const SyncResource&) = default;
};

struct SyncState {
  std::string collection;  // the collection's URL the state belongs to
  std::string syncToken;
  std::vector<SyncResource> resources;
  friend bool operator==(const SyncState&, const SyncState&) = default;
};

// A state file larger than this is not read (1000 events of other programs at a few
// kilobytes each stay far below it).
inline constexpr std::size_t kSyncStateLimit = 64 * 1024 * 1024;

// The state file's text: a version line, then one line per item, fields separated by TABs and
// percent-encoded, and a closing line with the number of resources.
std::string syncStateText(const SyncState& state);
// The state in `text`; nullopt for anything that is not a whole state of this version.
std::optional<SyncState> parseSyncState(std::string_view text);

// Reads the state file; a missing, unreadable or spoilt file gives the empty state (the next
// sync is then a first sync, which matches events by identity and content).
SyncState loadSyncState(Files& files, const std::string& path);
// Writes the state file atomically; a link in its place is replaced, never followed. Throws
// FileError.
void saveSyncState(Files& files, const std::string& path, const SyncState& state);

}  // namespace tavik
