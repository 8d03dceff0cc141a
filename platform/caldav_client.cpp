// A calendar collection on a CalDAV server over HTTP(S), and finding the user's calendars.
#include "platform/caldav_client.h"

#include <QAuthenticator>
#include <QCryptographicHash>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <algorithm>
#include <map>
#include <optional>

#include "platform/dav_xml.h"

namespace tavik {

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kMultigetLimit = 32 * kMiB;
constexpr qint64 kListingLimit = 16 * kMiB;
constexpr qint64 kOtherLimit = 1 * kMiB;
constexpr int kMaxRedirects = 5;
constexpr std::size_t kMultigetBatch = 100;

[[noreturn]] void fail(ServerFault fault, const QString& message) {
  throw ServerError(fault, message.toStdString());
}

QString shown(const QUrl& url) {
  return url.toDisplayString(QUrl::RemoveUserInfo);
}

bool isLoopback(const QUrl& url) {
  const QString host = url.host();
  if (host.compare(u"localhost", Qt::CaseInsensitive) == 0) return true;
  const QHostAddress address(host);
  return !address.isNull() && address.isLoopback();
}

// Throws before anything is sent to an address the rules refuse.
void checkTransport(const QUrl& url) {
  if (url.scheme() == u"https" && url.isValid() && !url.host().isEmpty()) return;
  if (url.scheme() == u"http" && url.isValid() && isLoopback(url)) return;
  if (url.scheme() == u"http")
    fail(ServerFault::Server,
         QStringLiteral("Unverschlüsselte Verbindungen (http) sind nur zum eigenen Rechner "
                        "erlaubt."));
  fail(ServerFault::Server, QStringLiteral("Die Adresse des Servers muss mit https:// beginnen."));
}

// The address without a user or password in it.
QUrl withoutUserInfo(QUrl url) {
  url.setUserInfo(QString());
  return url;
}

QUrl withPath(QUrl base, const std::string& canonicalPath) {
  base.setPath(QString::fromStdString(canonicalPath), QUrl::TolerantMode);
  base.setQuery(QString());
  base.setFragment(QString());
  return base;
}

std::string pathOf(const QUrl& url) {
  std::string path = canonicalHref(url.path(QUrl::FullyEncoded).toStdString());
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool isSuccess(int status) {
  return status >= 200 && status < 300;
}

bool isRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

using Headers = std::vector<std::pair<QByteArray, QByteArray>>;

const QByteArray kXml = "application/xml; charset=utf-8";

}  // namespace

// The requests of one user to one server: authentication, the transport rules, limits and
// the translation of every failure into a ServerError.
class DavSession {
 public:
  enum class Kind { Read, Write };
  struct Answer {
    int status = 0;
    QByteArray reason;
    QByteArray body;
    QByteArray etag;
    QUrl url;       // where the answer came from, after redirects
    QUrl location;  // of a redirect
  };

  DavSession(QString user, QString password, std::chrono::milliseconds timeout)
      : m_user(std::move(user)), m_password(std::move(password)), m_timeout(timeout) {
    QObject::connect(&m_network, &QNetworkAccessManager::authenticationRequired,
                     [this](QNetworkReply* reply, QAuthenticator* authenticator) {
                       // Asked again for the same request: the server refused what we gave.
                       const int asked = reply->property("tavikAsked").toInt();
                       reply->setProperty("tavikAsked", asked + 1);
                       if (asked == 0 && !m_user.isEmpty()) {
                         authenticator->setUser(m_user);
                         authenticator->setPassword(m_password);
                       }
                     });
  }

  // Sends one request and returns the server's answer whatever its status, after following
  // the redirects a read may follow. Throws for no answer, a refused redirect and 401.
  Answer send(QUrl url, const QByteArray& verb, const QByteArray& body, const Headers& headers,
              Kind kind, qint64 limit) {
    url = withoutUserInfo(url);
    checkTransport(url);
    for (int hop = 0;; ++hop) {
      Answer answer = sendOnce(url, verb, body, headers, limit);
      if (!isRedirect(answer.status)) return answer;
      if (answer.location.isEmpty()) failFor(answer);
      QUrl target = url.resolved(answer.location);
      if (kind == Kind::Write)
        fail(ServerFault::Server,
             QStringLiteral("Der Server leitet die Änderung nach %1 um; sie wurde nicht "
                            "ausgeführt.")
                 .arg(shown(target)));
      if (hop >= kMaxRedirects)
        fail(ServerFault::Server, QStringLiteral("Der Server leitet zu oft um."));
      if (url.scheme() == u"https" && target.scheme() != u"https")
        fail(ServerFault::Server,
             QStringLiteral("Der Server leitet auf die unverschlüsselte Adresse %1 um; das wird "
                            "nicht befolgt.")
                 .arg(shown(target)));
      target = withoutUserInfo(target);
      checkTransport(target);
      url = target;
    }
  }

