// The vCard reader: unfold, split each content line, decode, and turn the dates into events.
#include "exchange/vcard_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "exchange/text_decode.h"
#include "store/cp1252.h"
#include "store/day_number.h"
#include "store/event_kind.h"
#include "store/hex_digit.h"
#include "store/record_extension.h"

namespace tavik {
namespace {

enum class DateKind { Birthday, Wedding, Death };

constexpr std::string_view kPrefixes[] = {"Geburtstag ", "Hochzeitstag ", "Todestag "};
// The record's kind for each: the text keeps its own word as before.
constexpr std::uint8_t kKinds[] = {kKindBirthday, kKindWedding, kKindDeath};

struct Param {
  std::string_view name;  // empty for a bare value (vCard 2.1: "QUOTED-PRINTABLE", "HOME")
  std::string_view value;
};

// One content line: [group "."] name *(";" param) ":" value.
struct Property {
  std::string_view group;
  std::string_view name;
  std::vector<Param> params;
  std::string_view value;

  std::optional<std::string_view> param(std::string_view key) const {
    for (const Param& p : params) {
      if (equalsIgnoreCase(p.name, key)) return p.value;
    }
    return std::nullopt;
  }
  bool hasBare(std::string_view value) const {
    return std::any_of(params.begin(), params.end(), [&](const Param& p) {
      return p.name.empty() && equalsIgnoreCase(p.value, value);
    });
  }
  bool quotedPrintable() const {
    const auto encoding = param("ENCODING");
    return (encoding && equalsIgnoreCase(*encoding, "QUOTED-PRINTABLE")) ||
           hasBare("QUOTED-PRINTABLE");
  }
};

// The part before the first colon outside double quotes: the name and its parameters.
std::size_t colonPosition(std::string_view line) {
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) return i;
  }
  return std::string_view::npos;
}

bool parseProperty(std::string_view line, Property& out) {
  const std::size_t colon = colonPosition(line);
  if (colon == std::string_view::npos) return false;
  out.value = line.substr(colon + 1);
  std::string_view head = line.substr(0, colon);
  const std::size_t semicolon = head.find(';');
  std::string_view name = head.substr(0, semicolon);
  const std::size_t dot = name.find('.');
  out.group = dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
  out.name = trimmed(dot == std::string_view::npos ? name : name.substr(dot + 1));
  out.params.clear();
  if (semicolon == std::string_view::npos) return true;
  head.remove_prefix(semicolon + 1);
  while (true) {
    bool quoted = false;
    std::size_t end = 0;
    while (end < head.size() && (quoted || head[end] != ';')) {
      if (head[end] == '"') quoted = !quoted;
      ++end;
    }
    const std::string_view text = head.substr(0, end);
    const std::size_t eq = text.find('=');
    Param p;
    if (eq == std::string_view::npos) {
      p.value = trimmed(text);
    } else {
      p.name = trimmed(text.substr(0, eq));
      p.value = trimmed(text.substr(eq + 1));
      if (p.value.size() >= 2 && p.value.front() == '"' && p.value.back() == '"') {
        p.value = p.value.substr(1, p.value.size() - 2);
      }
    }
    out.params.push_back(p);
    if (end >= head.size()) break;
    head.remove_prefix(end + 1);
  }
  return true;
}

std::string decodeQuotedPrintable(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '=' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else if (s[i] == '=' && i + 1 == s.size()) {
      // a soft line break left at the very end
    } else {
      out += s[i];
    }
  }
  return out;
}

// ISO-8859-15 differs from ISO-8859-1 in eight places.
char32_t latin9CodePoint(unsigned char b) {
  switch (b) {
    case 0xA4:
      return 0x20AC;
    case 0xA6:
      return 0x0160;
    case 0xA8:
      return 0x0161;
    case 0xB4:
      return 0x017D;
    case 0xB8:
      return 0x017E;
    case 0xBC:
      return 0x0152;
    case 0xBD:
      return 0x0153;
    case 0xBE:
      return 0x0178;
    default:
      return b;
  }
}

