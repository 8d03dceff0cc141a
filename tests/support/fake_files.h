// Real files with failures on demand: the n-th call of a chosen operation fails with an errno.
#pragma once

#include <map>

#include "platform/posix/posix_files.h"

namespace tavik::test {

class FakeFiles : public PosixFiles {
 public:
  enum class Op {
    Status,
    Open,
    Read,
    Write,
    Sync,
    Close,
    Rename,
    Remove,
    SetPermissions,
    ReadLink
  };

  // The `nth` call (1-based, counted from now) of `op` fails with `errorNumber`.
  void failAt(Op op, int nth, int errorNumber);
  int calls(Op op) const;

  int status(const std::string& path, FileStatus& out) override;
  int open(const std::string& path, OpenMode mode, FileHandle& out) override;
  // Counted as Open calls: they open a file as well.
  int createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) override;
  int readLink(const std::string& path, std::string& target) override;
  int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) override;
  int write(FileHandle file, std::span<const std::uint8_t> data) override;
  int sync(FileHandle file) override;
  int close(FileHandle file) override;
  int rename(const std::string& from, const std::string& to) override;
  int remove(const std::string& path) override;
  int setPermissions(const std::string& path, std::uint32_t permissions) override;

 private:
  int injected(Op op);
  std::map<Op, int> m_calls;
  std::map<Op, std::pair<int, int>> m_failures;  // op -> (call number, errno)
};

}  // namespace tavik::test
