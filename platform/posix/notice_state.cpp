// The kept state of the day's notification, without Qt.
#include "platform/posix/notice_state.h"

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "store/failure.h"

namespace tavik {

namespace {

constexpr std::string_view kHeader = "tavik-notified 1";
// Far above a day's lines; a larger file is not ours.
constexpr std::size_t kMostStateBytes = 1 << 20;

std::string escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') return std::nullopt;
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::string directoryKey(std::string_view canonicalDirectory) {
  // FNV-1a, 64 bits (Fowler, Noll, Vo): offset basis and prime as published.
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : canonicalDirectory) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ULL;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

std::string canonicalDirectory(const std::string& directory) {
  char* resolved = ::realpath(directory.c_str(), nullptr);
  if (resolved == nullptr) return directory;
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::optional<std::string> stateDirectory(const char* xdgStateHome, const char* home) {
  // XDG base directories must be absolute; anything else counts as not set.
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
    return std::string(xdgStateHome) + "/tavik";
  }
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.local/state/tavik";
  return std::nullopt;
}

std::optional<std::string> stateFilePath(const std::string& startDirectory, std::string_view name) {
  const std::optional<std::string> folder =
      stateDirectory(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"));
  if (!folder) return std::nullopt;
  return *folder + "/" + std::string(name) + "-" + directoryKey(canonicalDirectory(startDirectory));
}

int makeFolders(const std::string& path) {
  std::size_t at = path.starts_with('/') ? 1 : 0;
  while (at <= path.size()) {
    std::size_t slash = path.find('/', at);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(0, slash);
    if (!part.empty() && ::mkdir(part.c_str(), 0700) != 0) {
      const int failure = errno;
      struct stat st {};
      if (failure != EEXIST) return failure;
      if (::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ENOTDIR;
    }
    at = slash + 1;
  }
  return 0;
}

std::string encodeNoticeState(const NoticeState& state) {
  std::string out(kHeader);
  out += '\n';
  out += escaped(state.directory) + '\n';
  out += isoDateText(state.day) + '\n';
  for (const std::string& line : state.lines) out += escaped(line) + '\n';
  return out;
}

std::optional<NoticeState> decodeNoticeState(std::string_view bytes) {
  std::vector<std::string_view> rows;
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    // Every row ends with its line break; a file cut short has lost its last one.
    if (end == std::string_view::npos) return std::nullopt;
    rows.push_back(bytes.substr(0, end));
    bytes.remove_prefix(end + 1);
  }
  if (rows.size() < 3 || rows[0] != kHeader) return std::nullopt;
  NoticeState state;
  const std::optional<std::string> directory = unescaped(rows[1]);
  const std::optional<DayNumber> day = parseIsoDate(rows[2]);
  if (!directory || !day) return std::nullopt;
  state.directory = *directory;
  state.day = *day;
  for (std::size_t i = 3; i < rows.size(); ++i) {
    std::optional<std::string> line = unescaped(rows[i]);
    if (!line) return std::nullopt;
    state.lines.push_back(std::move(*line));
  }
  return state;
}

std::optional<NoticeState> readNoticeState(Files& files, const std::string& path,
                                           const std::string& directory) {
  std::string bytes;
  try {
    bytes = readFileBytes(files, path, kMostStateBytes + 1);
  } catch (const Failure&) {
    return std::nullopt;
  }
  if (bytes.size() > kMostStateBytes) return std::nullopt;
  std::optional<NoticeState> state = decodeNoticeState(bytes);
  if (!state || state->directory != directory) return std::nullopt;
  return state;
}

void writeNoticeState(Files& files, const std::string& path, const NoticeState& state) {
  if (const std::size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0) {
    check(makeFolders(path.substr(0, slash)));
  }
  const std::string bytes = encodeNoticeState(state);
  // A link planted in the state folder is replaced, never followed.
  writeFileAtomically(files, path,
                      std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                      bytes.size(), Links::Replace);
}

std::vector<std::string> unsaidLines(const std::optional<NoticeState>& kept, DayNumber today,
                                     const std::vector<std::string>& lines) {
  if (!kept || kept->day != today) return lines;
  std::map<std::string_view, int> said;
  for (const std::string& line : kept->lines) ++said[line];
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    auto found = said.find(line);
    if (found != said.end() && found->second > 0) {
      --found->second;
    } else {
      out.push_back(line);
    }
  }
  return out;
}

NoticeState afterSaying(const std::optional<NoticeState>& kept, const std::string& directory,
                        DayNumber today, const std::vector<std::string>& said) {
  NoticeState state{directory, today, {}};
  if (kept && kept->day == today && kept->directory == directory) state.lines = kept->lines;
  state.lines.insert(state.lines.end(), said.begin(), said.end());
  return state;
}

}  // namespace tavik
