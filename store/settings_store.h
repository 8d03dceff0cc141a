// The four settings in the per-user store and the 51-byte holiday file tavik!4.ini.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/files.h"
#include "store/typs.h"

namespace tavik {

inline constexpr const char* kHolidayFileName = "tavik!4.ini";

// The per-user key-value store holding one-byte values; platform/ implements it with QSettings.
class UserStore {
 public:
  enum class Read { Missing, Value, WrongType };
  virtual ~UserStore() = default;
  // Reads `name`: Missing, a Value 0..255 in `out`, or WrongType for anything else stored.
  virtual Read read(const std::string& name, std::uint8_t& out) = 0;
  // Writes `name`; false when the store cannot take it.
  virtual bool write(const std::string& name, std::uint8_t value) = 0;
  // Makes written values durable; false on failure.
  virtual bool sync() = 0;
};

// Reads anzdays, autoclose, heutebox and prior in this order, writing a missing value with its
// default first. Throws Failure "Ungültiger Datentyp für 'NAME'" at the first value of the wrong
// type (the values read before it stay in `settings`), or "Konnte Daten für 'NAME' nicht setzen".
void loadSettings(UserStore& store, Settings& settings);

// Writes the four values in the same order; throws Failure "Konnte Daten für 'NAME' nicht setzen".
void saveSettings(UserStore& store, const Settings& settings);

// Writes the 51 bytes atomically. Throws FileError.
void saveHolidaySelection(Files& files, const std::string& path, const HolidaySelection& selection);

// Creates a missing file from `selection` first, then reads the 51 bytes into it. A file shorter
// than 51 bytes fails with "Versuch hinter dem Dateiende zu lesen" and leaves `selection` as it
// was. Throws FileError.
void loadHolidaySelection(Files& files, const std::string& path, HolidaySelection& selection);

}  // namespace tavik
