// The terminal listing and the window hand-over; no Qt, so that a listing starts in a moment.
#include "cli/terminal_listing.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>

#include "platform/posix/ini_user_store.h"
#include "platform/posix/posix_files.h"
#include "store/data_file.h"
#include "store/event_text.h"
#include "store/failure.h"
#include "store/run_files.h"

#ifndef TAVIK_VERSION
#error "TAVIK_VERSION must be defined by the build"
#endif

namespace tavik {

namespace {

constexpr const char* kWindowProgram = "tavik-window";

void put(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

FrontCommand parseFrontArguments(int argc, const char* const* argv) {
  if (argc <= 1) return {};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg != "--list" && arg != "--notify" && arg != "--sync" && arg != "--help" &&
        arg != "--version") {
      return {FrontAction::Invalid, "Unbekannte Option '" + std::string(arg) + "'"};
    }
  }
  if (argc > 2) return {FrontAction::Invalid, "Es ist nur eine Option erlaubt"};
  const std::string_view arg = argv[1];
  if (arg == "--list") return {FrontAction::List, {}};
  if (arg == "--notify") return {FrontAction::Notify, {}};
  if (arg == "--sync") return {FrontAction::Sync, {}};
  if (arg == "--help") return {FrontAction::Help, {}};
  return {FrontAction::Version, {}};
}

std::string helpText() {
  return "Aufruf: tavik [OPTION]\n"
         "Erinnert an jährlich wiederkehrende Ereignisse wie Geburtstage und Jahrestage.\n"
         "Ohne Option öffnet sich das Programmfenster.\n"
         "\n"
         "  --list      die anstehenden Ereignisse ausgeben, eines je Zeile\n"
         "  --notify    die heutigen Ereignisse als Benachrichtigung melden, ohne Fenster;\n"
         "              was heute schon gemeldet wurde, wird nicht wiederholt\n"
         "  --sync      die Ereignisse mit dem eingerichteten CalDAV-Kalender abgleichen,\n"
         "              ohne Fenster; das Passwort steht in der ersten Zeile der Datei, die\n"
         "              TAVIK_PASSWORD_FILE nennt, sonst im Schlüsselbund des Desktops\n"
         "  --help      diese Hilfe ausgeben\n"
         "  --version   die Versionsnummer ausgeben\n"
         "\n"
         "Tavik! liest seine Ereignisse (tavik!4.dat) und die gewählten Feiertage (tavik!4.ini)\n"
         "aus dem Verzeichnis, in dem es gestartet wird. Liegt dort keine tavik!4.dat, liest\n"
         "--list das Datenverzeichnis von tavik-start, ${XDG_DATA_HOME:-~/.local/share}/tavik,\n"
         "und nennt es auf der Standardfehlerausgabe. --list und --notify ändern dort nichts.\n"
         "--sync gleicht das Startverzeichnis ab, gibt eine Zeile mit dem Ergebnis aus und\n"
         "endet mit 0, bei einem Fehler mit dessen Grund und 1; nicht, solange das\n"
         "Programmfenster im selben Verzeichnis geöffnet ist.\n";
}

std::string versionText() {
  return std::string("Tavik! ") + TAVIK_VERSION + "\n";
}

ViewResult listCountdown(Files& files, UserStore& store, const std::string& startDirectory,
                         DayNumber today) {
  RunFiles run(startDirectory);
  run.readOnly(files, store);
  return computeView(run.table(), run.settings(), run.holidays(), today, true);
}

std::vector<std::string> alignedLines(const std::vector<std::string>& lines,
                                      const std::vector<LineColumns>& columns) {
  if (columns.size() != lines.size()) return lines;
  std::size_t dayWidth = 0;
  std::size_t dateWidth = 0;
  for (const LineColumns& c : columns) {
    dayWidth = std::max(dayWidth, c.dayLength);
    dateWidth = std::max(dateWidth, c.dateLength);
  }
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view whole = lines[i];
    const LineColumns& c = columns[i];
    const std::string_view text = whole.substr(c.textAt);
    std::string line;
    line.reserve(dayWidth + dateWidth + 4 + text.size());
    line.append(whole.substr(0, c.dayLength)).append(dayWidth - c.dayLength + 2, ' ');
    line.append(whole.substr(c.dateAt, c.dateLength)).append(dateWidth - c.dateLength + 2, ' ');
    line.append(text);
    out.push_back(std::move(line));
  }
  return out;
}

