// What the day's notification of a start directory has said, kept between runs so that a
// later start or the daily reminder says nothing twice on one day.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/day_number.h"
#include "store/files.h"

namespace tavik {

// The first 16 hex digits (64-bit FNV-1a) naming a start directory in per-user files: stable
// across runs and versions, since file and unit names are made from it.
std::string directoryKey(std::string_view canonicalDirectory);

// The directory as the system resolves it (symbolic links, "." and ".." gone); the name as
// given when it cannot be resolved.
std::string canonicalDirectory(const std::string& directory);

// The per-user state folder: `xdgStateHome`/tavik, or `home`/.local/state/tavik when
// XDG_STATE_HOME is unset, empty or not absolute; nullopt when neither is usable.
std::optional<std::string> stateDirectory(const char* xdgStateHome, const char* home);

// ${XDG_STATE_HOME:-~/.local/state}/tavik/<name>-<directoryKey of the canonical directory>;
// nullopt without a usable home.
std::optional<std::string> stateFilePath(const std::string& startDirectory, std::string_view name);

// Creates every missing folder of `path` with mode 0700. Returns 0 or the error number.
int makeFolders(const std::string& path);

// The day and the lines the notifications of that day have said for one start directory.
struct NoticeState {
  std::string directory;  // the canonical start directory, guarding against a key collision
  DayNumber day;
  std::vector<std::string> lines;
  friend bool operator==(const NoticeState&, const NoticeState&) = default;
};

// The state as file bytes: a header line, the directory, the day as YYYY-MM-DD and one line
// each, with backslash, CR and LF escaped so that any text stays one line.
std::string encodeNoticeState(const NoticeState& state);
// The state of file bytes; nullopt for anything encodeNoticeState did not write (spoilt,
// foreign, cut short).
std::optional<NoticeState> decodeNoticeState(std::string_view bytes);

// The state kept at `path` for `directory`; nullopt when there is none, it cannot be read, it
// is spoilt or it belongs to another directory. Never throws.
std::optional<NoticeState> readNoticeState(Files& files, const std::string& path,
                                           const std::string& directory);
// Writes `state` to `path` crash-safely, creating its folders (0700); a symbolic link there is
// replaced, not followed. Throws FileError.
void writeNoticeState(Files& files, const std::string& path, const NoticeState& state);

// What a notification on `today` should say of `lines`: all of them on another day than the
// kept one (or with nothing kept), else only those not said yet today, in their order. A line
// repeated counts once per time it was said.
std::vector<std::string> unsaidLines(const std::optional<NoticeState>& kept, DayNumber today,
                                     const std::vector<std::string>& lines);

// The state after `said` went out on `today`: what was kept of the same day, then `said`.
NoticeState afterSaying(const std::optional<NoticeState>& kept, const std::string& directory,
                        DayNumber today, const std::vector<std::string>& said);

}  // namespace tavik