  // Throws the error an unexpected answer stands for.
  [[noreturn]] void failFor(const Answer& answer) const {
    const int s = answer.status;
    if (s == 401)
      fail(ServerFault::Unauthorized,
           QStringLiteral("Anmeldung am Server fehlgeschlagen (Benutzername oder Passwort "
                          "falsch)."));
    if (s == 403)
      fail(ServerFault::Unauthorized,
           QStringLiteral("Der Server verweigert den Zugriff auf %1 (HTTP 403).")
               .arg(shown(answer.url)));
    if (s == 404 || s == 410)
      fail(ServerFault::NotFound, QStringLiteral("Die Adresse %1 gibt es auf dem Server nicht "
                                                 "(HTTP %2).")
                                      .arg(shown(answer.url))
                                      .arg(s));
    if (s == 412)
      fail(ServerFault::Precondition,
           QStringLiteral("Der Eintrag wurde auf dem Server inzwischen geändert (HTTP 412)."));
    if (isSuccess(s))
      fail(ServerFault::BadAnswer,
           QStringLiteral("Der Server hat keine gültige WebDAV-Antwort geschickt."));
    const QString reason = QString::fromLatin1(answer.reason).trimmed();
    fail(ServerFault::Server, QStringLiteral("Der Server meldet einen Fehler (HTTP %1%2).")
                                  .arg(s)
                                  .arg(reason.isEmpty() ? QString() : u' ' + reason));
  }

  // The multistatus of a 207 answer; throws for any other.
  Multistatus multistatus(const Answer& answer) const {
    if (answer.status != 207) failFor(answer);
    std::optional<Multistatus> parsed = parseMultistatus(answer.body);
    if (!parsed)
      fail(ServerFault::BadAnswer,
           QStringLiteral("Der Server hat keine gültige WebDAV-Antwort geschickt."));
    return std::move(*parsed);
  }

  Answer propfind(const QUrl& url, int depth, const std::vector<std::string>& props) {
    return send(url, "PROPFIND", propfindBody(props),
                {{"Depth", QByteArray::number(depth)}, {"Content-Type", kXml}}, Kind::Read,
                depth == 0 ? kOtherLimit : kListingLimit);
  }

 private:
  Answer sendOnce(const QUrl& url, const QByteArray& verb, const QByteArray& body,
                  const Headers& headers, qint64 limit) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(static_cast<int>(m_timeout.count()));
    for (const auto& [name, value] : headers) request.setRawHeader(name, value);
    QNetworkReply* reply = m_network.sendCustomRequest(request, verb, body);
    bool tooLarge = false;
    QString certificateReason;
    QObject::connect(reply, &QNetworkReply::downloadProgress, [&](qint64 got, qint64 total) {
      if (got > limit || total > limit) {
        tooLarge = true;
        reply->abort();
      }
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, [&](const QList<QSslError>& errors) {
      if (!errors.isEmpty() && certificateReason.isEmpty())
        certificateReason = errors.first().errorString();
    });
    if (!reply->isFinished()) {
      QEventLoop loop;
      QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
      loop.exec();
    }
    const std::unique_ptr<QNetworkReply> owned(reply);
    if (tooLarge)
      fail(ServerFault::BadAnswer, QStringLiteral("Die Antwort des Servers ist zu groß."));
    Answer answer;
    answer.url = url;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer.status == 0) failWithoutAnswer(*reply, certificateReason);
    answer.reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray();
    answer.etag = reply->rawHeader("ETag");
    answer.location = QUrl::fromEncoded(reply->rawHeader("Location"));
    answer.body = reply->readAll();
    if (answer.body.size() > limit)
      fail(ServerFault::BadAnswer, QStringLiteral("Die Antwort des Servers ist zu groß."));
    if (answer.status == 401 || reply->error() == QNetworkReply::AuthenticationRequiredError) {
      answer.status = 401;
      failFor(answer);
    }
    return answer;
  }

