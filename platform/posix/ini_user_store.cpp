// QSettings' native ini format on Unix, read as QSettings reads it: logical lines (a ';' outside
// quotes starts a comment, quotes may span lines), sections, escaped keys and values, '@' types.
#include "platform/posix/ini_user_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <limits>

#include "store/cp1252.h"
#include "store/failure.h"
#include "store/hex_digit.h"

namespace tavik {

namespace {

using Values = std::map<std::string, std::string, std::less<>>;
constexpr std::size_t npos = std::string_view::npos;

bool isIniSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isIniSpecial(char c) {
  return c == '\n' || c == '\r' || c == '"' || c == ';' || c == '=' || c == '\\';
}

bool isAsciiSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string_view trimAscii(std::string_view s) {
  while (!s.empty() && isAsciiSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && isAsciiSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The next logical line from `pos`: its start and length and the first '=' outside quotes.
// Blank lines and comment lines are skipped; false at the end of the text.
bool readIniLine(std::string_view data, std::size_t& pos, std::size_t& lineStart,
                 std::size_t& lineLength, std::size_t& equalsAt) {
  bool inQuotes = false;
  equalsAt = npos;
  lineStart = pos;
  while (lineStart < data.size() && isIniSpace(data[lineStart])) ++lineStart;
  std::size_t i = lineStart;
  bool ended = false;
  while (i < data.size() && !ended) {
    const char ch = data[i++];
    if (!isIniSpecial(ch)) continue;
    if (ch == '=') {
      if (!inQuotes && equalsAt == npos) equalsAt = i - 1;
    } else if (ch == '\n' || ch == '\r') {
      if (i == lineStart + 1) {
        ++lineStart;
      } else if (!inQuotes) {
        --i;
        ended = true;
      }
    } else if (ch == '\\') {
      if (i < data.size()) {
        const char next = data[i++];
        if (i < data.size()) {
          const char after = data[i];
          if ((next == '\n' && after == '\r') || (next == '\r' && after == '\n')) ++i;
        }
      }
    } else if (ch == '"') {
      inQuotes = !inQuotes;
    } else if (i == lineStart + 1) {  // ';' opening a comment line
      while (i < data.size() && data[i] != '\n' && data[i] != '\r') ++i;
      while (i < data.size() && isIniSpace(data[i])) ++i;
      lineStart = i;
    } else if (!inQuotes) {  // ';' ending the line; the next call skips the comment
      --i;
      ended = true;
    }
  }
  pos = i;
  lineLength = i - lineStart;
  return lineLength > 0;
}

// Keys escape characters as %XX or %UXXXX, and '/' as '\'.
std::string unescapeKey(std::string_view key) {
  std::string out;
  for (std::size_t i = 0; i < key.size();) {
    const char ch = key[i];
    if (ch == '\\') {
      out += '/';
      ++i;
      continue;
    }
    if (ch != '%' || i + 1 == key.size()) {
      out += ch;
      ++i;
      continue;
    }
    std::size_t first = i + 1;
    std::size_t digits = 2;
    if (key[first] == 'U') {
      ++first;
      digits = 4;
    }
    char32_t value = 0;
    bool ok = first + digits <= key.size();
    for (std::size_t k = 0; ok && k < digits; ++k) {
      const int h = hexValue(key[first + k]);
      ok = h >= 0;
      value = value * 16 + static_cast<char32_t>(h);
    }
    if (!ok) {
      out += '%';
      ++i;
      continue;
    }
    appendUtf8(out, value);
    i = first + digits;
  }
  return out;
}

// A value's text with quotes and escapes resolved; nullopt for a list (an unquoted comma).
// As QSettings: blanks at the start and after a closing quote are skipped, and an unquoted
// value loses its blanks at the end, back to the last escape at most.
std::optional<std::string> unescapeValue(std::string_view s) {
  static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'}, {'n', '\n'},
                                         {'r', '\r'}, {'t', '\t'},  {'v', '\v'}, {'"', '"'},
                                         {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
  std::string out;
  bool inQuotes = false;
  bool quoted = false;
  std::size_t i = 0;
  std::size_t chopLimit = 0;  // blanks before this came from escapes or quotes and stay
  const auto skipBlanks = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    chopLimit = out.size();
  };
  skipBlanks();
  while (i < s.size()) {
    const char ch = s[i];
    if (ch == '\\') {
      ++i;
      if (i >= s.size()) return out;  // a lone backslash at the end: nothing is chopped
      const char e = s[i++];
      bool done = false;
      for (const auto& escape : kEscapes) {
        if (e == escape[0]) {
          out += escape[1];
          done = true;
          break;
        }
      }
      if (!done && (e == 'x' || (e >= '0' && e <= '7'))) {
        const int base = e == 'x' ? 16 : 8;
        if (e == 'x' && i >= s.size()) return out;
        if (e != 'x' || hexValue(s[i]) >= 0) {
          char32_t value = e == 'x' ? 0 : static_cast<char32_t>(e - '0');
          while (i < s.size()) {
            const int digit = hexValue(s[i]);
            if (digit < 0 || digit >= base) break;
            value = (value * static_cast<char32_t>(base) + static_cast<char32_t>(digit)) & 0xFFFF;
            ++i;
          }
          appendUtf8(out, value);
        }
      } else if (!done && (e == '\n' || e == '\r') && i < s.size() &&
                 (s[i] == '\n' || s[i] == '\r') && s[i] != e) {
        ++i;  // a line continuation ending in CR LF or LF CR
      }
      chopLimit = out.size();
      continue;
    }
    if (ch == '"') {
      inQuotes = !inQuotes;
      quoted = true;
      ++i;
      if (!inQuotes) skipBlanks();
      continue;
    }
    if (ch == ',' && !inQuotes) return std::nullopt;
    out += ch;
    ++i;
  }
  if (!quoted) {
    while (out.size() > chopLimit && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
  }
  return out;
}

// QChar::isSpace for the code point starting at `at` in UTF-8 text; its length in `length`.
bool isUnicodeSpaceAt(std::string_view s, std::size_t at, std::size_t& length) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[at + k]); };
  length = 1;
  if (isAsciiSpace(s[at])) return true;
  if (b(0) == 0xC2 && at + 1 < s.size()) {  // U+0085, U+00A0
    length = 2;
    return b(1) == 0x85 || b(1) == 0xA0;
  }
  if (at + 2 >= s.size()) return false;
  length = 3;
  const char32_t c = (static_cast<char32_t>(b(0) & 0x0F) << 12) |
                     (static_cast<char32_t>(b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  if ((b(0) & 0xF0) != 0xE0) return false;
  return c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

std::string_view trimUnicode(std::string_view s) {
  std::size_t length = 0;
  while (!s.empty() && isUnicodeSpaceAt(s, 0, length)) s.remove_prefix(length);
  for (;;) {
    bool trimmed = false;
    for (std::size_t n : {1u, 2u, 3u}) {
      if (s.size() >= n && isUnicodeSpaceAt(s, s.size() - n, length) && length == n) {
        s.remove_suffix(n);
        trimmed = true;
        break;
      }
    }
    if (!trimmed) return s;
  }
}

// The text a value stands for after QSettings' '@' types; nullopt for a type that is no text.
// A serialized @Variant counts as such: QSettings writes whole numbers as plain text.
std::optional<std::string> variantText(std::string text) {
  if (text.starts_with('@')) {
    if (text.ends_with(')')) {
      for (const std::string_view prefix : {"@ByteArray(", "@String("}) {
        if (text.starts_with(prefix)) {
          return text.substr(prefix.size(), text.size() - prefix.size() - 1);
        }
      }
      for (const std::string_view prefix :
           {"@Variant(", "@DateTime(", "@Rect(", "@Size(", "@Point("}) {
        if (text.starts_with(prefix)) return std::nullopt;
      }
      if (text == "@Invalid()") return std::nullopt;
    }
    if (text.starts_with("@@")) return text.substr(1);
  }
  return text;
}

// QString::toInt in base 10 of the trimmed text: an optional sign and ASCII digits.
std::optional<long> wholeNumber(std::string_view s) {
  s = trimUnicode(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  long value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    if (value > std::numeric_limits<int>::max() / 10) return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > std::numeric_limits<int>::max()) return std::nullopt;
  return negative ? -value : value;
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Calls `onKey(key, lineStart, lineLength)` for each key line of [General] in file order (keys
// before the first section belong to it).
template <typename OnKey>
void walkGeneralSection(std::string_view data, OnKey onKey) {
  bool inGeneral = true;
  std::size_t pos = data.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  std::size_t lineStart = 0;
  std::size_t lineLength = 0;
  std::size_t equalsAt = npos;
  while (readIniLine(data, pos, lineStart, lineLength, equalsAt)) {
    const std::string_view line = data.substr(lineStart, lineLength);
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view section =
          trimAscii(close == npos ? line.substr(1) : line.substr(1, close - 1));
      inGeneral = equalsIgnoringAsciiCase(section, "general");
      continue;
    }
    if (!inGeneral || equalsAt == npos) continue;
    onKey(unescapeKey(trimAscii(line.substr(0, equalsAt - lineStart))), lineStart, lineLength);
  }
}

Values parseGeneralSection(std::string_view data) {
  Values values;
  walkGeneralSection(data, [&](std::string key, std::size_t start, std::size_t length) {
    const std::string_view line = data.substr(start, length);
    values.insert_or_assign(std::move(key), std::string(line.substr(line.find('=') + 1)));
  });
  return values;
}

// A key as QSettings spells it in a file: letters, digits and "-_." as they are, the rest as
// %XX.
std::string escapeKey(std::string_view key) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : key) {
    const auto byte = static_cast<unsigned char>(ch);
    if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
        ch == '-' || ch == '_' || ch == '.') {
      out += ch;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
  }
  return out;
}

}  // namespace

std::string withGeneralValues(std::string_view data,
                              const std::vector<std::pair<std::string, std::string>>& values) {
  struct Edit {
    std::size_t start;
    std::size_t length;
    std::string text;
  };
  std::vector<Edit> edits;
  std::vector<bool> found(values.size(), false);
  walkGeneralSection(data, [&](const std::string& key, std::size_t start, std::size_t length) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (key != values[i].first) continue;
      // Every line of the name: the last one is what a reader takes.
      edits.push_back({start, length, escapeKey(key) + "=" + values[i].second});
      found[i] = true;
    }
  });
  std::string added;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!found[i]) added += escapeKey(values[i].first) + "=" + values[i].second + "\n";
  }
  // New names go where nothing before them can hold them in a quote or an escape: the start of
  // the file, which belongs to [General], or right behind a [General] heading there.
  std::size_t at = data.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  std::string out(data.substr(0, at));
  if (!added.empty()) {
    const std::string_view rest = data.substr(at);
    for (const std::string_view heading : {"[General]\n", "[General]\r\n"}) {
      if (rest.starts_with(heading)) {
        out.append(heading);
        at += heading.size();
        break;
      }
    }
    if (rest.empty()) out += "[General]\n";
    out += added;
  }
  for (const Edit& edit : edits) {
    out.append(data.substr(at, edit.start - at)).append(edit.text);
    at = edit.start + edit.length;
  }
  out.append(data.substr(at));
  return out;
}