// The value's bytes as UTF-8. Without a charset, or with a UTF-8 one, bytes that are no
// UTF-8 are taken as Windows-1252. nullopt for a charset this reader does not know, unless the
// bytes are plain ASCII.
std::optional<std::string> toUtf8(std::string_view bytes, std::optional<std::string_view> charset) {
  if (!hasNonAscii(bytes)) return std::string(bytes);
  const std::string_view cs = charset ? trimmed(*charset) : std::string_view();
  if (cs.empty() || equalsIgnoreCase(cs, "UTF-8") || equalsIgnoreCase(cs, "UTF8") ||
      equalsIgnoreCase(cs, "US-ASCII")) {
    if (isValidUtf8(bytes)) return std::string(bytes);
    return cp1252ToUtf8(bytes);
  }
  // Files labelled Latin-1 are in practice Windows-1252, which only adds printable characters.
  for (const std::string_view name :
       {"ISO-8859-1", "ISO8859-1", "LATIN1", "WINDOWS-1252", "CP1252", "ANSI"}) {
    if (equalsIgnoreCase(cs, name)) return cp1252ToUtf8(bytes);
  }
  if (equalsIgnoreCase(cs, "ISO-8859-15") || equalsIgnoreCase(cs, "LATIN9")) {
    std::string out;
    for (const char c : bytes) appendUtf8(out, latin9CodePoint(static_cast<unsigned char>(c)));
    return out;
  }
  return std::nullopt;
}

// Text escapes: in 3.0 and 4.0 "\n" "\N" "\," "\;" "\\" (and "\:", written by some); 2.1
// only escapes the semicolon and the backslash.
std::string unescape(std::string_view s, bool version21) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char next = s[i + 1];
    if (next == ';' || next == '\\' || (!version21 && (next == ',' || next == ':'))) {
      out += next;
      ++i;
    } else if (!version21 && (next == 'n' || next == 'N')) {
      out += '\n';
      ++i;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Splits at `sep` where it is not escaped by a backslash.
std::vector<std::string_view> splitUnescaped(std::string_view s, char sep) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\') {
      ++i;
    } else if (s[i] == sep) {
      parts.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(s.substr(start));
  return parts;
}

bool allDigits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

std::optional<DateKind> dateKindOf(std::string_view name) {
  if (equalsIgnoreCase(name, "BDAY")) return DateKind::Birthday;
  for (const std::string_view n : {"ANNIVERSARY", "X-ANNIVERSARY", "X-EVOLUTION-ANNIVERSARY",
                                   "X-KADDRESSBOOK-X-ANNIVERSARY", "X-MS-ANNIVERSARY"}) {
    if (equalsIgnoreCase(name, n)) return DateKind::Wedding;
  }
  if (equalsIgnoreCase(name, "DEATHDATE") || equalsIgnoreCase(name, "X-EVOLUTION-DEATHDATE")) {
    return DateKind::Death;
  }
  return std::nullopt;
}

// A date as read in a card of version 2.1 and in one of 3.0/4.0: the two escape differently,
// and VERSION may come after the date.
struct DateReading {
  std::optional<DayNumber> day;  // nullopt (or day 0) when it cannot be taken
  bool yearless = false;
};

// A date found on a card, already read both ways.
struct FoundDate {
  DateKind kind;
  std::array<DateReading, 2> reading;  // [0] 3.0 and 4.0, [1] 2.1
  // X-ABDATE: the index of its group, whose label decides whether it is a wedding day.
  std::optional<std::size_t> labelGroup;
};

DateReading readDate(const std::optional<std::string>& value, bool isText,
                     std::optional<int> omitYear, bool version21) {
  if (!value || isText) return {};
  const std::optional<Ymd> parsed = parseVcardDate(unescape(trimmed(*value), version21));
  if (!parsed) return {};
  DateReading r;
  r.yearless = parsed->year == 0 || parsed->year == kPlaceholderYear ||
               (omitYear && *omitYear == parsed->year);
  r.day = makeDayNumber(r.yearless ? kYearlessYear : parsed->year, parsed->month, parsed->day);
  return r;
}

std::optional<std::string> decoded(const Property& p) {
  const std::string raw =
      p.quotedPrintable() ? decodeQuotedPrintable(p.value) : std::string(p.value);
  return toUtf8(raw, p.param("CHARSET"));
}

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A candidate before it becomes a record: its text is kept once per card and kind in the
// reader's text store, so a card of many dates and a book of many cards stay small until the
// records are made, all at once and in a list of the right size.
struct TextRef {
  std::size_t offset;
  std::size_t length;
};

struct Pending {
  DayNumber day;
  bool yearless;
  TextRef text;
  std::uint8_t kind;
};

struct Collected {
  std::vector<Pending> pending;
  std::string texts;
};

