// The WebDAV answers of a CalDAV server read from their bytes, the request bodies we send, and
// the one form of an href.
#include "platform/dav_xml.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <algorithm>

namespace tavik {

namespace {

constexpr QStringView kDav = u"DAV:";
constexpr QStringView kCalDav = u"urn:ietf:params:xml:ns:caldav";
constexpr QStringView kApple = u"http://apple.com/ns/ical/";
constexpr int kMaxDepth = 64;
constexpr int kMaxElements = 400000;

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void appendEncoded(std::string& out, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 0xF];
}

// "HTTP/1.1 404 Not Found" -> 404; 0 when there is no number.
int statusCode(const QString& line) {
  const QStringList parts = line.simplified().split(u' ');
  if (parts.size() < 2) return 0;
  bool ok = false;
  const int code = parts[1].toInt(&ok);
  return ok ? code : 0;
}

bool isSuccess(int status) {
  return status == 0 || (status >= 200 && status < 300);
}

std::string utf8(const QString& text) {
  return text.toStdString();
}

// Where the reader stands: the names of the open elements, innermost last.
struct Element {
  QString ns;
  QString name;
  bool is(QStringView wantNs, QStringView wantName) const {
    return ns == wantNs && name == wantName;
  }
};

}  // namespace

std::string canonicalHref(std::string_view href) {
  while (!href.empty() && (href.front() == ' ' || href.front() == '\t' || href.front() == '\n' ||
                           href.front() == '\r'))
    href.remove_prefix(1);
  while (!href.empty() &&
         (href.back() == ' ' || href.back() == '\t' || href.back() == '\n' || href.back() == '\r'))
    href.remove_suffix(1);
  if (const auto scheme = href.find("://");
      scheme != std::string_view::npos && href.find('/') > scheme) {
    const auto path = href.find('/', scheme + 3);
    href = path == std::string_view::npos ? std::string_view("/") : href.substr(path);
  }
  std::string out;
  out.reserve(href.size());
  for (std::size_t i = 0; i < href.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(href[i]);
    if (c == '%' && i + 2 < href.size() && hexValue(href[i + 1]) >= 0 &&
        hexValue(href[i + 2]) >= 0) {
      c = static_cast<unsigned char>(hexValue(href[i + 1]) * 16 + hexValue(href[i + 2]));
      i += 2;
      if (isUnreserved(c))
        out += static_cast<char>(c);
      else
        appendEncoded(out, c);
    } else if (isUnreserved(c) || c == '/') {
      out += static_cast<char>(c);
    } else {
      appendEncoded(out, c);
    }
  }
  return out;
}

std::string encodeSegment(std::string_view text) {
  std::string out;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (isUnreserved(c))
      out += ch;
    else
      appendEncoded(out, c);
  }
  return out;
}

