// The sync engine: list, fetch what changed, decide per event, then change one side or the
// other, writing down each step the server confirmed.
#include "sync/calendar_sync.h"

#include <libical/ical.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "exchange/icalendar_writer.h"
#include "exchange/import_candidate.h"
#include "exchange/libical_handles.h"
#include "exchange/text_decode.h"
#include "store/event_text.h"

namespace tavik {
namespace {

// No calendar program writes one event this large; libical is not given more.
constexpr std::size_t kMaxResourceBytes = 1024 * 1024;
// hrefs per calendar-multiget.
constexpr std::size_t kFetchBatch = 100;
// Tries of one step that the server answers with 412.
constexpr int kPreconditionTries = 3;
// A sync asks first when it would delete at least this many events on one side (and more than
// half of them): losing one or two is what users do by hand every day.
constexpr int kMassDeletionFloor = 3;
constexpr std::string_view kConflictMark = " (Konflikt)";

std::uint64_t fnv(std::uint64_t h, std::string_view bytes) {
  for (const char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  return h;
}

std::string hashText(const EventRecord& r) {
  const auto extension = readExtension(r);
  std::string fields;
  char buf[96];
  std::snprintf(
      buf, sizeof buf, "%lld|%d%d%d%d%d|%d|%d|",
      static_cast<long long>(dayNumberFromDouble(r.date) ? dayNumberFromDouble(r.date)->value : 0),
      isSet(r.withoutYear), isSet(r.autoDelete), isSet(r.isProtected), isSet(r.computeJubilee),
      isSet(r.highPriority), extension ? extension->kind : 0, extension ? extension->leadDays : 0);
  fields = buf;
  fields += eventText(r);
  const std::uint64_t h = fnv(0xcbf29ce484222325ULL, fields);
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

std::string ownText(const EventRecord& r, const SyncOptions& o) {
  return icalendarFile(std::span(&r, 1), o.nowUnixSeconds);
}

// The event as the server's form of it gives it back: what the hash is taken of.
std::optional<EventRecord> serverForm(const EventRecord& r, const SyncOptions& o) {
  const ReadResult read = readIcalendar(ownText(r, o), o.today, o.localDate);
  if (read.candidates.size() != 1) return std::nullopt;
  return read.candidates.front().record;
}

std::optional<Uid> uidOf(const EventRecord& r) {
  const auto extension = readExtension(r);
  if (!extension) return std::nullopt;
  return extension->uid;
}

icalcomponent* mainEvent(icalcomponent* calendar) {
  if (!calendar) return nullptr;
  if (icalcomponent_isa(calendar) == ICAL_VEVENT_COMPONENT) return calendar;
  icalcomponent* first = nullptr;
  for (icalcomponent* e = icalcomponent_get_first_component(calendar, ICAL_VEVENT_COMPONENT); e;
       e = icalcomponent_get_next_component(calendar, ICAL_VEVENT_COMPONENT)) {
    if (!icalcomponent_get_first_property(e, ICAL_RECURRENCEID_PROPERTY)) return e;
    if (!first) first = e;
  }
  return first;
}

ComponentPtr parsed(std::string_view text) {
  icalerror_set_errors_are_fatal(0);
  return ComponentPtr(icalparser_parse_string(std::string(text).c_str()));
}

std::string textOf(icalcomponent* c) {
  const BufferPtr s(icalcomponent_as_ical_string_r(c));
  return s ? std::string(s.get()) : std::string();
}

// What a server resource is to the sync.
enum class ItemKind { Event, Ignored, Unholdable };

struct ServerItem {
  std::string href;
  std::string etag;
  std::string text;
  ItemKind kind = ItemKind::Ignored;
  EventRecord record;  // as read; its uid is the resource's own "<uuid>@tavik" or a fresh one
  std::string hash;
  bool ownProduct = false;    // written by us (our PRODID)
  std::optional<Uid> ownUid;  // its UID is one of ours
  std::string uidProperty;    // the UID as it stands
};

ServerItem classify(const ServerResource& resource, const SyncOptions& o) {
  ServerItem item;
  item.href = resource.href;
  item.etag = resource.etag;
  item.text = resource.calendarData;
  if (item.text.size() > kMaxResourceBytes) return item;
  const ReadResult read = readIcalendar(item.text, o.today, o.localDate);
  if (read.candidates.size() > 1) return item;
  if (read.candidates.empty()) {
    // Yearly events this table cannot hold count; what is no yearly event does not.
    const bool unholdable =
        read.skippedFor(SkipReason::BadDate) + read.skippedFor(SkipReason::NoText) +
            read.skippedFor(SkipReason::Unstorable) + read.skippedFor(SkipReason::Incomplete) >
        0;
    if (unholdable) item.kind = ItemKind::Unholdable;
    return item;
  }
  item.record = read.candidates.front().record;
  const ComponentPtr calendar = parsed(item.text);
  icalcomponent* event = mainEvent(calendar.get());
  if (!event) return item;
  if (icalproperty* p = icalcomponent_get_first_property(calendar.get(), ICAL_PRODID_PROPERTY)) {
    const char* product = icalproperty_get_prodid(p);
    item.ownProduct = product && std::string_view(product) == kIcalendarProductId;
  }
  if (const char* uid = icalcomponent_get_uid(event)) {
    item.uidProperty = uid;
    const std::string_view u = trimmed(uid);
    if (u.ends_with("@tavik")) item.ownUid = uidFromText(u.substr(0, u.size() - 6));
  }
  // The reader cuts a title that is too long; such an event is not held whole.
  const char* summary = icalcomponent_get_summary(event);
  if (summary) {
    const auto nfc = nfcText(oneLineText(summary));
    if (!nfc || !textFits(*nfc)) {
      item.kind = ItemKind::Unholdable;
      return item;
    }
  }
  const auto form = serverForm(item.record, o);
  if (!form) {
    item.kind = ItemKind::Unholdable;
    return item;
  }
  item.kind = ItemKind::Event;
  item.hash = hashText(*form);
  return item;
}

bool isYearMark(std::string_view name) {
  return name.ends_with("-UNKNOWN-YEAR") || name.ends_with("-OMIT-YEAR") ||
         name == "X-EVOLUTION-SINCE-YEAR" || name == "X-NEXTCLOUD-BC-YEAR";
}

std::string propertyName(icalproperty* p) {
  if (icalproperty_isa(p) == ICAL_X_PROPERTY) {
    const char* x = icalproperty_get_x_name(p);
    std::string name = x ? x : "";
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    return name;
  }
  const char* n = icalproperty_kind_to_string(icalproperty_isa(p));
  return n ? n : "";
}

// Replaces in `theirs` the properties `which` picks by those of `mine`.
template <typename Which>
void replaceProperties(icalcomponent* theirs, icalcomponent* mine, Which which) {
  std::vector<icalproperty*> gone;
  for (icalproperty* p = icalcomponent_get_first_property(theirs, ICAL_ANY_PROPERTY); p;
       p = icalcomponent_get_next_property(theirs, ICAL_ANY_PROPERTY)) {
    if (which(p)) gone.push_back(p);
  }
  for (icalproperty* p : gone) {
    icalcomponent_remove_property(theirs, p);
    icalproperty_free(p);
  }
  for (icalproperty* p = icalcomponent_get_first_property(mine, ICAL_ANY_PROPERTY); p;
       p = icalcomponent_get_next_property(mine, ICAL_ANY_PROPERTY)) {
    if (which(p)) icalcomponent_add_property(theirs, icalproperty_new_clone(p));
  }
}

void replaceAlarms(icalcomponent* theirs, icalcomponent* mine) {
  std::vector<icalcomponent*> gone;
  for (icalcomponent* a = icalcomponent_get_first_component(theirs, ICAL_VALARM_COMPONENT); a;
       a = icalcomponent_get_next_component(theirs, ICAL_VALARM_COMPONENT)) {
    gone.push_back(a);
  }
  for (icalcomponent* a : gone) {
    icalcomponent_remove_component(theirs, a);
    icalcomponent_free(a);
  }
  for (icalcomponent* a = icalcomponent_get_first_component(mine, ICAL_VALARM_COMPONENT); a;
       a = icalcomponent_get_next_component(mine, ICAL_VALARM_COMPONENT)) {
    icalcomponent_add_component(theirs, icalcomponent_new_clone(a));
  }
}

bool sameWhen(const EventRecord& a, const EventRecord& b) {
  return a.date == b.date && isSet(a.withoutYear) == isSet(b.withoutYear) &&
         isSet(a.autoDelete) == isSet(b.autoDelete);
}

// Another program's resource with the event's changes: what changed since `agreed` replaced
// with what our writer makes of it, every other property kept, their UID kept. When the edited
// text would not read back as the event, our own form with their UID.
std::string inTheirForm(const std::string& original, const EventRecord& record,
                        const SyncOptions& o) {
  const std::string hash = hashText(*serverForm(record, o));
  const ComponentPtr mineCalendar = parsed(ownText(record, o));
  icalcomponent* mine = mainEvent(mineCalendar.get());
  const ComponentPtr theirCalendar = parsed(original);
  icalcomponent* theirs = mainEvent(theirCalendar.get());
  const ReadResult before = readIcalendar(original, o.today, o.localDate);
  if (mine && theirs && before.candidates.size() == 1) {
    const auto agreedForm = serverForm(before.candidates.front().record, o);
    const EventRecord& agreed = agreedForm ? *agreedForm : before.candidates.front().record;
    const auto xTavik = [](icalproperty* p) { return propertyName(p).starts_with("X-TAVIK-"); };
    replaceProperties(theirs, mine, xTavik);
    replaceProperties(theirs, mine,
                      [](icalproperty* p) { return icalproperty_isa(p) == ICAL_DTSTAMP_PROPERTY; });
    const EventRecord now = *serverForm(record, o);
    if (!sameWhen(agreed, now)) {
      replaceProperties(theirs, mine, [](icalproperty* p) {
        switch (icalproperty_isa(p)) {
          case ICAL_DTSTART_PROPERTY:
          case ICAL_DTEND_PROPERTY:
          case ICAL_DURATION_PROPERTY:
          case ICAL_RRULE_PROPERTY:
          case ICAL_RDATE_PROPERTY:
          case ICAL_EXDATE_PROPERTY:
            return true;
          default:
            return isYearMark(propertyName(p));
        }
      });
    }
    if (eventText(agreed) != eventText(now)) {
      replaceProperties(theirs, mine, [](icalproperty* p) {
        return icalproperty_isa(p) == ICAL_SUMMARY_PROPERTY;
      });
    }
    if (kindOf(agreed) != kindOf(now)) {
      replaceProperties(theirs, mine, [](icalproperty* p) {
        return icalproperty_isa(p) == ICAL_CATEGORIES_PROPERTY;
      });
    }
    if (leadDaysOf(agreed) != leadDaysOf(now)) replaceAlarms(theirs, mine);
    std::string text = textOf(theirCalendar.get());
    const ReadResult after = readIcalendar(text, o.today, o.localDate);
    if (after.candidates.size() == 1) {
      const auto form = serverForm(after.candidates.front().record, o);
      if (form && hashText(*form) == hash) return text;
    }
  }
  // Our own form, under their UID: the server keeps a resource's UID.
  if (mine && theirs) {
    if (const char* uid = icalcomponent_get_uid(theirs)) icalcomponent_set_uid(mine, uid);
  }
  return textOf(mineCalendar.get());
}

// The text with the conflict mark, cut so that both fit.
std::string conflictText(std::string text) {
  const std::string mark(kConflictMark);
  while (!text.empty() && !textFits(text + mark)) {
    // One character off the end.
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
      text.pop_back();
    }
    if (!text.empty()) text.pop_back();
  }
  return std::string(trimmed(text)) + mark;
}

std::string plural(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Engine {
 public:
  Engine(const EventTable& snapshot, const SyncState& state, CalendarServer& server,
         const SyncOptions& options)
      : m_snapshot(snapshot), m_server(server), m_o(options) {
    m_base = state.collection == options.collection ? state : SyncState{};
    m_base.collection = options.collection;
    m_first = m_base.resources.empty();
  }

  SyncResult run() {
    SyncResult result;
    m_table = std::make_unique<EventTable>(m_snapshot);
    for (const SyncResource& r : m_base.resources) m_entries[r.href] = r;
    try {
      list();
      fetchChanged();
      readTable();
      plan();
      if (const std::string question = massDeletionQuestion(); !question.empty()) {
        result.table = std::make_unique<EventTable>(m_snapshot);
        result.state = m_base;
        result.question = question;
        return result;
      }
      for (std::size_t i = 0; i < m_steps.size(); ++i) settle(m_steps[i]);
      finish(result, m_unsettled ? m_base.syncToken : m_listing.syncToken);
    } catch (const ServerError& e) {
      result.error = e.what();
      result.fault = e.fault();
      finish(result, m_base.syncToken);
    }
    return result;
  }

 private:
  // One event to decide on: a resource the state knows, one new on the server, or a local
  // event new here.
  struct Step {
    std::optional<SyncResource> base;  // the state's entry (an Event)
    std::string href;
    std::optional<ServerItem> server;  // absent: the server no longer has it
    bool serverUnchanged = false;      // the resource's ETag is the agreed one
    std::optional<Uid> local;          // the local event's uid
  };

  struct Local {
    int slot = 0;
    std::string hash;
  };

  void list() {
    m_listing = m_server.changesSince(m_base.syncToken);
    if (m_listing.complete || m_first) {
      for (const ServerEntry& e : m_listing.entries) m_current[e.href] = e.etag;
    } else {
      for (const SyncResource& r : m_base.resources) m_current[r.href] = r.etag;
      for (const ServerEntry& e : m_listing.entries) m_current[e.href] = e.etag;
      for (const std::string& href : m_listing.removed) m_current.erase(href);
    }
  }

  void fetchChanged() {
    std::vector<std::string> wanted;
    for (const auto& [href, etag] : m_current) {
      const auto it = m_entries.find(href);
      if (it == m_entries.end() || it->second.etag != etag ||
          it->second.status == ResourceStatus::Skipped) {
        wanted.push_back(href);
      }
    }
    for (std::size_t at = 0; at < wanted.size(); at += kFetchBatch) {
      const std::size_t n = std::min(kFetchBatch, wanted.size() - at);
      const std::vector<std::string> batch(wanted.begin() + at, wanted.begin() + at + n);
      for (const ServerResource& r : m_server.fetch(batch)) {
        if (m_current.count(r.href)) m_fetched[r.href] = classify(r, m_o);
      }
    }
    // Gone between the listing and the fetch.
    for (const std::string& href : wanted) {
      if (!m_fetched.count(href)) m_current.erase(href);
    }
  }

  void readTable() {
    std::set<Uid> seen;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      if (m_table->slotIsFree(slot)) continue;
      auto uid = m_table->ensureIdentity(slot);
      if (!uid) {
        ++m_report.skipped;  // another program's reserved bytes: no identity to sync by
        continue;
      }
      if (seen.count(*uid)) {
        EventRecord copy = m_table->record(slot);
        setUid(copy, randomUid());
        m_table->placeRecord(slot, copy);
        uid = uidOf(m_table->record(slot));
      }
      seen.insert(*uid);
      const auto form = serverForm(m_table->record(slot), m_o);
      if (!form) {
        m_blocked.insert(*uid);
        ++m_report.skipped;
        continue;
      }
      m_locals[*uid] = Local{slot, hashText(*form)};
    }
  }

  void plan() {
    std::set<Uid> claimed;
    std::set<std::string> planned;
    for (const SyncResource& r : m_base.resources) {
      if (r.status == ResourceStatus::Event) continue;
      if (!m_current.count(r.href)) {
        m_entries.erase(r.href);  // gone from the server
      } else if (r.uid && !m_fetched.count(r.href)) {
        // Still what the table cannot take: its local event stays unsent.
        claimed.insert(*r.uid);
        m_blocked.insert(*r.uid);
      }
    }
    for (const SyncResource& r : m_base.resources) {
      if (r.status != ResourceStatus::Event) continue;
      if (m_blocked.count(*r.uid)) {
        // Its local event has no server form now: neither side changes until it has.
        claimed.insert(*r.uid);
        m_unsettled = m_unsettled || m_fetched.count(r.href) > 0;
        continue;
      }
      Step step;
      step.base = r;
      step.href = r.href;
      step.local = m_locals.count(*r.uid) ? r.uid : std::nullopt;
      if (!m_current.count(r.href)) {
        step.server.reset();
      } else if (const auto f = m_fetched.find(r.href); f != m_fetched.end()) {
        step.server = f->second;
      } else {
        step.serverUnchanged = true;
      }
      claimed.insert(*r.uid);
      planned.insert(r.href);
      m_steps.push_back(std::move(step));
    }
    // Resources new to the state, or that were no event the table held.
    std::vector<const ServerItem*> fresh;
    for (const auto& [href, item] : m_fetched) {
      if (!planned.count(href)) fresh.push_back(&item);
    }
    // Locals not bound to a resource yet, by content, for matching.
    std::multimap<std::string, Uid> unboundByHash;
    for (const auto& [uid, local] : m_locals) {
      if (!claimed.count(uid)) unboundByHash.emplace(local.hash, uid);
    }
    const auto bind = [&](const Uid& uid) {
      claimed.insert(uid);
      for (auto it = unboundByHash.begin(); it != unboundByHash.end(); ++it) {
        if (it->second == uid) {
          unboundByHash.erase(it);
          break;
        }
      }
    };
    for (const ServerItem* item : fresh) {
      const auto known = m_entries.find(item->href);
      const std::optional<Uid> hint =
          known != m_entries.end() && known->second.uid ? known->second.uid : item->ownUid;
      if (item->kind != ItemKind::Event) {
        SyncResource r{
            item->href,
            item->etag,
            item->kind == ItemKind::Ignored ? ResourceStatus::Ignored : ResourceStatus::Skipped,
            std::nullopt,
            "",
            ""};
        // The local event of a resource the table can no longer take stays as it is and is
        // not uploaded a second time.
        if (hint && m_locals.count(*hint) && !claimed.count(*hint)) {
          r.uid = hint;
          bind(*hint);
          m_blocked.insert(*hint);
        }
        if (item->kind == ItemKind::Unholdable) ++m_report.skipped;
        m_entries[item->href] = r;
        continue;
      }
      Step step;
      step.href = item->href;
      step.server = *item;
      if (hint && m_locals.count(*hint) && !claimed.count(*hint)) {
        step.local = hint;
      } else if (const auto same = unboundByHash.find(item->hash); same != unboundByHash.end()) {
        step.local = same->second;
      }
      if (step.local) bind(*step.local);
      m_entries.erase(item->href);
      m_steps.push_back(std::move(step));
    }
    for (const auto& [uid, local] : m_locals) {
      if (claimed.count(uid)) continue;
      Step step;
      step.local = uid;
      m_steps.push_back(std::move(step));
    }
    for (const Uid& uid : m_blocked) {
      if (m_locals.count(uid)) m_locals.erase(uid);
    }
  }

  std::string massDeletionQuestion() const {
    if (m_o.confirmed || m_first) return {};
    int agreed = 0;
    int lostOnServer = 0;
    int lostHere = 0;
    for (const Step& s : m_steps) {
      if (!s.base) continue;
      ++agreed;
      const bool localSame = s.local && m_locals.at(*s.local).hash == s.base->hash;
      const bool serverSame = s.serverUnchanged || (s.server && s.server->kind == ItemKind::Event &&
                                                    s.server->hash == s.base->hash);
      if (!s.server && !s.serverUnchanged && localSame) ++lostOnServer;
      if (!s.local && serverSame) ++lostHere;
    }
    const auto tooMany = [agreed](int n) { return n >= kMassDeletionFloor && 2 * n > agreed; };
    char buf[160];
    if (tooMany(lostOnServer)) {
      std::snprintf(buf, sizeof buf,
                    "Auf dem Server fehlen %d von %d Ereignissen. Trotzdem abgleichen?",
                    lostOnServer, agreed);
      return buf;
    }
    if (tooMany(lostHere)) {
      std::snprintf(buf, sizeof buf, "In Tavik! fehlen %d von %d Ereignissen. Trotzdem abgleichen?",
                    lostHere, agreed);
      return buf;
    }
    return {};
  }

  // Carries out one step; a 412 fetches the resource and decides again.
  void settle(Step step) {
    for (int attempt = 0;; ++attempt) {
      try {
        decide(step);
        return;
      } catch (const ServerError& e) {
        // 412, or 404 for a resource gone meanwhile: see what is there now.
        if (e.fault() != ServerFault::Precondition && e.fault() != ServerFault::NotFound) throw;
        if (attempt + 1 >= kPreconditionTries) {
          m_unsettled = true;
          return;
        }
        refetch(step);
      }
    }
  }

  void refetch(Step& step) {
    step.serverUnchanged = false;
    step.server.reset();
    for (const ServerResource& r : m_server.fetch({step.href})) {
      if (r.href == step.href) step.server = classify(r, m_o);
    }
  }

  const EventRecord* localRecord(const Step& s) const {
    if (!s.local || !m_locals.count(*s.local)) return nullptr;
    return &m_table->record(m_locals.at(*s.local).slot);
  }

  void decide(Step& s) {
    const EventRecord* local = localRecord(s);
    const std::string localHash = local ? m_locals.at(*s.local).hash : "";
    if (s.server && s.server->kind != ItemKind::Event) {
      // Now something the table cannot hold: the local event stays and is not sent again.
      SyncResource r{
          s.href,
          s.server->etag,
          s.server->kind == ItemKind::Ignored ? ResourceStatus::Ignored : ResourceStatus::Skipped,
          s.local,
          "",
          ""};
      if (s.server->kind == ItemKind::Unholdable) ++m_report.skipped;
      if (s.local) m_locals.erase(*s.local);
      m_entries[s.href] = r;
      return;
    }
    if (!s.base) {
      if (!s.server) {
        if (local) upload(s, *local, "", "");
        return;
      }
      if (!local) {
        toTable(s, *s.server);
      } else if (localHash == s.server->hash) {
        agree(s, *s.server, *local);
      } else {
        conflict(s, *s.server, *local);
      }
      return;
    }
    const SyncResource& base = *s.base;
    const bool localChanged = local && localHash != base.hash;
    const bool serverGone = !s.server && !s.serverUnchanged;
    const bool serverChanged = s.server && s.server->hash != base.hash;
    if (serverGone) {
      if (!local) {
        m_entries.erase(s.href);
      } else if (localChanged) {
        // Deleted there, changed here: the change is not lost.
        upload(s, *local, "", base.foreignText);
      } else {
        m_table->freeSlot(m_locals.at(*s.local).slot);
        m_locals.erase(*s.local);
        m_entries.erase(s.href);
        ++m_report.removed;
      }
      return;
    }
    const std::string etag = s.server ? s.server->etag : base.etag;
    if (!local) {
      if (serverChanged) {
        // Deleted here, changed there: the change brings it back.
        toTable(s, *s.server);
      } else {
        m_server.remove(s.href, etag);
        m_entries.erase(s.href);
        ++m_report.deletedOnServer;
      }
      return;
    }
    if (!serverChanged) {
      if (s.server) {
        // The server wrote it anew without a change of content.
        SyncResource& r = m_entries[s.href];
        r.etag = etag;
        if (!r.foreignText.empty()) r.foreignText = s.server->text;
      }
      if (localChanged) {
        upload(s, *local, etag, m_entries[s.href].foreignText);
      }
      return;
    }
    if (!localChanged) {
      toTable(s, *s.server);
    } else if (localHash == s.server->hash) {
      agree(s, *s.server, *local);
    } else {
      conflict(s, *s.server, *local);
    }
  }

  // Whether a resource is in our own form for this event: a change goes back whole.
  static bool ownForm(const ServerItem& item, const Uid& uid) {
    return item.ownProduct && item.ownUid == uid;
  }

  void record(const std::string& href, const std::string& etag, const Uid& uid,
              const std::string& hash, const std::string& foreignText) {
    m_entries[href] = SyncResource{href, etag, ResourceStatus::Event, uid, hash, foreignText};
  }

  void agree(Step& s, const ServerItem& item, const EventRecord& local) {
    const Uid uid = *uidOf(local);
    record(s.href, item.etag, uid, item.hash, ownForm(item, uid) ? "" : item.text);
  }

  // The server's version into the table: into the local event's slot, or as a new event.
  void toTable(Step& s, const ServerItem& item) {
    if (const EventRecord* local = localRecord(s)) {
      const int slot = m_locals.at(*s.local).slot;
      const EventRecord held = *local;
      const EventRecord form = *serverForm(held, m_o);
      EventRecord merged = item.record;
      setUid(merged, *s.local);
      // What the server's form does not carry stays as it is here.
      if (isSet(form.isProtected) != isSet(held.isProtected)) merged.isProtected = held.isProtected;
      if (isSet(form.highPriority) != isSet(held.highPriority)) {
        merged.highPriority = held.highPriority;
      }
      if (isSet(form.computeJubilee) != isSet(held.computeJubilee)) {
        merged.computeJubilee = held.computeJubilee;
      }
      if (kindOf(form) != kindOf(held)) setKind(merged, kindOf(held));
      if (leadDaysOf(form) != leadDaysOf(held)) setLeadDays(merged, leadDaysOf(held));
      m_table->storeRecord(slot, merged);
      m_locals[*s.local].hash = item.hash;
      record(s.href, item.etag, *s.local, item.hash, ownForm(item, *s.local) ? "" : item.text);
      ++m_report.changed;
      return;
    }
    const auto slot = m_table->findFreeSlot();
    if (!slot) {
      m_entries[s.href] =
          SyncResource{s.href, item.etag, ResourceStatus::Skipped, std::nullopt, "", ""};
      ++m_report.skipped;
      return;
    }
    m_table->placeRecord(*slot, item.record);
    const Uid uid = *uidOf(m_table->record(*slot));
    m_locals[uid] = Local{*slot, item.hash};
    record(s.href, item.etag, uid, item.hash, ownForm(item, uid) ? "" : item.text);
    ++m_report.added;
  }

  // Changed on both sides: the server's version wins; the local one stays as a new event.
  void conflict(Step& s, const ServerItem& item, const EventRecord& local) {
    const auto free = m_table->findFreeSlot();
    if (!free) {
      // No room for the local version: nothing changes until there is.
      ++m_report.skipped;
      m_unsettled = true;
      return;
    }
    EventRecord copy = local;
    setUid(copy, randomUid());
    setEventText(copy, conflictText(eventText(local)));
    toTable(s, item);
    m_table->placeRecord(*free, copy);
    const Uid uid = *uidOf(m_table->record(*free));
    m_locals[uid] = Local{*free, hashText(*serverForm(m_table->record(*free), m_o))};
    ++m_report.conflicts;
    ++m_report.added;
    Step added;
    added.local = uid;
    m_steps.push_back(std::move(added));
  }

  void upload(Step& s, const EventRecord& local, const std::string& ifMatch,
              const std::string& foreignText) {
    const Uid uid = *uidOf(local);
    if (s.href.empty()) s.href = m_server.hrefFor(uidText(uid) + "@tavik");
    const std::string text =
        foreignText.empty() ? ownText(local, m_o) : inTheirForm(foreignText, local, m_o);
    const std::string etag = m_server.put(s.href, text, ifMatch);
    const std::string& hash = m_locals.at(uid).hash;
    record(s.href, etag, uid, hash, foreignText.empty() ? "" : text);
    ++m_report.uploaded;
  }

  void finish(SyncResult& result, const std::string& token) {
    result.state.collection = m_base.collection;
    result.state.syncToken = token;
    for (const auto& [href, r] : m_entries) result.state.resources.push_back(r);
    m_report.tableChanged = false;
    for (int slot = 1; slot <= kSlotCount && !m_report.tableChanged; ++slot) {
      m_report.tableChanged = !(m_table->record(slot) == m_snapshot.record(slot));
    }
    result.report = m_report;
    result.table = std::move(m_table);
  }

  const EventTable& m_snapshot;
  CalendarServer& m_server;
  const SyncOptions& m_o;
  SyncState m_base;
  bool m_first = false;
  bool m_unsettled = false;
  std::unique_ptr<EventTable> m_table;
  ServerListing m_listing;
  std::map<std::string, std::string> m_current;  // href -> ETag on the server now
  std::map<std::string, ServerItem> m_fetched;
  std::map<std::string, SyncResource> m_entries;  // the state being built, by href
  std::map<Uid, Local> m_locals;
  std::set<Uid> m_blocked;
  std::vector<Step> m_steps;
  SyncReport m_report;
};

}  // namespace

std::string syncSummary(const SyncReport& report) {
  std::string s =
      std::to_string(report.added) + " neu, " + std::to_string(report.changed) + " geändert, ";
  if (report.removed > 0) s += std::to_string(report.removed) + " entfernt, ";
  s += plural(report.conflicts, "Konflikt", "Konflikte");
  if (report.skipped > 0) s += ", " + std::to_string(report.skipped) + " übersprungen";
  // What went the other way, so that a first sync that sent everything does not read as idle.
  if (report.uploaded > 0 || report.deletedOnServer > 0) {
    s += "; auf dem Server " + std::to_string(report.uploaded) + " geschrieben";
    if (report.deletedOnServer > 0)
      s += ", " + std::to_string(report.deletedOnServer) + " gelöscht";
  }
  return s;
}

std::optional<std::string> syncHash(const EventRecord& record, const SyncOptions& options) {
  const auto form = serverForm(record, options);
  if (!form) return std::nullopt;
  return hashText(*form);
}

SyncResult syncCalendar(const EventTable& snapshot, const SyncState& state, CalendarServer& server,
                        const SyncOptions& options) {
  return Engine(snapshot, state, server, options).run();
}

SyncState applySync(EventTable& live, const EventTable& snapshot, const SyncResult& result) {
  SyncState state = result.state;
  if (!result.table) return state;
  const EventTable& done = *result.table;
  std::vector<int> homeless;
  for (int slot = 1; slot <= kSlotCount; ++slot) {
    const EventRecord& before = snapshot.record(slot);
    const EventRecord& after = done.record(slot);
    if (before == after) continue;
    if (live.record(slot) == before) {
      live.storeRecord(slot, after);
    } else if (!done.slotIsFree(slot) &&
               (snapshot.slotIsFree(slot) || uidOf(before) != uidOf(after))) {
      homeless.push_back(slot);  // the sync put an event where the user changed the slot
    }
  }
  for (const int slot : homeless) {
    if (const auto free = live.findFreeSlot()) {
      live.storeRecord(*free, done.record(slot));
      continue;
    }
    // No room: the server's resource is fetched again next time rather than taken for deleted.
    const auto uid = uidOf(done.record(slot));
    for (SyncResource& r : state.resources) {
      if (r.status == ResourceStatus::Event && r.uid == uid) {
        r.status = ResourceStatus::Skipped;
        r.hash.clear();
        r.foreignText.clear();
      }
    }
  }
  return state;
}

}  // namespace tavik