  [[noreturn]] void failWithoutAnswer(const QNetworkReply& reply,
                                      const QString& certificateReason) const {
    const auto error = reply.error();
    if (!certificateReason.isEmpty() || error == QNetworkReply::SslHandshakeFailedError) {
      QString reason = certificateReason.isEmpty() ? reply.errorString() : certificateReason;
      while (reason.endsWith(u'.')) reason.chop(1);
      fail(ServerFault::Certificate,
           QStringLiteral("Das Zertifikat des Servers wurde abgelehnt: %1.").arg(reason));
    }
    if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError) {
      const auto seconds = (m_timeout.count() + 999) / 1000;
      fail(ServerFault::Timeout,
           seconds == 1
               ? QStringLiteral("Der Server antwortet nicht (nach 1 Sekunde abgebrochen).")
               : QStringLiteral("Der Server antwortet nicht (nach %1 Sekunden abgebrochen).")
                     .arg(seconds));
    }
    if (error == QNetworkReply::AuthenticationRequiredError)
      fail(ServerFault::Unauthorized,
           QStringLiteral("Anmeldung am Server fehlgeschlagen (Benutzername oder Passwort "
                          "falsch)."));
    QString reason = reply.errorString();
    while (reason.endsWith(u'.')) reason.chop(1);
    fail(ServerFault::Network, QStringLiteral("Keine Verbindung zum Server: %1.").arg(reason));
  }

  QNetworkAccessManager m_network;
  QString m_user;
  QString m_password;
  std::chrono::milliseconds m_timeout;
};

namespace {

QUrl collectionUrl(QUrl url) {
  url = withoutUserInfo(url);
  QString path = url.path(QUrl::FullyEncoded);
  if (!path.endsWith(u'/')) {
    path += u'/';
    url.setPath(path, QUrl::TolerantMode);
  }
  return url;
}

}  // namespace

CalDavServer::CalDavServer(const QUrl& collection, const QString& user, const QString& password,
                           std::chrono::milliseconds timeout)
    : m_collection(collectionUrl(collection)),
      m_path(pathOf(m_collection)),
      m_session(std::make_unique<DavSession>(user, password, timeout)) {}

CalDavServer::~CalDavServer() = default;

bool CalDavServer::isCollection(const std::string& href) const {
  return href == m_path || href + '/' == m_path;
}

QUrl CalDavServer::urlFor(const std::string& href) const {
  return withPath(m_collection, href);
}

std::string CalDavServer::hrefFor(const std::string& uid) const {
  // Servers take an encoded "/" for a path separator (Radicale answers 403), and a name has
  // to fit in a path: such a uid is named by its hash.
  if (uid.empty() || uid.size() > 200 || uid.find('/') != std::string::npos)
    return m_path +
           QCryptographicHash::hash(QByteArray::fromStdString(uid), QCryptographicHash::Sha1)
               .toHex()
               .toStdString() +
           ".ics";
  return m_path + encodeSegment(uid) + ".ics";
}

ServerListing CalDavServer::changesSince(const std::string& syncToken) {
  if (syncToken.empty()) return fullListing();
  // The last word on each href (nullopt: removed), in the order first seen.
  std::map<std::string, std::optional<std::string>> last;
  std::vector<std::string> order;
  std::string token = syncToken;
  // A server may give the changes in parts (a 507 for the collection itself, RFC 6578 3.6):
  // ask again from the token of each part.
  for (int part = 0;; ++part) {
    const DavSession::Answer answer = m_session->send(
        m_collection, "REPORT", syncCollectionBody(token), {{"Depth", "0"}, {"Content-Type", kXml}},
        DavSession::Kind::Read, kListingLimit);
    // 403/409 with valid-sync-token is a token the server forgot; the others a server without
    // sync-collection or one that will not list the changes at all (507).
    static constexpr int kNoSync[] = {400, 403, 405, 409, 412, 415, 501, 507};
    if (std::find(std::begin(kNoSync), std::end(kNoSync), answer.status) != std::end(kNoSync))
      return fullListing();
    const Multistatus status = m_session->multistatus(answer);
    if (status.syncToken.empty() || (part > 0 && status.syncToken == token)) return fullListing();
    token = status.syncToken;
    bool truncated = false;
    for (const DavResponse& r : status.responses) {
      if (isCollection(r.href)) truncated |= r.status == 507;
      if (isCollection(r.href) || r.href.empty() || r.href.back() == '/') continue;
      std::optional<std::string> now;
      if (r.status == 404 || r.status == 410)
        now = std::nullopt;
      else if (r.status == 0 || isSuccess(r.status))
        now = r.etag;
      else
        continue;
      if (last.emplace(r.href, now).second)
        order.push_back(r.href);
      else
        last[r.href] = now;
    }
    if (!truncated) break;
    if (part >= 100) return fullListing();
  }
  ServerListing listing;
  listing.syncToken = token;
  for (const std::string& href : order) {
    if (const auto& etag = last[href])
      listing.entries.push_back({href, *etag});
    else
      listing.removed.push_back(href);
  }
  return listing;
}