IniUserStore::IniUserStore(Files& files, const std::string& path, Writes writes)
    : m_files(files), m_path(path), m_writable(writes == Writes::Allowed) {
  m_values = parseGeneralSection(readSettingsFile());
}

std::string IniUserStore::readSettingsFile() {
  FileStatus st;
  const int result = m_files.status(m_path, st);
  if (result == ENOENT || result == ENOTDIR) return {};
  check(result);
  if (st.isDirectory) throw FileError(EISDIR);
  return readFileBytes(m_files, m_path, st.size + 1);
}

std::string IniUserStore::defaultPath() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home != nullptr && *home != '\0' ? home : "") + "/.config";
  }
  return base + "/HOLVENTARIS/Tavik! v4.x.conf";
}

UserStore::Read IniUserStore::read(const std::string& name, std::uint8_t& out) {
  const auto it = m_values.find(name);
  if (it == m_values.end()) return Read::Missing;
  const std::optional<std::string> text = unescapeValue(it->second);
  const std::optional<std::string> value = text ? variantText(*text) : std::nullopt;
  const std::optional<long> number = value ? wholeNumber(*value) : std::nullopt;
  if (!number || *number < 0 || *number > 255) return Read::WrongType;
  out = static_cast<std::uint8_t>(*number);
  return Read::Value;
}

