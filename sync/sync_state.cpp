// The sync state file: a small line format of our own, read defensively.
#include "sync/sync_state.h"

#include <cstdint>
#include <span>

#include "store/failure.h"
#include "store/hex_digit.h"

namespace tavik {
namespace {

constexpr std::string_view kVersionLine = "tavik-sync-state\t1";

// Percent-encodes '%', blanks, TABs, line ends and other control bytes, so a field never holds
// the separators.
std::string encoded(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7f || b == '%') {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> decoded(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b <= 0x20 || b == 0x7f) return std::nullopt;
    if (b != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return std::nullopt;
    const int high = hexValue(s[i + 1]);
    const int low = hexValue(s[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::vector<std::string_view> fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t from = 0;
  for (std::size_t tab = line.find('\t'); tab != std::string_view::npos;
       tab = line.find('\t', from)) {
    out.push_back(line.substr(from, tab - from));
    from = tab + 1;
  }
  out.push_back(line.substr(from));
  return out;
}

std::string_view statusName(ResourceStatus status) {
  switch (status) {
    case ResourceStatus::Event:
      return "event";
    case ResourceStatus::Ignored:
      return "ignored";
    case ResourceStatus::Skipped:
      return "skipped";
  }
  return "event";
}

std::optional<ResourceStatus> statusOf(std::string_view name) {
  for (const auto s : {ResourceStatus::Event, ResourceStatus::Ignored, ResourceStatus::Skipped}) {
    if (statusName(s) == name) return s;
  }
  return std::nullopt;
}

bool isHash(std::string_view s) {
  if (s.size() != 16) return false;
  for (const char c : s) {
    if (hexValue(c) < 0 || (c >= 'A' && c <= 'F')) return false;
  }
  return true;
}

std::optional<SyncResource> resourceOf(const std::vector<std::string_view>& f) {
  if (f.size() != 7) return std::nullopt;
  SyncResource r;
  const auto href = decoded(f[1]);
  const auto etag = decoded(f[2]);
  const auto status = statusOf(f[3]);
  const auto text = decoded(f[6]);
  if (!href || href->empty() || !etag || !status || !text) return std::nullopt;
  r.href = *href;
  r.etag = *etag;
  r.status = *status;
  if (!f[4].empty()) {
    r.uid = uidFromText(f[4]);
    if (!r.uid) return std::nullopt;
  }
  if (!f[5].empty() && !isHash(f[5])) return std::nullopt;
  r.hash = std::string(f[5]);
  // An event always knows its identity and what was agreed.
  if (r.status == ResourceStatus::Event && (!r.uid || r.hash.empty())) return std::nullopt;
  r.foreignText = *text;
  return r;
}

}  // namespace

std::string syncStateText(const SyncState& state) {
  std::string out;
  out.append(kVersionLine).append("\n");
  out.append("collection\t").append(encoded(state.collection)).append("\n");
  out.append("token\t").append(encoded(state.syncToken)).append("\n");
  for (const SyncResource& r : state.resources) {
    out.append("resource\t").append(encoded(r.href)).append("\t").append(encoded(r.etag));
    out.append("\t").append(statusName(r.status)).append("\t");
    if (r.uid) out.append(uidText(*r.uid));
    out.append("\t").append(r.hash).append("\t").append(encoded(r.foreignText)).append("\n");
  }
  out.append("end\t").append(std::to_string(state.resources.size())).append("\n");
  return out;
}

std::optional<SyncState> parseSyncState(std::string_view text) {
  SyncState state;
  bool haveCollection = false;
  bool haveToken = false;
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    // Every line ends with LF: a file cut off anywhere fails here or at the closing line.
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (lineNumber++ == 0) {
      if (line != kVersionLine) return std::nullopt;
      continue;
    }
    const auto f = fields(line);
    if (f[0] == "collection" && f.size() == 2 && !haveCollection) {
      const auto v = decoded(f[1]);
      if (!v) return std::nullopt;
      state.collection = *v;
      haveCollection = true;
    } else if (f[0] == "token" && f.size() == 2 && !haveToken) {
      const auto v = decoded(f[1]);
      if (!v) return std::nullopt;
      state.syncToken = *v;
      haveToken = true;
    } else if (f[0] == "resource" && haveCollection && haveToken) {
      auto r = resourceOf(f);
      if (!r) return std::nullopt;
      state.resources.push_back(std::move(*r));
    } else if (f[0] == "end" && f.size() == 2 && haveCollection && haveToken) {
      if (f[1] != std::to_string(state.resources.size()) || !text.empty()) return std::nullopt;
      return state;
    } else {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

SyncState loadSyncState(Files& files, const std::string& path) {
  try {
    // One byte past the limit tells a file that is too large from one that just fits.
    const std::string bytes = readFileBytes(files, path, kSyncStateLimit + 1);
    if (bytes.size() > kSyncStateLimit) return {};
    return parseSyncState(bytes).value_or(SyncState{});
  } catch (const FileError&) {
    return {};
  }
}

void saveSyncState(Files& files, const std::string& path, const SyncState& state) {
  const std::string text = syncStateText(state);
  writeFileAtomically(files, path,
                      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                      65536, Links::Replace);
}

}  // namespace tavik
