// The per-user store over QSettings (organisation "HOLVENTARIS", application "Tavik! v4.x").
#pragma once

#include <QSettings>

#include "store/settings_store.h"

namespace tavik {

class QSettingsUserStore : public UserStore {
 public:
  QSettingsUserStore();
  Read read(const std::string& name, std::uint8_t& out) override;
  bool write(const std::string& name, std::uint8_t value) override;
  Read readText(const std::string& name, std::string& out) override;
  bool writeText(const std::string& name, const std::string& text) override;
  bool sync() override;
  // The file the values live in, as a local path.
  std::string filePath() const;

 private:
  QSettings m_settings;
};

}  // namespace tavik
