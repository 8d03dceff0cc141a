// An in-memory file system for the fuzz targets: no disk traffic, so millions of runs fit. One
// call can be made to fail, as a disk would fail now and then.
#pragma once

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>

#include "store/files.h"

namespace tavik::fuzz {

class MemoryFiles : public Files {
 public:
  std::map<std::string, std::string> files;

  // The `nth` call from now on (counted over all operations) fails with EIO; 0 for none.
  void failCall(std::size_t nth) {
    m_failingCall = nth;
    m_calls = 0;
  }

  int status(const std::string& path, FileStatus& out) override {
    if (failsNow()) return EIO;
    const auto it = files.find(path);
    if (it == files.end()) return ENOENT;
    out = FileStatus{false, it->second.size(), 0644};
    return 0;
  }
  int open(const std::string& path, OpenMode mode, FileHandle& out) override {
    if (failsNow()) return EIO;
    if (mode == OpenMode::Create) files[path].clear();
    if (!files.count(path)) return ENOENT;
    m_open[++m_next] = {path, 0};
    out = m_next;
    return 0;
  }
  int createNew(const std::string& path, std::uint32_t, FileHandle& out) override {
    if (failsNow()) return EIO;
    if (files.count(path)) return EEXIST;
    files[path].clear();
    m_open[++m_next] = {path, 0};
    out = m_next;
    return 0;
  }
  int readLink(const std::string& path, std::string&) override {
    if (failsNow()) return EIO;
    return files.count(path) ? EINVAL : ENOENT;
  }
  int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) override {
    if (failsNow()) return EIO;
    auto& [path, at] = m_open.at(file);
    const std::string& bytes = files[path];
    got = std::min(buffer.size(), bytes.size() - std::min(at, bytes.size()));
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), got, buffer.begin());
    at += got;
    return 0;
  }
  int write(FileHandle file, std::span<const std::uint8_t> data) override {
    if (failsNow()) return EIO;
    auto& [path, at] = m_open.at(file);
    std::string& bytes = files[path];
    bytes.resize(std::max(bytes.size(), at + data.size()));
    std::copy(data.begin(), data.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    at += data.size();
    return 0;
  }
  int sync(FileHandle) override { return failsNow() ? EIO : 0; }
  int close(FileHandle file) override {
    // A failed close releases the handle all the same, as close(2) does.
    const bool failed = failsNow();
    if (m_open.erase(file) != 1) return EBADF;
    return failed ? EIO : 0;
  }
  int rename(const std::string& from, const std::string& to) override {
    if (failsNow()) return EIO;
    const auto it = files.find(from);
    if (it == files.end()) return ENOENT;
    files[to] = std::move(it->second);
    files.erase(from);
    return 0;
  }
  int remove(const std::string& path) override {
    if (failsNow()) return EIO;
    return files.erase(path) == 1 ? 0 : ENOENT;
  }
  int setPermissions(const std::string&, std::uint32_t) override { return failsNow() ? EIO : 0; }

  bool allClosed() const { return m_open.empty(); }
  // Whether a temporary file of a write is left over.
  bool anyTemporary() const {
    return std::any_of(files.begin(), files.end(),
                       [](const auto& entry) { return entry.first.ends_with(".tmp"); });
  }

 private:
  bool failsNow() { return m_failingCall != 0 && ++m_calls == m_failingCall; }

  std::size_t m_failingCall = 0;
  std::size_t m_calls = 0;
  std::map<FileHandle, std::pair<std::string, std::size_t>> m_open;
  FileHandle m_next = 2;
};

}  // namespace tavik::fuzz
