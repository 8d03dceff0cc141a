// The WebDAV answers of a CalDAV server read from their bytes, the request bodies we send, and
// the one form of an href we compare and send back.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavik {

// One <response> of a multistatus. Properties come only from propstats with a 2xx status (or
// none): what a server lists under 404 is absent, not empty.
struct DavResponse {
  std::string href;  // canonicalHref() of the path; an absolute URL is cut to its path
  int status = 0;    // the response's own <status> (404 for a member gone), 0 without one
  std::string etag;  // with its quotes, as given
  std::string calendarData;
  std::string contentType;
  std::string displayName;
  std::string color;  // Apple's calendar-color, e.g. "#FF0000FF"
  std::string syncToken;
  std::string principal;     // the href in current-user-principal
  std::string calendarHome;  // the first href in calendar-home-set
  bool isCollection = false;
  bool isCalendar = false;
  bool hasComponentSet = false;         // a supported-calendar-component-set was listed
  std::vector<std::string> components;  // its names, e.g. "VEVENT"
  friend bool operator==(const DavResponse&, const DavResponse&) = default;
};

struct Multistatus {
  std::vector<DavResponse> responses;
  std::string syncToken;  // the sync-collection report's own token (beside the responses)
};

// Reads a multistatus body. Namespace-aware (any prefixes); nothing else than DAV:, CalDAV and
// Apple's iCal namespace is looked at. Refuses a body with a DTD (no entity of ours is ever
// declared), nesting deeper than 64 elements, more than 400000 elements, or a root other than
// DAV:multistatus: then nullopt, and `error` (when given) says why in English for a log.
std::optional<Multistatus> parseMultistatus(QByteArrayView body, std::string* error = nullptr);

// The preconditions a DAV:error body names (local names such as "valid-sync-token"); empty
// when the body is not a DAV:error.
std::vector<std::string> parseDavError(QByteArrayView body);

// The one form of a path we keep and send: every byte other than an unreserved character
// (RFC 3986: letters, digits, "-._~") and "/" percent-encoded in upper case, encoded ones
// decoded first. "/a%40b.ics", "/a@b.ics" and "/a%40B.ics"... give "/a%40b.ics"; "%2F" stays
// encoded, so a segment never splits. A leading "scheme://host" is cut off.
std::string canonicalHref(std::string_view href);

// `text` with every byte other than an unreserved character percent-encoded ("/" too): a path
// segment for canonicalHref's form.
std::string encodeSegment(std::string_view text);

// Request bodies. `props` are the DAV: property names asked for; the others come in the CalDAV
// or Apple namespace by their name ("calendar-home-set", "supported-calendar-component-set",
// "calendar-color").
QByteArray propfindBody(const std::vector<std::string>& props);
QByteArray syncCollectionBody(const std::string& syncToken);
QByteArray multigetBody(const std::vector<std::string>& hrefs);
QByteArray mkcalendarBody(const QString& displayName);

}  // namespace tavik
