// A calendar collection in memory behind our own CalendarServer interface. It is a test double
// of that interface only, not of HTTP or CalDAV: the client that speaks the protocol is tested
// against a real Radicale server.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sync/calendar_server.h"

namespace tavik::test {

class MemoryCalendar : public CalendarServer {
 public:
  struct Resource {
    std::string etag;
    std::string text;
    int changedAt = 0;
  };
  std::map<std::string, Resource> resources;
  bool rejectTokens = false;  // every token is refused: a full listing each time
  // Called at the start of put and remove with the href, e.g. to change it as another client
  // would in between.
  std::function<void(const std::string&)> beforeWrite;
  // put and remove fail with this fault from the n-th write on (1-based; 0: never).
  int failFromWrite = 0;
  int writes = 0;
  int puts = 0;
  int removes = 0;
  int fetched = 0;

  // Another client writes or deletes without conditions.
  void putDirect(const std::string& href, const std::string& text) {
    resources[href] = Resource{nextEtag(), text, ++m_revision};
  }
  void removeDirect(const std::string& href) {
    resources.erase(href);
    m_removedAt[href] = ++m_revision;
  }

  ServerListing changesSince(const std::string& syncToken) override {
    ServerListing out;
    out.syncToken = formatted("t%d", m_revision);
    int since = -1;
    if (!rejectTokens && syncToken.size() > 1 && syncToken[0] == 't') {
      since = std::stoi(syncToken.substr(1));
    }
    out.complete = since < 0;
    for (const auto& [href, r] : resources) {
      if (r.changedAt > since) out.entries.push_back({href, r.etag});
    }
    if (!out.complete) {
      for (const auto& [href, at] : m_removedAt) {
        if (at > since && !resources.count(href)) out.removed.push_back(href);
      }
    }
    return out;
  }

  std::vector<ServerResource> fetch(const std::vector<std::string>& hrefs) override {
    std::vector<ServerResource> out;
    for (const std::string& href : hrefs) {
      if (const auto it = resources.find(href); it != resources.end()) {
        out.push_back({href, it->second.etag, it->second.text});
      }
    }
    fetched += static_cast<int>(out.size());
    return out;
  }

  std::string put(const std::string& href, const std::string& text,
                  const std::string& ifMatch) override {
    startWrite(href);
    const auto it = resources.find(href);
    if (ifMatch.empty() ? it != resources.end()
                        : it == resources.end() || it->second.etag != ifMatch) {
      throw ServerError(ServerFault::Precondition, "412");
    }
    ++puts;
    putDirect(href, text);
    return resources[href].etag;
  }

  void remove(const std::string& href, const std::string& ifMatch) override {
    startWrite(href);
    const auto it = resources.find(href);
    if (it == resources.end()) throw ServerError(ServerFault::NotFound, "404");
    if (!ifMatch.empty() && it->second.etag != ifMatch) {
      throw ServerError(ServerFault::Precondition, "412");
    }
    ++removes;
    removeDirect(href);
  }

  std::string hrefFor(const std::string& uid) const override { return "/cal/" + uid + ".ics"; }

 private:
  void startWrite(const std::string& href) {
    if (beforeWrite) beforeWrite(href);
    ++writes;
    if (failFromWrite > 0 && writes >= failFromWrite) {
      throw ServerError(ServerFault::Network, "Keine Verbindung zum Server.");
    }
  }
  std::string nextEtag() { return formatted("\"%d\"", ++m_etags); }
  // snprintf rather than string concatenation, which GCC 12 warns about wrongly (-Wrestrict)
  // when optimising.
  static std::string formatted(const char* format, int n) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, n);
    return buf;
  }

  int m_revision = 0;
  int m_etags = 0;
  std::map<std::string, int> m_removedAt;
};

}  // namespace tavik::test