// One card. Each wanted line is taken as it comes and only what the events need is kept: the
// first name lines, each date read both ways, the labels of the X-ABDATE groups.
class Card {
 public:
  void take(const Property& p, std::string_view line) {
    if (equalsIgnoreCase(p.name, "VERSION")) {
      m_version21 = trimmed(p.value) == "2.1";
    } else if (const auto kind = dateKindOf(p.name)) {
      addDate(p, *kind, std::nullopt);
    } else if (equalsIgnoreCase(p.name, "X-ABDATE")) {
      if (!p.group.empty()) addDate(p, DateKind::Wedding, groupIndex(p.group));
    } else if (equalsIgnoreCase(p.name, "X-ABLABEL")) {
      if (!p.group.empty()) takeLabel(p);
    } else if (equalsIgnoreCase(p.name, "X-ANDROID-CUSTOM")) {
      androidEvent(p);
    } else {
      for (std::size_t i = 0; i < std::size(kNameKeys); ++i) {
        if (equalsIgnoreCase(p.name, kNameKeys[i]) && !m_nameLines[i]) {
          m_nameLines[i] = std::string(line);
        }
      }
    }
  }

  void finish(ReadResult& out, Collected& collected) {
    const std::size_t v = m_version21 ? 1 : 0;
    std::optional<std::string> name;
    bool nameUndecodable = false;
    findName(name, nameUndecodable);

    bool anyDate = false;
    // The text of each kind, made at its first date: the name is the same for all.
    std::array<std::optional<std::optional<TextRef>>, 3> kindText;
    for (const FoundDate& d : m_dates) {
      if (d.labelGroup && !m_anniversaryLabel[*d.labelGroup][v]) continue;
      anyDate = true;
      const DateReading& r = d.reading[v];
      // Day 0 (30 December 1899) marks a free slot; stored, the event would vanish.
      if (!r.day || r.day->value == 0) {
        out.skip(SkipReason::BadDate);
        continue;
      }
      if (nameUndecodable) {
        out.skip(SkipReason::Unstorable);
        continue;
      }
      if (!name) {
        out.skip(SkipReason::NoName);
        continue;
      }
      auto& text = kindText[static_cast<std::size_t>(d.kind)];
      if (!text)
        text = storeText(collected, std::string(kPrefixes[static_cast<int>(d.kind)]) + *name);
      if (!*text) {
        out.skip(SkipReason::Unstorable);
        continue;
      }
      // The same date given twice on one card (ANNIVERSARY and X-ANNIVERSARY) is one event.
      const std::uint64_t key =
          (static_cast<std::uint64_t>(static_cast<std::uint32_t>(r.day->value)) << 3) |
          (static_cast<std::uint64_t>(d.kind) << 1) | (r.yearless ? 1U : 0U);
      if (!m_seen.insert(key).second) continue;
      collected.pending.push_back({.day = *r.day,
                                   .yearless = r.yearless,
                                   .text = **text,
                                   .kind = kKinds[static_cast<std::size_t>(d.kind)]});
    }
    if (!anyDate) out.skip(SkipReason::NoDate);
  }

 private:
  static constexpr std::string_view kNameKeys[] = {"FN", "N", "NICKNAME"};

  // The text in UTF-8, in any script; it is cut to what a record holds when the record is
  // made.
  static std::optional<TextRef> storeText(Collected& collected, const std::string& utf8) {
    const std::string text = oneLineText(utf8);
    if (!isValidUtf8(text)) return std::nullopt;
    const TextRef ref{.offset = collected.texts.size(), .length = text.size()};
    collected.texts += text;
    return ref;
  }

  std::size_t groupIndex(std::string_view group) {
    const auto [it, added] = m_groups.try_emplace(lowerAscii(group), m_anniversaryLabel.size());
    if (added) {
      m_anniversaryLabel.push_back({false, false});
      m_labelled.push_back(false);
    }
    return it->second;
  }

  // The first label of a group decides, wherever it stands on the card.
  void takeLabel(const Property& p) {
    const std::size_t g = groupIndex(p.group);
    if (m_labelled[g]) return;
    m_labelled[g] = true;
    const auto label = decoded(p);
    if (!label) return;
    for (const std::size_t v : {0U, 1U}) {
      m_anniversaryLabel[g][v] = containsIgnoreCase(unescape(*label, v == 1), "Anniversary");
    }
  }

  void addDate(const Property& p, DateKind kind, std::optional<std::size_t> labelGroup) {
    const auto value = decoded(p);
    const auto type = p.param("VALUE");
    const bool isText = type && equalsIgnoreCase(*type, "text");
    // Apple's X-APPLE-OMIT-YEAR names the stand-in year; servers write their own
    // X-<vendor>-OMIT-YEAR the same way.
    std::optional<int> omitYear;
    for (const Param& param : p.params) {
      const std::string_view omit = param.value;
      if (param.name.size() > 12 && startsWithIgnoreCase(param.name, "X-") &&
          equalsIgnoreCase(param.name.substr(param.name.size() - 10), "-OMIT-YEAR") &&
          !omit.empty() && omit.size() <= 4 && allDigits(omit)) {
        omitYear = number(omit);
      }
    }
    m_dates.push_back({.kind = kind,
                       .reading = {readDate(value, isText, omitYear, false),
                                   readDate(value, isText, omitYear, true)},
                       .labelGroup = labelGroup});
  }