std::optional<Multistatus> parseMultistatus(QByteArrayView body, std::string* error) {
  auto fail = [&](std::string why) -> std::optional<Multistatus> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  QXmlStreamReader xml(QByteArray::fromRawData(body.data(), body.size()));
  xml.setNamespaceProcessing(true);
  Multistatus result;
  std::vector<Element> open;
  int elements = 0;

  // The response and propstat being read; a propstat's properties join its response only when
  // its status says they are there.
  std::optional<DavResponse> response;
  std::vector<std::string> extraHrefs;
  std::optional<DavResponse> propstat;
  int propstatStatus = 0;
  QString text;

  auto parent = [&](std::size_t up) -> const Element* {
    return open.size() > up ? &open[open.size() - 1 - up] : nullptr;
  };
  auto under = [&](std::size_t up, QStringView ns, QStringView name) {
    const Element* e = parent(up);
    return e != nullptr && e->is(ns, name);
  };

  while (!xml.atEnd()) {
    switch (xml.readNext()) {
      case QXmlStreamReader::DTD:
        return fail("a DTD in the answer");
      case QXmlStreamReader::EntityReference:
        return fail("an entity reference in the answer");
      case QXmlStreamReader::StartElement: {
        if (++elements > kMaxElements) return fail("too many elements");
        if (static_cast<int>(open.size()) >= kMaxDepth) return fail("nested too deep");
        Element e{xml.namespaceUri().toString(), xml.name().toString()};
        if (open.empty() && !e.is(kDav, u"multistatus")) return fail("not a multistatus");
        text.clear();
        if (e.is(kDav, u"response") && open.size() == 1) {
          response.emplace();
          extraHrefs.clear();
        } else if (response && e.is(kDav, u"propstat") && open.size() == 2) {
          propstat.emplace();
          propstatStatus = 0;
        } else if (propstat && under(0, kDav, u"resourcetype") && under(1, kDav, u"prop")) {
          if (e.is(kDav, u"collection")) propstat->isCollection = true;
          if (e.is(kCalDav, u"calendar")) propstat->isCalendar = true;
        } else if (propstat && e.is(kCalDav, u"comp") &&
                   under(0, kCalDav, u"supported-calendar-component-set")) {
          propstat->components.push_back(
              utf8(xml.attributes().value(QLatin1StringView("name")).toString()));
        } else if (propstat && e.is(kCalDav, u"supported-calendar-component-set") &&
                   under(0, kDav, u"prop")) {
          propstat->hasComponentSet = true;
        }
        open.push_back(std::move(e));
        break;
      }
      case QXmlStreamReader::Characters:
        text += xml.text();
        break;
      case QXmlStreamReader::EndElement: {
        const Element e = open.back();
        open.pop_back();
        const std::size_t depth = open.size();  // of the element just closed
        if (depth == 1 && e.is(kDav, u"sync-token")) {
          result.syncToken = utf8(text.trimmed());
        } else if (response && depth == 2 && e.is(kDav, u"href")) {
          (response->href.empty() && extraHrefs.empty() ? response->href
                                                        : extraHrefs.emplace_back()) =
              canonicalHref(utf8(text));
        } else if (response && depth == 2 && e.is(kDav, u"status")) {
          response->status = statusCode(text);
        } else if (propstat && depth == 3 && e.is(kDav, u"status")) {
          propstatStatus = statusCode(text);
        } else if (propstat && depth == 4 && under(0, kDav, u"prop")) {
          if (e.is(kDav, u"getetag")) propstat->etag = utf8(text.trimmed());
          if (e.is(kCalDav, u"calendar-data")) propstat->calendarData = utf8(text);
          if (e.is(kDav, u"getcontenttype")) propstat->contentType = utf8(text.trimmed());
          if (e.is(kDav, u"displayname")) propstat->displayName = utf8(text.trimmed());
          if (e.is(kDav, u"sync-token")) propstat->syncToken = utf8(text.trimmed());
          if (e.is(kApple, u"calendar-color")) propstat->color = utf8(text.trimmed());
        } else if (propstat && depth == 5 && e.is(kDav, u"href")) {
          if (under(0, kDav, u"current-user-principal") && propstat->principal.empty())
            propstat->principal = canonicalHref(utf8(text));
          if (under(0, kCalDav, u"calendar-home-set") && propstat->calendarHome.empty())
            propstat->calendarHome = canonicalHref(utf8(text));
        } else if (propstat && depth == 2 && e.is(kDav, u"propstat")) {
          if (isSuccess(propstatStatus)) {
            DavResponse& r = *response;
            const DavResponse& p = *propstat;
            auto take = [](std::string& to, const std::string& from) {
              if (!from.empty()) to = from;
            };
            take(r.etag, p.etag);
            take(r.calendarData, p.calendarData);
            take(r.contentType, p.contentType);
            take(r.displayName, p.displayName);
            take(r.color, p.color);
            take(r.syncToken, p.syncToken);
            take(r.principal, p.principal);
            take(r.calendarHome, p.calendarHome);
            r.isCollection |= p.isCollection;
            r.isCalendar |= p.isCalendar;
            if (p.hasComponentSet) {
              r.hasComponentSet = true;
              r.components = p.components;
            }
          }
          propstat.reset();
        } else if (response && depth == 1 && e.is(kDav, u"response")) {
          if (!response->href.empty()) {
            for (std::string& href : extraHrefs) {
              DavResponse copy = *response;
              copy.href = std::move(href);
              result.responses.push_back(std::move(copy));
            }
            result.responses.push_back(std::move(*response));
          }
          response.reset();
        }
        text.clear();
        break;
      }
      default:
        break;
    }
  }
  if (xml.hasError()) return fail(utf8(xml.errorString()));
  if (elements == 0) return fail("no XML element");
  return result;
}

