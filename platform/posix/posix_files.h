// The Files interface over POSIX calls.
#pragma once

#include "store/files.h"

namespace tavik {

class PosixFiles : public Files {
 public:
  int status(const std::string& path, FileStatus& out) override;
  int open(const std::string& path, OpenMode mode, FileHandle& out) override;
  int createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) override;
  int readLink(const std::string& path, std::string& target) override;
  int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) override;
  int write(FileHandle file, std::span<const std::uint8_t> data) override;
  int sync(FileHandle file) override;
  int close(FileHandle file) override;
  int rename(const std::string& from, const std::string& to) override;
  int remove(const std::string& path) override;
  int setPermissions(const std::string& path, std::uint32_t permissions) override;
};

}  // namespace tavik