  // Android: "vnd.android.cursor.item/contact_event;<date>;<type>;...", type 1 = anniversary.
  void androidEvent(const Property& p) {
    const auto value = decoded(p);
    if (!value) return;
    const auto fields = splitUnescaped(*value, ';');
    if (fields.size() < 3 || trimmed(fields[0]) != "vnd.android.cursor.item/contact_event" ||
        trimmed(fields[2]) != "1") {
      return;
    }
    const std::optional<std::string> date(std::string(trimmed(fields[1])));
    m_dates.push_back({.kind = DateKind::Wedding,
                       .reading = {readDate(date, false, std::nullopt, false),
                                   readDate(date, false, std::nullopt, true)},
                       .labelGroup = std::nullopt});
  }

  void findName(std::optional<std::string>& name, bool& undecodable) const {
    const auto consider = [&](const std::optional<std::string>& line, auto&& compose) {
      if (!line) return false;
      Property p;
      parseProperty(*line, p);
      const std::optional<std::string> value = decoded(p);
      if (!value) {
        undecodable = true;
        return true;
      }
      std::string text = compose(*value);
      // A name of line breaks or other control characters is no name.
      for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f') c = ' ';
      }
      if (trimmed(text).empty()) return false;
      name = std::string(trimmed(text));
      return true;
    };
    const bool v21 = m_version21;
    if (consider(m_nameLines[0], [&](const std::string& v) { return unescape(v, v21); })) return;
    if (consider(m_nameLines[1], [&](const std::string& v) {
          const auto parts = splitUnescaped(v, ';');
          const std::string family(trimmed(unescape(parts[0], v21)));
          const std::string given(parts.size() > 1 ? trimmed(unescape(parts[1], v21))
                                                   : std::string_view());
          if (given.empty()) return family;
          return family.empty() ? given : given + ' ' + family;
        })) {
      return;
    }
    consider(m_nameLines[2],
             [&](const std::string& v) { return unescape(splitUnescaped(v, ',')[0], v21); });
  }

  bool m_version21 = false;
  std::array<std::optional<std::string>, 3> m_nameLines;
  std::vector<FoundDate> m_dates;
  std::map<std::string, std::size_t> m_groups;          // lower-case group name -> index
  std::vector<std::array<bool, 2>> m_anniversaryLabel;  // per group, read as 3.0 and as 2.1
  std::vector<bool> m_labelled;
  std::set<std::uint64_t> m_seen;
};

// Physical lines: each ends at CR LF, LF or CR.
class Lines {
 public:
  explicit Lines(std::string_view text) : m_rest(text) {}
  bool done() const { return m_rest.empty(); }
  // The next line starts with a blank or TAB: it continues the current one.
  bool nextIsFolded() const { return !m_rest.empty() && (m_rest[0] == ' ' || m_rest[0] == '\t'); }
  bool nextStartsWith(std::string_view s) const { return startsWithIgnoreCase(m_rest, s); }
  std::string_view next() {
    const std::size_t end = m_rest.find_first_of("\r\n");
    const std::string_view line = m_rest.substr(0, end);
    if (end == std::string_view::npos) {
      m_rest = {};
    } else {
      const bool crlf = m_rest[end] == '\r' && end + 1 < m_rest.size() && m_rest[end + 1] == '\n';
      m_rest.remove_prefix(end + (crlf ? 2 : 1));
    }
    return line;
  }

 private:
  std::string_view m_rest;
};

// The part of a logical line before its first colon outside double quotes, found once however
// often the line grows: a soft line break must not scan it again.
class Head {
 public:
  void reset() { *this = Head(); }
  // A line of quoted-printable text ending in "=" goes on in the next physical line.
  bool endsInSoftBreak(std::string_view line) {
    if (line.empty() || line.back() != '=') return false;
    for (; m_colon == std::string_view::npos && m_scanned < line.size(); ++m_scanned) {
      if (line[m_scanned] == '"') m_quoted = !m_quoted;
      if (line[m_scanned] == ':' && !m_quoted) {
        m_colon = m_scanned;
        m_quotedPrintable = containsIgnoreCase(line.substr(0, m_colon), "QUOTED-PRINTABLE");
      }
    }
    return m_colon != std::string_view::npos && m_colon + 1 < line.size() && m_quotedPrintable;
  }

