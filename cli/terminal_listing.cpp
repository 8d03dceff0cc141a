// The terminal listing and the window hand-over; no Qt, so that a listing starts in a moment.
#include "cli/terminal_listing.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <memory>
#include <string_view>
#include <utility>

#include "dates/countdown.h"
#include "platform/posix/ini_user_store.h"
#include "platform/posix/posix_files.h"
#include "store/cp1252.h"
#include "store/data_file.h"
#include "store/event_table.h"
#include "store/failure.h"

#ifndef TAVIK_VERSION
#error "TAVIK_VERSION must be defined by the build"
#endif

namespace tavik {

namespace {

constexpr const char* kWindowProgram = "tavik-window";

// Reads at most `limit` bytes of an existing file in one go; throws FileError.
std::vector<std::uint8_t> readUpTo(Files& files, const std::string& path, std::size_t size,
                                   std::size_t limit) {
  std::vector<std::uint8_t> bytes(std::min(size, limit));
  FileHandle in = -1;
  check(files.open(path, OpenMode::Read, in));
  std::size_t got = 0;
  const int failure = files.read(in, bytes, got);
  const int closed = files.close(in);
  check(failure != 0 ? failure : closed);
  bytes.resize(got);
  return bytes;
}

// Like start-up reads them, but read-only: a missing file is an empty one.
void readEvents(Files& files, const std::string& path, EventTable& table) {
  FileStatus st;
  const int result = files.status(path, st);
  if (result == ENOENT) return;
  check(result);
  if (st.isDirectory) throw FileError(EISDIR);
  FileHandle in = -1;
  check(files.open(path, OpenMode::Read, in));
  bool atEnd = false;
  const int failure = readRecords(files, in, table, atEnd);
  const int closed = files.close(in);
  check(failure != 0 ? failure : closed);
}

void readHolidays(Files& files, const std::string& path, HolidaySelection& selection) {
  FileStatus st;
  const int result = files.status(path, st);
  if (result == ENOENT) return;
  check(result);
  if (st.isDirectory) throw FileError(EISDIR);
  const std::vector<std::uint8_t> bytes =
      readUpTo(files, path, kHolidaySelectionSize, kHolidaySelectionSize);
  if (bytes.size() < kHolidaySelectionSize) throw FileError(kReadPastEnd);
  std::copy(bytes.begin(), bytes.end(), selection.bytes.begin());
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// A countdown line cut into its three columns.
struct Columns {
  std::string_view day;
  std::string_view date;
  std::string_view text;
};

// The date and the text from `at` on when a date starts there: "DD.MM." and 11 blanks, or
// "DD.MM." with a year and 3 blanks.
std::optional<Columns> dateAt(std::string_view line, std::size_t at) {
  const std::string_view rest = line.substr(at);
  if (rest.size() < 6 || !isDigit(rest[0]) || !isDigit(rest[1]) || rest[2] != '.' ||
      !isDigit(rest[3]) || !isDigit(rest[4]) || rest[5] != '.') {
    return std::nullopt;
  }
  std::size_t end = 6;
  while (end < rest.size() && isDigit(rest[end])) ++end;
  const std::string_view gap = end == 6 ? "           " : "   ";
  if (rest.substr(end, gap.size()) != gap) return std::nullopt;
  return Columns{{}, rest.substr(0, end), rest.substr(end + gap.size())};
}

std::optional<Columns> splitLine(std::string_view line) {
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (at > 0 && line[at - 1] != ' ') continue;
    std::optional<Columns> columns = dateAt(line, at);
    if (!columns) continue;
    std::string_view day = line.substr(0, at);
    while (!day.empty() && day.back() == ' ') day.remove_suffix(1);
    columns->day = day;
    return columns;
  }
  return std::nullopt;
}

void put(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

FrontCommand parseFrontArguments(int argc, const char* const* argv) {
  if (argc <= 1) return {};
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg != "--list" && arg != "--help" && arg != "--version") {
      return {FrontAction::Invalid, "Unbekannte Option '" + std::string(arg) + "'"};
    }
  }
  if (argc > 2) return {FrontAction::Invalid, "Es ist nur eine Option erlaubt"};
  const std::string_view arg = argv[1];
  if (arg == "--list") return {FrontAction::List, {}};
  if (arg == "--help") return {FrontAction::Help, {}};
  return {FrontAction::Version, {}};
}

std::string helpText() {
  return "Aufruf: tavik [OPTION]\n"
         "Erinnert an jährlich wiederkehrende Ereignisse wie Geburtstage und Jahrestage.\n"
         "Ohne Option öffnet sich das Programmfenster.\n"
         "\n"
         "  --list      die anstehenden Ereignisse ausgeben, eines je Zeile\n"
         "  --help      diese Hilfe ausgeben\n"
         "  --version   die Versionsnummer ausgeben\n"
         "\n"
         "Tavik! liest seine Ereignisse (tavik!4.dat) und die gewählten Feiertage (tavik!4.ini)\n"
         "aus dem Verzeichnis, in dem es gestartet wird. --list ändert dort nichts.\n";
}

std::string versionText() {
  return std::string("Tavik! ") + TAVIK_VERSION + "\n";
}

std::vector<std::string> listCountdown(Files& files, UserStore& store,
                                       const std::string& startDirectory, DayNumber today) {
  Settings settings;
  readSettings(store, settings);
  auto table = std::make_unique<EventTable>();
  readEvents(files, startDirectory + "/" + kDataFileName, *table);
  HolidaySelection holidays;
  readHolidays(files, startDirectory + "/" + kHolidayFileName, holidays);
  return computeView(*table, settings, holidays, today, true).lines;
}

std::vector<std::string> alignedLines(const std::vector<std::string>& lines) {
  std::vector<std::optional<Columns>> split;
  split.reserve(lines.size());
  std::size_t dayWidth = 0;
  std::size_t dateWidth = 0;
  for (const std::string& line : lines) {
    split.push_back(splitLine(line));
    if (split.back()) {
      dayWidth = std::max(dayWidth, split.back()->day.size());
      dateWidth = std::max(dateWidth, split.back()->date.size());
    }
  }
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!split[i]) {
      out.push_back(lines[i]);
      continue;
    }
    const Columns& c = *split[i];
    std::string line;
    line.reserve(dayWidth + dateWidth + 4 + c.text.size());
    line.append(c.day).append(dayWidth - c.day.size() + 2, ' ');
    line.append(c.date).append(dateWidth - c.date.size() + 2, ' ');
    line.append(c.text);
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
    out += cp1252ToPrintableUtf8(line);
    out += '\n';
  }
  return out;
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
    std::vector<std::string> lines = listCountdown(files, store, ".", *today);
    // Scripts read the lines as the window shows them; a person reads them in columns.
    if (::isatty(::fileno(out)) == 1) lines = alignedLines(lines);
    text = terminalText(lines);
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
