// Settings and holiday-file algorithms over the store and file interfaces.
#include "store/settings_store.h"

#include <cerrno>
#include <utility>

#include "store/failure.h"

namespace tavik {

namespace {

struct Value {
  const char* name;
  std::uint8_t Settings::*field;
  std::uint8_t fallback;
};

constexpr Value kValues[] = {
    {"anzdays", &Settings::anzdays, 30},  {"autoclose", &Settings::autoclose, 30},
    {"heutebox", &Settings::heutebox, 1}, {"prior", &Settings::prior, 0},
    {"notify", &Settings::notify, 1},     {"inworten", &Settings::inworten, 0},
};

constexpr const char* kLastShown = "lastshown";

[[noreturn]] void cannotWrite(const char* name) {
  throw Failure(std::string("Konnte Daten für '") + name + "' nicht setzen");
}

// A date that cannot be read counts as none: the worst it costs is a missed day not listed.
std::optional<DayNumber> readLastShown(UserStore& store) {
  std::string text;
  if (store.readText(kLastShown, text) != UserStore::Read::Value) return std::nullopt;
  return parseIsoDate(text);
}

void readValues(UserStore& store, Settings& settings, bool writeMissing) {
  for (const Value& v : kValues) {
    std::uint8_t stored = 0;
    UserStore::Read result = store.read(v.name, stored);
    if (result == UserStore::Read::Missing) {
      if (!writeMissing) continue;
      if (!store.write(v.name, v.fallback)) cannotWrite(v.name);
      result = store.read(v.name, stored);
    }
    if (result != UserStore::Read::Value) {
      throw Failure(std::string("Ungültiger Datentyp für '") + v.name + "'");
    }
    settings.*v.field = stored;
  }
  settings.lastshown = readLastShown(store);
}

}  // namespace

void loadSettings(UserStore& store, Settings& settings) {
  readValues(store, settings, true);
  store.sync();
}

void readSettings(UserStore& store, Settings& settings) {
  readValues(store, settings, false);
}

void saveSettings(UserStore& store, const Settings& settings) {
  for (const Value& v : kValues) {
    if (!store.write(v.name, settings.*v.field)) cannotWrite(v.name);
  }
  if (settings.lastshown && !store.writeText(kLastShown, isoDateText(*settings.lastshown))) {
    cannotWrite(kLastShown);
  }
  if (!store.sync()) cannotWrite(kValues[0].name);
}

void saveHolidaySelection(Files& files, const std::string& path,
                          const HolidaySelection& selection) {
  // A file of another size was not (wholly) what the selection came from: keep it before it is
  // replaced. Any failure to look at it stops the save.
  FileStatus st;
  const int statResult = files.status(path, st);
  if (statResult != ENOENT) check(statResult);
  if (statResult == 0 && !st.isDirectory && st.size != kHolidaySelectionSize) {
    const std::string original = readFileBytes(files, path, st.size);
    writeFileAtomically(
        files, path + kHolidayBackupSuffix,
        std::span(reinterpret_cast<const std::uint8_t*>(original.data()), original.size()), 1 << 16,
        Links::Replace);
  }
  writeFileAtomically(files, path, selection.bytes, selection.bytes.size());
}

void loadHolidaySelection(Files& files, const std::string& path, HolidaySelection& selection) {
  FileStatus st;
  const int statResult = files.status(path, st);
  if (statResult == ENOENT) {
    saveHolidaySelection(files, path, selection);
  } else {
    check(statResult);
  }
  const std::string bytes = readFileBytes(files, path, kHolidaySelectionSize);
  if (bytes.size() < kHolidaySelectionSize) throw FileError(kReadPastEnd);
  for (std::size_t i = 0; i < kHolidaySelectionSize; ++i) {
    selection.bytes[i] = static_cast<std::uint8_t>(bytes[i]);
  }
}

CalDavAccount readCalDavAccount(UserStore& store) {
  CalDavAccount account;
  if (store.readText(kCalDavUrlName, account.url) != UserStore::Read::Value) account.url.clear();
  if (store.readText(kCalDavUserName, account.user) != UserStore::Read::Value) {
    account.user.clear();
  }
  return account;
}

void saveCalDavAccount(UserStore& store, const CalDavAccount& account) {
  for (const auto& [name, text] :
       {std::pair{kCalDavUrlName, &account.url}, std::pair{kCalDavUserName, &account.user}}) {
    if (!store.writeText(name, *text)) {
      throw Failure(std::string("Konnte Daten für '") + name + "' nicht setzen");
    }
  }
  if (!store.sync())
    throw Failure(std::string("Konnte Daten für '") + kCalDavUserName + "' nicht setzen");
}

}  // namespace tavik