 private:
  std::size_t m_scanned = 0;
  bool m_quoted = false;
  std::size_t m_colon = std::string_view::npos;
  bool m_quotedPrintable = false;
};

}  // namespace

bool looksLikeVcard(std::string_view bytes) {
  return beginsWithMarkerLine(bytes, "BEGIN:VCARD");
}

std::optional<Ymd> parseVcardDate(std::string_view value) {
  std::string_view v = trimmed(value);
  const std::size_t t = v.find_first_of("Tt");
  if (t != std::string_view::npos) v = v.substr(0, t);
  Ymd d;
  if (v.starts_with("--")) {
    v.remove_prefix(2);
    if (v.size() == 5 && v[2] == '-') {
      if (!allDigits(v.substr(0, 2)) || !allDigits(v.substr(3))) return std::nullopt;
      d.month = number(v.substr(0, 2));
      d.day = number(v.substr(3));
      return d;
    }
    if (v.size() != 4 || !allDigits(v)) return std::nullopt;
    d.month = number(v.substr(0, 2));
    d.day = number(v.substr(2));
    return d;
  }
  if (v.size() == 10 && v[4] == '-' && v[7] == '-') {
    if (!allDigits(v.substr(0, 4)) || !allDigits(v.substr(5, 2)) || !allDigits(v.substr(8))) {
      return std::nullopt;
    }
    d.year = number(v.substr(0, 4));
    d.month = number(v.substr(5, 2));
    d.day = number(v.substr(8));
    return d;
  }
  if (v.size() != 8 || !allDigits(v)) return std::nullopt;
  d.year = number(v.substr(0, 4));
  d.month = number(v.substr(4, 2));
  d.day = number(v.substr(6));
  // A year-less date: the year 0 does not exist, and 0000 means "none" to no producer.
  if (d.year == 0) return std::nullopt;
  return d;
}

ReadResult readVcard(std::string_view bytes) {
  ReadResult result;
  Collected collected;
  Lines lines(withoutUtf8Bom(bytes));
  // The open cards: a 2.1 AGENT holds a whole card in the lines after it, which ends before
  // the card around it does.
  std::vector<Card> cards;
  bool agentFollows = false;  // the line before was an AGENT without a value
  std::string line;
  Head head;
  Property p;
  while (!lines.done()) {
    line.assign(lines.next());
    head.reset();
    while (true) {
      if (lines.nextIsFolded()) {
        line.append(lines.next().substr(1));
      } else if (head.endsInSoftBreak(line) && !lines.done() &&
                 !lines.nextStartsWith("END:VCARD")) {
        line.pop_back();
        line.append(lines.next());
      } else {
        break;
      }
    }
    const std::string_view text = trimmed(line);
    const bool agentCard = agentFollows;
    agentFollows = false;
    if (equalsIgnoreCase(text, "BEGIN:VCARD")) {
      if (!agentCard) {
        // A card that another one interrupts has lost its end.
        for (std::size_t i = 0; i < cards.size(); ++i) result.skip(SkipReason::Incomplete);
        cards.clear();
      }
      cards.emplace_back();
      continue;
    }
    if (cards.empty()) continue;
    if (equalsIgnoreCase(text, "END:VCARD")) {
      cards.back().finish(result, collected);
      cards.pop_back();
      continue;
    }
    if (!parseProperty(line, p)) continue;
    if (equalsIgnoreCase(p.name, "AGENT")) {
      const std::string_view value = trimmed(p.value);
      if (value.empty()) {
        agentFollows = true;
      } else if (equalsIgnoreCase(value, "BEGIN:VCARD")) {
        // The embedded card begun on the AGENT line itself, its lines unescaped.
        cards.emplace_back();
      }
      continue;
    }
    cards.back().take(p, line);
  }
  for (std::size_t i = 0; i < cards.size(); ++i) result.skip(SkipReason::Incomplete);

  result.candidates.reserve(collected.pending.size());
  for (const Pending& c : collected.pending) {
    auto candidate = datedCandidate(
        c.day, c.yearless, std::string_view(collected.texts).substr(c.text.offset, c.text.length));
    if (candidate) {
      setKind(candidate->record, c.kind);
      result.candidates.push_back(std::move(*candidate));
    } else {
      result.skip(SkipReason::Unstorable);
    }
  }
  return result;
}

}  // namespace tavik