ServerListing CalDavServer::fullListing() {
  const Multistatus status = m_session->multistatus(m_session->propfind(
      m_collection, 1, {"resourcetype", "getetag", "getcontenttype", "sync-token"}));
  ServerListing listing;
  listing.complete = true;
  for (const DavResponse& r : status.responses) {
    if (isCollection(r.href)) {
      listing.syncToken = r.syncToken;
      continue;
    }
    const bool calendarData =
        r.contentType.empty() || QByteArrayView(r.contentType).startsWith("text/calendar");
    if (r.isCollection || r.href.empty() || r.href.back() == '/' || !calendarData) continue;
    if (r.status != 0 && !isSuccess(r.status)) continue;
    listing.entries.push_back({r.href, r.etag});
  }
  return listing;
}

std::vector<ServerResource> CalDavServer::fetch(const std::vector<std::string>& hrefs) {
  std::vector<ServerResource> resources;
  for (std::size_t first = 0; first < hrefs.size(); first += kMultigetBatch) {
    const std::vector<std::string> batch(
        hrefs.begin() + static_cast<std::ptrdiff_t>(first),
        hrefs.begin() +
            static_cast<std::ptrdiff_t>(std::min(hrefs.size(), first + kMultigetBatch)));
    const Multistatus status = m_session->multistatus(m_session->send(
        m_collection, "REPORT", multigetBody(batch), {{"Depth", "1"}, {"Content-Type", kXml}},
        DavSession::Kind::Read, kMultigetLimit));
    for (const DavResponse& r : status.responses) {
      if ((r.status != 0 && !isSuccess(r.status)) || r.calendarData.empty()) continue;
      resources.push_back({r.href, r.etag, r.calendarData});
    }
  }
  return resources;
}

std::string CalDavServer::put(const std::string& href, const std::string& calendarData,
                              const std::string& ifMatch) {
  const DavSession::Answer answer = m_session->send(
      urlFor(href), "PUT", QByteArray::fromStdString(calendarData),
      {{"Content-Type", "text/calendar; charset=utf-8"},
       ifMatch.empty()
           ? std::pair<QByteArray, QByteArray>{"If-None-Match", "*"}
           : std::pair<QByteArray, QByteArray>{"If-Match", QByteArray::fromStdString(ifMatch)}},
      DavSession::Kind::Write, kOtherLimit);
  if (!isSuccess(answer.status)) m_session->failFor(answer);
  if (answer.etag.startsWith("W/")) return {};
  return answer.etag.trimmed().toStdString();
}

void CalDavServer::remove(const std::string& href, const std::string& ifMatch) {
  Headers headers;
  if (!ifMatch.empty()) headers.emplace_back("If-Match", QByteArray::fromStdString(ifMatch));
  const DavSession::Answer answer =
      m_session->send(urlFor(href), "DELETE", {}, headers, DavSession::Kind::Write, kOtherLimit);
  if (isSuccess(answer.status) || answer.status == 404 || answer.status == 410) return;
  m_session->failFor(answer);
}

