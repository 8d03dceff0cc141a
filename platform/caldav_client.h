// A calendar collection on a CalDAV server over HTTP(S), and finding the user's calendars.
#pragma once

#include <QString>
#include <QUrl>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "sync/calendar_server.h"

namespace tavik {

class DavSession;

// The rules every request follows, so a caller can rely on them:
// - Only https with Qt's certificate checks; plain http only to this machine (127.0.0.0/8, ::1,
//   "localhost"). Anything else throws ServerError(Server, "Unverschlüsselte Verbindungen
//   (http) sind nur zum eigenen Rechner erlaubt.") before a connection is made. A certificate
//   Qt rejects throws Certificate with Qt's reason; there is no way around it.
// - Basic or digest authentication, answered once per request; a second ask is a wrong user or
//   password (Unauthorized). The password is never put in a URL or a message.
// - Redirects are followed for reading (PROPFIND, REPORT) up to 5 hops, never from https to
//   http and never to a host the rule above refuses. A write (PUT, DELETE, MKCALENDAR) that is
//   redirected fails with Server: its body is not sent again to an address it was not meant for.
// - Answers are limited in size: 32 MiB for a calendar-multiget, 16 MiB for a listing or a
//   sync-collection report, 1 MiB for anything else; beyond that the transfer is cut
//   (BadAnswer, "Die Antwort des Servers ist zu groß.").
// - A transfer that stalls for the timeout is cut (Timeout); no connection gives Network.
// Every call blocks in a local event loop of the calling thread, which needs a
// QCoreApplication and should not be the window's (the loop would run its events too). An
// object belongs to the thread that made it.

// A calendar collection at `collection` (e.g. "https://host/remote.php/dav/calendars/anna/
// geburtstage/"; a missing final "/" is added, a user and password in it dropped).
// Hrefs given and returned are paths on the server in canonicalHref() form.
class CalDavServer final : public CalendarServer {
 public:
  CalDavServer(const QUrl& collection, const QString& user, const QString& password,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));
  ~CalDavServer() override;
  CalDavServer(const CalDavServer&) = delete;
  CalDavServer& operator=(const CalDavServer&) = delete;

  // An empty token, a server without sync-collection (400, 403, 405, 409, 412, 501, 507,
  // e.g. 403 valid-sync-token for a token it no longer knows) or one that gives no token:
  // a full listing (PROPFIND Depth 1; the collection's sync-token in the same answer).
  // Only calendar resources are listed, not the collection or other members.
  ServerListing changesSince(const std::string& syncToken) override;
  // calendar-multiget in batches of 100 hrefs; resources without calendar data are left out.
  std::vector<ServerResource> fetch(const std::vector<std::string>& hrefs) override;
  // 200, 201 (what Radicale answers on an update too) and 204 succeed; 412 throws
  // Precondition. A weak ETag ("W/...") cannot be used in If-Match and is returned empty.
  std::string put(const std::string& href, const std::string& calendarData,
                  const std::string& ifMatch) override;
  // 404 and 410 count as done: the resource is gone either way. 412 throws Precondition.
  void remove(const std::string& href, const std::string& ifMatch) override;
  // The collection's path + the uid with every byte other than [A-Za-z0-9-._~] encoded + ".ics";
  // for a uid with a "/", an empty one or one longer than 200 bytes its SHA-1 in hex + ".ics".
  std::string hrefFor(const std::string& uid) const override;

  const QUrl& collection() const { return m_collection; }

 private:
  ServerListing fullListing();
  QUrl urlFor(const std::string& href) const;
  // Whether `href` names the collection itself (with or without its final "/").
  bool isCollection(const std::string& href) const;

  QUrl m_collection;
  std::string m_path;  // of the collection, canonical, with its final "/"
  std::unique_ptr<DavSession> m_session;
};

struct DiscoveredCalendar {
  QUrl url;             // the collection, with its final "/"
  QString displayName;  // the collection's name when the server gives none
  QString color;        // "#RRGGBB" or "#RRGGBBAA"; empty when the server gives none
  friend bool operator==(const DiscoveredCalendar&, const DiscoveredCalendar&) = default;
};

struct Discovery {
  QUrl home;  // where makeCalendar() puts a new calendar; empty when none was found
  std::vector<DiscoveredCalendar> calendars;  // those that hold VEVENTs, in the server's order
};

// The user's calendars from a server address or a calendar's own address: a calendar
// collection is offered itself; else the current-user-principal of `address` (of
// "/.well-known/caldav" when it names none), its calendar-home-set and the calendars in it.
// Throws ServerError as the calls above; Server "Auf dem Server wurde kein CalDAV-Kalender
// gefunden." when no principal and no home were found.
Discovery discoverCalendars(const QUrl& address, const QString& user, const QString& password,
                            std::chrono::milliseconds timeout = std::chrono::seconds(30));

// Makes a calendar for events named `displayName` in `home` (MKCALENDAR) at "tavik/", or at
// "tavik-2/", "tavik-3/" ... when that exists. Returns its URL.
QUrl makeCalendar(const QUrl& home, const QString& displayName, const QString& user,
                  const QString& password,
                  std::chrono::milliseconds timeout = std::chrono::seconds(30));

}  // namespace tavik