std::vector<std::string> parseDavError(QByteArrayView body) {
  QXmlStreamReader xml(QByteArray::fromRawData(body.data(), body.size()));
  std::vector<std::string> names;
  int depth = 0;
  int elements = 0;
  while (!xml.atEnd()) {
    const auto token = xml.readNext();
    if (token == QXmlStreamReader::DTD || token == QXmlStreamReader::EntityReference) return {};
    if (token == QXmlStreamReader::StartElement) {
      if (++elements > 1000) return {};
      if (depth == 0 && !(xml.namespaceUri() == kDav && xml.name() == u"error")) return {};
      if (depth == 1) names.push_back(utf8(xml.name().toString()));
      ++depth;
    } else if (token == QXmlStreamReader::EndElement) {
      --depth;
    }
  }
  return xml.hasError() ? std::vector<std::string>{} : names;
}

namespace {

void writeProp(QXmlStreamWriter& xml, const std::string& name) {
  const QString n = QString::fromStdString(name);
  if (n == u"calendar-home-set" || n == u"supported-calendar-component-set" ||
      n == u"calendar-data")
    xml.writeEmptyElement(kCalDav.toString(), n);
  else if (n == u"calendar-color")
    xml.writeEmptyElement(kApple.toString(), n);
  else
    xml.writeEmptyElement(kDav.toString(), n);
}

// A writer with our three namespaces under short prefixes.
struct BodyWriter {
  QByteArray bytes;
  QXmlStreamWriter xml{&bytes};
  BodyWriter() {
    xml.writeStartDocument();
    xml.writeNamespace(kDav.toString(), QStringLiteral("d"));
    xml.writeNamespace(kCalDav.toString(), QStringLiteral("c"));
    xml.writeNamespace(kApple.toString(), QStringLiteral("a"));
  }
  QByteArray finish() {
    xml.writeEndDocument();
    return bytes;
  }
};

}  // namespace

QByteArray propfindBody(const std::vector<std::string>& props) {
  BodyWriter w;
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("propfind"));
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("prop"));
  for (const std::string& p : props) writeProp(w.xml, p);
  return w.finish();
}

QByteArray syncCollectionBody(const std::string& syncToken) {
  BodyWriter w;
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("sync-collection"));
  w.xml.writeTextElement(kDav.toString(), QStringLiteral("sync-token"),
                         QString::fromStdString(syncToken));
  w.xml.writeTextElement(kDav.toString(), QStringLiteral("sync-level"), QStringLiteral("1"));
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("prop"));
  writeProp(w.xml, "getetag");
  return w.finish();
}

QByteArray multigetBody(const std::vector<std::string>& hrefs) {
  BodyWriter w;
  w.xml.writeStartElement(kCalDav.toString(), QStringLiteral("calendar-multiget"));
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("prop"));
  writeProp(w.xml, "getetag");
  writeProp(w.xml, "calendar-data");
  w.xml.writeEndElement();
  for (const std::string& href : hrefs)
    w.xml.writeTextElement(kDav.toString(), QStringLiteral("href"), QString::fromStdString(href));
  return w.finish();
}

QByteArray mkcalendarBody(const QString& displayName) {
  BodyWriter w;
  w.xml.writeStartElement(kCalDav.toString(), QStringLiteral("mkcalendar"));
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("set"));
  w.xml.writeStartElement(kDav.toString(), QStringLiteral("prop"));
  w.xml.writeTextElement(kDav.toString(), QStringLiteral("displayname"), displayName);
  w.xml.writeStartElement(kCalDav.toString(), QStringLiteral("supported-calendar-component-set"));
  w.xml.writeEmptyElement(kCalDav.toString(), QStringLiteral("comp"));
  w.xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VEVENT"));
  return w.finish();
}

}  // namespace tavik
