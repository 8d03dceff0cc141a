// The settings in the per-user store and the 51-byte holiday file tavik!4.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/files.h"
#include "store/typs.h"

namespace tavik {

inline constexpr const char* kHolidayFileName = "tavik!4.ini";
inline constexpr const char* kHolidayBackupSuffix = ".bak";

// The per-user key-value store holding one-byte values and texts; platform/ implements it with
// QSettings.
class UserStore {
 public:
  enum class Read { Missing, Value, WrongType };
  virtual ~UserStore() = default;
  // Reads `name`: Missing, a Value 0..255 in `out`, or WrongType for anything else stored.
  virtual Read read(const std::string& name, std::uint8_t& out) = 0;
  // Writes `name`; false when the store cannot take it.
  virtual bool write(const std::string& name, std::uint8_t value) = 0;
  // Reads `name` as text: Missing, a Value in `out`, or WrongType for a list or other non-text.
  virtual Read readText(const std::string& name, std::string& out) = 0;
  virtual bool writeText(const std::string& name, const std::string& text) = 0;
  // Makes written values durable; false on failure.
  virtual bool sync() = 0;
};

// The calendar sync's account: the calendar collection's URL and the user name, texts in the
// per-user store. An empty URL (the default) means no sync.
inline constexpr const char* kCalDavUrlName = "caldavurl";
inline constexpr const char* kCalDavUserName = "caldavuser";

struct CalDavAccount {
  std::string url;
  std::string user;
  bool configured() const { return !url.empty(); }
  friend bool operator==(const CalDavAccount&, const CalDavAccount&) = default;
};

// Reads the two texts; a missing one, or one that is not a text, reads as empty.
CalDavAccount readCalDavAccount(UserStore& store);
// Writes both and makes them durable; throws Failure "Konnte Daten für 'NAME' nicht setzen".
void saveCalDavAccount(UserStore& store, const CalDavAccount& account);

// Reads anzdays, autoclose, heutebox, prior, notify and inworten in this order, writing a missing
// value with its default first, then lastshown, which is none when missing or no "YYYY-MM-DD" date
// (it has no default to write). Throws Failure "Ungültiger Datentyp für 'NAME'" at the first
// number of the wrong type (the values read before it stay in `settings`), or "Konnte Daten für
// 'NAME' nicht setzen".
void loadSettings(UserStore& store, Settings& settings);

// As loadSettings, but writes nothing: a missing number keeps the value in `settings`.
void readSettings(UserStore& store, Settings& settings);

// Writes the six numbers in the same order, then lastshown as "YYYY-MM-DD" when it is known;
// throws Failure "Konnte Daten für 'NAME' nicht setzen".
void saveSettings(UserStore& store, const Settings& settings);

// Writes the 51 bytes atomically. A file there of another size (one that could not be read, or
// holds more) is first kept as "<path>.bak". Throws FileError.
void saveHolidaySelection(Files& files, const std::string& path, const HolidaySelection& selection);

// Creates a missing file from `selection` first, then reads the 51 bytes into it. A file shorter
// than 51 bytes fails with "Versuch hinter dem Dateiende zu lesen" and leaves `selection` as it
// was. Throws FileError.
void loadHolidaySelection(Files& files, const std::string& path, HolidaySelection& selection);

}  // namespace tavik