UserStore::Read IniUserStore::readText(const std::string& name, std::string& out) {
  const auto it = m_values.find(name);
  if (it == m_values.end()) return Read::Missing;
  const std::optional<std::string> text = unescapeValue(it->second);
  std::optional<std::string> value = text ? variantText(*text) : std::nullopt;
  if (!value) return Read::WrongType;
  out = std::move(*value);
  return Read::Value;
}

std::vector<std::string> IniUserStore::names() const {
  std::vector<std::string> out;
  for (const auto& entry : m_values) out.push_back(entry.first);
  return out;
}

bool IniUserStore::write(const std::string& name, std::uint8_t value) {
  return setValue(name, std::to_string(value));
}

bool IniUserStore::sync() {
  if (m_pending.empty()) return true;
  try {
    // The file as it is now, as QSettings merges: values others wrote meanwhile stay.
    const std::string text = withGeneralValues(readSettingsFile(), m_pending);
    writeFileAtomically(m_files, m_path,
                        {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                        text.size() + 1);
  } catch (const Failure&) {
    return false;
  }
  m_pending.clear();
  return true;
}

bool IniUserStore::writeText(const std::string& name, const std::string& text) {
  // Only texts that QSettings writes as they stand (a date, say) need no escaping to match it.
  const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-';
  });
  return plain && setValue(name, text);
}

bool IniUserStore::setValue(const std::string& name, const std::string& raw) {
  if (!m_writable) return false;
  m_values.insert_or_assign(name, raw);
  for (auto& pending : m_pending) {
    if (pending.first == name) {
      pending.second = raw;
      return true;
    }
  }
  m_pending.emplace_back(name, raw);
  return true;
}

}  // namespace tavik