std::string terminalText(const std::vector<std::string>& lines) {
  std::size_t total = 0;
  for (const std::string& line : lines) total += line.size() + 1;
  std::string out;
  out.reserve(total + total / 4);
  for (const std::string& line : lines) {
    out += printableText(line);
    out += '\n';
  }
  return out;
}

std::optional<std::string> userDataDirectory(const char* xdgDataHome, const char* home) {
  // As tavik-start chooses it, so that --list finds what the window keeps there.
  if (xdgDataHome != nullptr && *xdgDataHome != '\0') return std::string(xdgDataHome) + "/tavik";
  if (home != nullptr && *home != '\0') return std::string(home) + "/.local/share/tavik";
  return std::nullopt;
}

std::string listingDirectory(Files& files, const std::string& current,
                             const std::optional<std::string>& userDirectory) {
  FileStatus status;
  // Anything in the data file's place here, even what cannot be read, is this directory's.
  if (!userDirectory || files.status(current + "/" + kDataFileName, status) != ENOENT) {
    return current;
  }
  return files.status(*userDirectory + "/" + kDataFileName, status) == 0 ? *userDirectory : current;
}

std::optional<DayNumber> localToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) return std::nullopt;
  return makeDayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

int runListing(std::FILE* out, std::FILE* err) {
  const std::optional<DayNumber> today = localToday();
  if (!today) {
    put(err, "Das heutige Datum liegt nicht in den Jahren 1 bis 9999.\n");
    return 1;
  }
  std::string text;
  try {
    PosixFiles files;
    IniUserStore store(files, IniUserStore::defaultPath());
    const std::string directory = listingDirectory(
        files, ".", userDataDirectory(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
    // On standard error, so that scripts reading the lines get nothing else.
    if (directory != ".") put(err, "Ereignisse aus " + directory + "\n");
    const ViewResult view = listCountdown(files, store, directory, *today);
    // Scripts read the lines as the window shows them; a person reads them in columns.
    text = terminalText(::isatty(::fileno(out)) == 1 ? alignedLines(view.lines, view.columns)
                                                     : view.lines);
  } catch (const Failure& e) {
    put(err, e.userMessage() + "\n");
    return 1;
  }
  put(out, text);
  if (std::fflush(out) != 0 || std::ferror(out)) {
    put(err, fileErrorText(errno) + ".\n");
    return 1;
  }
  return 0;
}

int startWindow(char* const* argv, std::FILE* err) {
  // Our own directory; never the current one, which holds the user's data.
  char self[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string program;
  if (length > 0) {
    program.assign(self, static_cast<std::size_t>(length));
  } else if (argv[0] != nullptr) {
    program = argv[0];
  }
  int failure = ENOENT;
  if (const std::size_t slash = program.rfind('/'); slash != std::string::npos) {
    const std::string directory = program.substr(0, slash);
    for (const std::string& path :
         {directory + "/" + kWindowProgram, directory + "/../libexec/tavik/" + kWindowProgram}) {
      ::execv(path.c_str(), argv);
      failure = errno;
      if (failure != ENOENT) break;
    }
  }
  if (failure == ENOENT) {
    put(err,
        std::string("tavik: Das Programmfenster (") + kWindowProgram + ") wurde nicht gefunden.\n");
  } else {
    put(err, "tavik: Das Programmfenster konnte nicht gestartet werden: " + fileErrorText(failure) +
                 ".\n");
  }
  return 1;
}

}  // namespace tavik
