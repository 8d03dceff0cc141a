// The vCard reader: unfold, split each content line, decode, and turn the dates into events.
#include "exchange/vcard_reader.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "exchange/text_decode.h"
#include "store/cp1252.h"
#include "store/day_number.h"

namespace tavik {
namespace {

enum class DateKind { Birthday, Wedding, Death };

constexpr std::string_view kPrefixes[] = {"Geburtstag ", "Hochzeitstag ", "Todestag "};

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

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
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

// The properties a card's events are made of; every other line is passed over.
bool isWanted(std::string_view name) {
  static constexpr std::string_view kOthers[] = {
      "VERSION", "FN", "N", "NICKNAME", "X-ABDATE", "X-ABLABEL", "X-ANDROID-CUSTOM"};
  return dateKindOf(name) ||
         std::any_of(std::begin(kOthers), std::end(kOthers),
                     [&](std::string_view w) { return equalsIgnoreCase(name, w); });
}

// A date found on a card, still as text.
struct FoundDate {
  DateKind kind;
  std::optional<std::string> value;  // decoded and unescaped; nullopt when it could not be
  bool isText = false;               // VALUE=text
  std::optional<int> omitYear;       // X-APPLE-OMIT-YEAR
};

// The wanted lines of one card, kept until its end because VERSION and the labels of
// X-ABDATE may come after the lines they concern.
class Card {
 public:
  void keep(std::string line) { m_lines.push_back(std::move(line)); }

