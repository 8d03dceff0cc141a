// A temporary directory removed with everything in it when the object goes.
#pragma once

#include <string>
#include <string_view>

namespace tavik::test {

class TempDir {
 public:
  explicit TempDir(std::string_view prefix = "tavik-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return m_path; }
  std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }

 private:
  std::string m_path;
};

// Whole-file helpers for expected values.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, std::string_view bytes);
bool fileExists(const std::string& path);

}  // namespace tavik::test
