// The per-user store in memory, for the core tests.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "store/settings_store.h"

namespace tavik::test {

// A store of one-byte values and texts; names in `wrongType` hold something else, `readOnly`
// refuses writes.
class MemoryStore : public UserStore {
 public:
  std::map<std::string, std::uint8_t> values;
  std::map<std::string, std::string> texts;
  std::set<std::string> wrongType;
  bool readOnly = false;

  Read readText(const std::string& name, std::string& out) override {
    if (wrongType.count(name)) return Read::WrongType;
    const auto it = texts.find(name);
    if (it == texts.end()) return Read::Missing;
    out = it->second;
    return Read::Value;
  }
  bool writeText(const std::string& name, const std::string& text) override {
    if (readOnly) return false;
    texts[name] = text;
    return true;
  }

  Read read(const std::string& name, std::uint8_t& out) override {
    if (wrongType.count(name)) return Read::WrongType;
    const auto it = values.find(name);
    if (it == values.end()) return Read::Missing;
    out = it->second;
    return Read::Value;
  }
  bool write(const std::string& name, std::uint8_t value) override {
    if (readOnly) return false;
    wrongType.erase(name);
    values[name] = value;
    return true;
  }
  bool sync() override { return !readOnly; }
};

}  // namespace tavik::test
