// A read-only per-user store over the file QSettingsUserStore writes, for programs without Qt.
#pragma once

#include <map>
#include <string>

#include "store/files.h"
#include "store/settings_store.h"

namespace tavik {

class IniUserStore : public UserStore {
 public:
  // Reads the settings file at `path` once. A missing file holds no values; any other failure
  // throws FileError.
  IniUserStore(Files& files, const std::string& path);

  // The file QSettings uses for organisation "HOLVENTARIS", application "Tavik! v4.x":
  // ${XDG_CONFIG_HOME:-$HOME/.config}/HOLVENTARIS/Tavik! v4.x.conf.
  static std::string defaultPath();

  // Reads a value of the [General] section the way QSettingsUserStore does: a whole number
  // 0..255 (blanks around it, a sign, leading zeros and quotes allowed) is a Value; a list or
  // anything else is WrongType.
  Read read(const std::string& name, std::uint8_t& out) override;
  // A value of the [General] section as text; a list or another '@' type is WrongType.
  Read readText(const std::string& name, std::string& out) override;
  // The store is read-only: every write is refused.
  bool write(const std::string& name, std::uint8_t value) override;
  bool writeText(const std::string&, const std::string&) override { return false; }
  bool sync() override { return true; }

 private:
  std::map<std::string, std::string, std::less<>> m_values;  // key -> raw value text
};

}  // namespace tavik
