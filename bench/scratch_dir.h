// A temporary directory for the benchmarks that touch files, removed with its contents.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tavik::bench {

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tavik-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string file(std::string_view name) const { return m_path + "/" + std::string(name); }

  void write(std::string_view name, std::string_view bytes) const {
    std::ofstream(file(name), std::ios::binary).write(bytes.data(), std::ssize(bytes));
  }

 private:
  std::string m_path;
};

}  // namespace tavik::bench
