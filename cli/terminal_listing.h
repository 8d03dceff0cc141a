// The front program's work without a window: the countdown lines of the start directory on a
// terminal, help and version texts, and the hand-over to the window program.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "dates/countdown.h"
#include "store/day_number.h"
#include "store/files.h"
#include "store/settings_store.h"

namespace tavik {

// What the command line asks for.
enum class FrontAction { Window, List, Notify, Sync, Help, Version, Invalid };

struct FrontCommand {
  FrontAction action = FrontAction::Window;
  std::string error;  // for Invalid: the German message, without the program name
};

// No argument starts the window; exactly one of --list, --notify, --sync, --help, --version
// is handled here (--notify and --sync by the window program, without a window: it alone
// speaks D-Bus and HTTP).
FrontCommand parseFrontArguments(int argc, const char* const* argv);

std::string helpText();
std::string versionText();

// Reads the settings (a missing one counts as its default; lastshown widens the window for
// missed days), the data file and the holiday file of `startDirectory` (a missing file counts
// as empty) without creating or writing anything, and rebuilds the view once as the first
// rebuild: the sorted countdown lines (UTF-8) and their columns. Throws Failure: a file
// error, or "Ungültiger Datentyp für 'NAME'" for a setting of the wrong type.
ViewResult listCountdown(Files& files, UserStore& settings, const std::string& startDirectory,
                         DayNumber today);

// The lines in columns for a monospace font: the day text, the date and the text, each column
// as wide as its widest entry and two blanks apart; the text kept byte for byte. Lines without
// columns (the empty-window line) stay as they are. Day texts and dates are ASCII, so their
// bytes are their widths.
std::vector<std::string> alignedLines(const std::vector<std::string>& lines,
                                      const std::vector<LineColumns>& columns);

// The lines as UTF-8 text, one per line; control characters, which would break the lines or
// steer the terminal, show as U+FFFD.
std::string terminalText(const std::vector<std::string>& lines);

// The per-user data directory tavik-start runs in: `xdgDataHome`/tavik, or
// `home`/.local/share/tavik when XDG_DATA_HOME is unset or empty; nullopt when neither is set.
std::optional<std::string> userDataDirectory(const char* xdgDataHome, const char* home);

// The directory --list reads: `current`, unless no data file is there and `userDirectory`
// holds one.
std::string listingDirectory(Files& files, const std::string& current,
                             const std::optional<std::string>& userDirectory);

// Today's local date; nullopt outside the years 1..9999.
std::optional<DayNumber> localToday();

// Runs --list in listingDirectory: the lines on `out` (aligned when `out` is a terminal,
// otherwise as the window shows them), a failure with its full stop on `err`, and on `err` too
// which directory is listed when it is not the current one. Returns the exit code (0, or 1
// after a failure).
int runListing(std::FILE* out, std::FILE* err);

// Replaces this process with the window program, found beside this executable or in
// ../libexec/tavik/ relative to it, passing `argv` on. Returns 1 after printing a German
// message on `err` when that fails.
int startWindow(char* const* argv, std::FILE* err);

}  // namespace tavik
