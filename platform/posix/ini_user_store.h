// The per-user store over the file QSettingsUserStore writes, for code that must not use Qt:
// the terminal listing reads it, and the window program writes it when Qt is ending the process.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/files.h"
#include "store/settings_store.h"

namespace tavik {

// `data` with the [General] values `values` (name, value text) set: each line of a name is
// replaced where it stands, a new name goes to the start of [General]; every other byte stays
// as it was.
std::string withGeneralValues(std::string_view data,
                              const std::vector<std::pair<std::string, std::string>>& values);

class IniUserStore : public UserStore {
 public:
  enum class Writes { Refused, Allowed };

  // Reads the settings file at `path` once. A missing file holds no values; any other failure
  // throws FileError. Unless writes are allowed, the store never changes the file.
  IniUserStore(Files& files, const std::string& path, Writes writes = Writes::Refused);

  // The file QSettings uses for organisation "HOLVENTARIS", application "Tavik! v4.x":
  // ${XDG_CONFIG_HOME:-$HOME/.config}/HOLVENTARIS/Tavik! v4.x.conf.
  static std::string defaultPath();

  // Reads a value of the [General] section the way QSettingsUserStore does: a whole number
  // 0..255 (blanks around it, a sign, leading zeros and quotes allowed) is a Value; a list or
  // anything else is WrongType.
  Read read(const std::string& name, std::uint8_t& out) override;
  // A value of the [General] section as text; a list or another '@' type is WrongType.
  Read readText(const std::string& name, std::string& out) override;
  // The names of [General], in byte order.
  std::vector<std::string> names() const;
  // Refused unless writes are allowed; then kept, and read back, until sync().
  bool write(const std::string& name, std::uint8_t value) override;
  // Puts the values written into the file as it is now, replacing it atomically (the other
  // keys and sections stay as they are); false when it cannot be written.
  // As write(), for a text of letters, digits and '-' only (others are refused).
  bool writeText(const std::string& name, const std::string& text) override;
  bool sync() override;

 private:
  std::string readSettingsFile();
  // Keeps the raw value text for the next sync(); false when writes are not allowed.
  bool setValue(const std::string& name, const std::string& raw);

  Files& m_files;
  std::string m_path;
  bool m_writable;
  std::map<std::string, std::string, std::less<>> m_values;  // key -> raw value text
  std::vector<std::pair<std::string, std::string>> m_pending;
};

}  // namespace tavik