  void finish(ReadResult& out) const {
    bool version21 = false;
    std::vector<Property> props;
    props.reserve(m_lines.size());
    for (const std::string& line : m_lines) {
      Property p;
      if (!parseProperty(line, p)) continue;
      if (equalsIgnoreCase(p.name, "VERSION")) version21 = trimmed(p.value) == "2.1";
      props.push_back(std::move(p));
    }

    std::optional<std::string> name;
    bool nameUndecodable = false;
    findName(props, version21, name, nameUndecodable);

    std::vector<FoundDate> dates;
    for (const Property& p : props) {
      if (const auto kind = dateKindOf(p.name)) {
        dates.push_back(dateOf(p, *kind, version21));
      } else if (equalsIgnoreCase(p.name, "X-ABDATE") &&
                 isWeddingLabelled(props, p.group, version21)) {
        dates.push_back(dateOf(p, DateKind::Wedding, version21));
      } else if (equalsIgnoreCase(p.name, "X-ANDROID-CUSTOM")) {
        androidEvent(p, version21, dates);
      }
    }
    if (dates.empty()) {
      out.skip(SkipReason::NoDate);
      return;
    }

    std::vector<OTdaten> cardCandidates;
    for (const FoundDate& d : dates) {
      const std::optional<Ymd> parsed =
          d.value && !d.isText ? parseVcardDate(*d.value) : std::nullopt;
      std::optional<DayNumber> day;
      bool yearless = false;
      if (parsed) {
        yearless = parsed->year == 0 || parsed->year == kPlaceholderYear ||
                   (d.omitYear && *d.omitYear == parsed->year);
        day = makeDayNumber(yearless ? kYearlessYear : parsed->year, parsed->month, parsed->day);
      }
      // Day 0 (30 December 1899) marks a free slot; stored, the event would vanish.
      if (!day || day->value == 0) {
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
      const std::optional<std::string> stored =
          storableText(std::string(kPrefixes[static_cast<int>(d.kind)]) + *name);
      if (!stored) {
        out.skip(SkipReason::Unstorable);
        continue;
      }
      const OTdaten c = datedCandidate(*day, yearless, *stored);
      // The same date given twice on one card (ANNIVERSARY and X-ANNIVERSARY) is one event.
      if (std::find(cardCandidates.begin(), cardCandidates.end(), c) == cardCandidates.end()) {
        cardCandidates.push_back(c);
      }
    }
    out.candidates.insert(out.candidates.end(), cardCandidates.begin(), cardCandidates.end());
  }

 private:
  static std::optional<std::string> decoded(const Property& p) {
    const std::string raw =
        p.quotedPrintable() ? decodeQuotedPrintable(p.value) : std::string(p.value);
    return toUtf8(raw, p.param("CHARSET"));
  }

  static void findName(const std::vector<Property>& props, bool version21,
                       std::optional<std::string>& name, bool& undecodable) {
    const auto first = [&](std::string_view key) -> const Property* {
      for (const Property& p : props) {
        if (equalsIgnoreCase(p.name, key)) return &p;
      }
      return nullptr;
    };
    const auto consider = [&](const Property* p, auto&& compose) {
      if (!p) return false;
      const std::optional<std::string> value = decoded(*p);
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
    if (consider(first("FN"), [&](const std::string& v) { return unescape(v, version21); })) {
      return;
    }
    if (consider(first("N"), [&](const std::string& v) {
          const auto parts = splitUnescaped(v, ';');
          const std::string family(trimmed(unescape(parts[0], version21)));
          const std::string given(parts.size() > 1 ? trimmed(unescape(parts[1], version21))
                                                   : std::string_view());
          if (given.empty()) return family;
          return family.empty() ? given : given + ' ' + family;
        })) {
      return;
    }
    consider(first("NICKNAME"),
             [&](const std::string& v) { return unescape(splitUnescaped(v, ',')[0], version21); });
  }

  static FoundDate dateOf(const Property& p, DateKind kind, bool version21) {
    FoundDate d{.kind = kind, .value = std::nullopt, .isText = false, .omitYear = std::nullopt};
    if (const auto v = decoded(p)) d.value = unescape(trimmed(*v), version21);
    const auto type = p.param("VALUE");
    d.isText = type && equalsIgnoreCase(*type, "text");
    if (const auto omit = p.param("X-APPLE-OMIT-YEAR")) {
      if (!omit->empty() && omit->size() <= 4 && allDigits(*omit)) d.omitYear = number(*omit);
    }
    return d;
  }

  static bool isWeddingLabelled(const std::vector<Property>& props, std::string_view group,
                                bool version21) {
    if (group.empty()) return false;
    for (const Property& p : props) {
      if (!equalsIgnoreCase(p.name, "X-ABLABEL") || !equalsIgnoreCase(p.group, group)) continue;
      const auto label = decoded(p);
      return label && containsIgnoreCase(unescape(*label, version21), "Anniversary");
    }
    return false;
  }

  // Android: "vnd.android.cursor.item/contact_event;<date>;<type>;...", type 1 = anniversary.
  static void androidEvent(const Property& p, bool version21, std::vector<FoundDate>& dates) {
    const auto value = decoded(p);
    if (!value) return;
    const auto fields = splitUnescaped(*value, ';');
    if (fields.size() < 3 || trimmed(fields[0]) != "vnd.android.cursor.item/contact_event" ||
        trimmed(fields[2]) != "1") {
      return;
    }
    dates.push_back({.kind = DateKind::Wedding,
                     .value = unescape(trimmed(fields[1]), version21),
                     .isText = false,
                     .omitYear = std::nullopt});
  }

  std::vector<std::string> m_lines;
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

// A logical line of quoted-printable text ending in "=" goes on in the next physical line.
bool endsInSoftBreak(const std::string& line) {
  if (line.empty() || line.back() != '=') return false;
  const std::size_t colon = colonPosition(line);
  return colon != std::string::npos && colon + 1 < line.size() &&
         containsIgnoreCase(std::string_view(line).substr(0, colon), "QUOTED-PRINTABLE");
}

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
  Lines lines(withoutUtf8Bom(bytes));
  std::optional<Card> card;
  std::string line;
  while (!lines.done()) {
    line.assign(lines.next());
    while (true) {
      if (lines.nextIsFolded()) {
        line.append(lines.next().substr(1));
      } else if (endsInSoftBreak(line) && !lines.done() && !lines.nextStartsWith("END:VCARD")) {
        line.pop_back();
        line.append(lines.next());
      } else {
        break;
      }
    }
    const std::string_view text = trimmed(line);
    if (equalsIgnoreCase(text, "BEGIN:VCARD")) {
      // A card that another one interrupts has lost its end.
      if (card) result.skip(SkipReason::Incomplete);
      card.emplace();
      continue;
    }
    if (!card) continue;
    if (equalsIgnoreCase(text, "END:VCARD")) {
      card->finish(result);
      card.reset();
      continue;
    }
    Property p;
    if (parseProperty(line, p) && isWanted(p.name)) card->keep(line);
  }
  if (card) result.skip(SkipReason::Incomplete);
  return result;
}

}  // namespace tavik