namespace {

const std::vector<std::string> kCollectionProps = {"resourcetype",
                                                   "displayname",
                                                   "supported-calendar-component-set",
                                                   "calendar-color",
                                                   "current-user-principal",
                                                   "calendar-home-set"};

// What a PROPFIND Depth 0 says of `url`, and where it came from; nullopt when the address
// gave no multistatus (an HTML page, 404, 405). No connection, a refused login and an answer
// cut for its size throw.
std::optional<std::pair<DavResponse, QUrl>> probe(DavSession& session, const QUrl& url) {
  const DavSession::Answer answer = session.propfind(url, 0, kCollectionProps);
  if (answer.status == 401 || answer.status == 403) session.failFor(answer);
  if (answer.status != 207) return std::nullopt;
  const std::optional<Multistatus> parsed = parseMultistatus(answer.body);
  if (!parsed || parsed->responses.empty()) return std::nullopt;
  const std::string path = pathOf(answer.url);
  for (const DavResponse& r : parsed->responses) {
    std::string href = r.href;
    if (!href.empty() && href.back() != '/') href += '/';
    if (href == path) return std::pair{r, answer.url};
  }
  return std::pair{parsed->responses.front(), answer.url};
}

QString lastSegment(const std::string& path) {
  std::string trimmed = path;
  while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  const auto slash = trimmed.rfind('/');
  return QUrl::fromPercentEncoding(
      QByteArray::fromStdString(slash == std::string::npos ? trimmed : trimmed.substr(slash + 1)));
}

DiscoveredCalendar calendarOf(const DavResponse& r, const QUrl& url) {
  return {url,
          r.displayName.empty() ? lastSegment(url.path(QUrl::FullyEncoded).toStdString())
                                : QString::fromStdString(r.displayName),
          QString::fromStdString(r.color)};
}

QUrl parentOf(const QUrl& url) {
  std::string path = pathOf(url);
  path.pop_back();
  return withPath(url, path.substr(0, path.rfind('/') + 1));
}

}  // namespace

Discovery discoverCalendars(const QUrl& address, const QString& user, const QString& password,
                            std::chrono::milliseconds timeout) {
  DavSession session(user, password, timeout);
  QUrl url = withoutUserInfo(address);
  if (url.path().isEmpty()) url.setPath(QStringLiteral("/"));
  checkTransport(url);

  std::optional<QUrl> principal;
  std::optional<QUrl> home;
  const auto given = probe(session, url);
  if (given && given->first.isCalendar) {
    const QUrl self = collectionUrl(given->second);
    const QUrl at = given->first.calendarHome.empty()
                        ? parentOf(self)
                        : withPath(given->second, given->first.calendarHome);
    return {at, {calendarOf(given->first, self)}};
  }
  auto take = [&](const std::pair<DavResponse, QUrl>& found) {
    if (!found.first.principal.empty()) principal = withPath(found.second, found.first.principal);
    if (!found.first.calendarHome.empty()) home = withPath(found.second, found.first.calendarHome);
  };
  if (given) take(*given);
  if (!principal && !home) {
    if (const auto known =
            probe(session, url.resolved(QUrl(QStringLiteral("/.well-known/caldav")))))
      take(*known);
  }
  if (!principal && !home && given) principal = collectionUrl(given->second);
  if (!home && principal) {
    const auto p = probe(session, *principal);
    home = p && !p->first.calendarHome.empty() ? withPath(p->second, p->first.calendarHome)
                                               : *principal;
  }
  if (!home)
    fail(ServerFault::Server,
         QStringLiteral("Auf dem Server wurde kein CalDAV-Kalender gefunden."));

  const DavSession::Answer answer = session.propfind(*home, 1, kCollectionProps);
  const Multistatus listing = session.multistatus(answer);
  Discovery found;
  found.home = collectionUrl(answer.url);
  const std::string homePath = pathOf(answer.url);
  for (const DavResponse& r : listing.responses) {
    if (!r.isCalendar || r.href == homePath) continue;
    if (r.hasComponentSet &&
        std::find(r.components.begin(), r.components.end(), "VEVENT") == r.components.end())
      continue;
    found.calendars.push_back(calendarOf(r, collectionUrl(withPath(answer.url, r.href))));
  }
  return found;
}

QUrl makeCalendar(const QUrl& home, const QString& displayName, const QString& user,
                  const QString& password, std::chrono::milliseconds timeout) {
  DavSession session(user, password, timeout);
  const QUrl base = collectionUrl(home);
  const std::string path = pathOf(base);
  for (int n = 1; n <= 10; ++n) {
    const std::string name = n == 1 ? "tavik" : "tavik-" + std::to_string(n);
    const QUrl url = withPath(base, path + name + "/");
    const DavSession::Answer answer =
        session.send(url, "MKCALENDAR", mkcalendarBody(displayName), {{"Content-Type", kXml}},
                     DavSession::Kind::Write, kOtherLimit);
    if (isSuccess(answer.status)) return url;
    // 405 is RFC 4791's answer for an existing resource, 409 Radicale's.
    if (answer.status != 405 && answer.status != 409) session.failFor(answer);
  }
  fail(ServerFault::Server,
       QStringLiteral("Es konnte kein neuer Kalender angelegt werden: die Namen „tavik“ bis "
                      "„tavik-10“ sind auf dem Server belegt."));
}

}  // namespace tavik
