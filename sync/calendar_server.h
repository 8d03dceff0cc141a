// What the calendar sync needs of a calendar collection on a server. The CalDAV client
// implements it over HTTP; the sync itself knows nothing of the protocol.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace tavik {

// One calendar resource as the server lists it.
struct ServerEntry {
  std::string href;  // the path on the server, as the server gave it
  std::string etag;  // the entity tag with its quotes, as the server gave it
  friend bool operator==(const ServerEntry&, const ServerEntry&) = default;
};

struct ServerResource {
  std::string href;
  std::string etag;
  std::string calendarData;  // the iCalendar text (UTF-8)
  friend bool operator==(const ServerResource&, const ServerResource&) = default;
};

// What changed in the collection since a sync token, or all of it.
struct ServerListing {
  // True when `entries` lists every resource of the collection (a full listing): what it does
  // not list is gone. False for the changes since a token: `entries` new or changed,
  // `removed` gone.
  bool complete = false;
  std::vector<ServerEntry> entries;
  std::vector<std::string> removed;
  std::string syncToken;  // the token to ask from next time; empty when the server has none
};

enum class ServerFault {
  Network,       // no connection: refused, no route, name not found
  Timeout,       // no answer in time
  Unauthorized,  // 401 or 403: a wrong user or password
  Certificate,   // the TLS certificate did not pass the checks
  Precondition,  // 412: the resource changed on the server since its ETag
  NotFound,      // 404 or 410
  Server,        // any other failing HTTP status or redirect that cannot be followed
  BadAnswer,     // a body too large, not XML, or not the answer asked for
};

// What a CalendarServer throws; `what()` is the German text for the status line.
class ServerError : public std::runtime_error {
 public:
  ServerError(ServerFault fault, const std::string& message)
      : std::runtime_error(message), fault_(fault) {}
  ServerFault fault() const { return fault_; }

 private:
  ServerFault fault_;
};

// A calendar collection. Every call blocks until the server answered or gave up, and throws
// ServerError.
class CalendarServer {
 public:
  virtual ~CalendarServer() = default;
  // The changes since `syncToken` (a sync-collection REPORT; an empty token asks for all).
  // When the server has no sync tokens or rejects this one: a full listing (PROPFIND).
  virtual ServerListing changesSince(const std::string& syncToken) = 0;
  // The resources of `hrefs` (calendar-multiget); those the server no longer has are missing
  // from the answer.
  virtual std::vector<ServerResource> fetch(const std::vector<std::string>& hrefs) = 0;
  // Writes a resource: a new one (If-None-Match: *) when `ifMatch` is empty, else only while
  // its ETag is `ifMatch`. Returns the new ETag; empty when the server sent none.
  virtual std::string put(const std::string& href, const std::string& calendarData,
                          const std::string& ifMatch) = 0;
  // Deletes a resource while its ETag is `ifMatch` (any ETag when empty).
  virtual void remove(const std::string& href, const std::string& ifMatch) = 0;
  // The href a new resource for the event identity `uid` gets in this collection.
  virtual std::string hrefFor(const std::string& uid) const = 0;
};

}  // namespace tavik
