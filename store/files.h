// The small file-system interface the core reads and writes through; platform/ implements it
// with POSIX calls, tests with fakes that fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tavik {

using FileHandle = int;

enum class OpenMode {
  Read,        // existing file, read only; a FIFO, device or socket fails with ENXIO
  ReadWrite,   // existing file, read and write, not truncated
  Create,      // create or truncate, write only
};

struct FileStatus {
  bool isDirectory = false;
  std::uint64_t size = 0;
  std::uint32_t permissions = 0644;  // the permission bits
  // A FIFO, device or socket: reading it may block or never end.
  bool isSpecial = false;
};

// Every call returns 0 on success or an error number (errno).
class Files {
 public:
  virtual ~Files() = default;
  virtual int status(const std::string& path, FileStatus& out) = 0;  // ENOENT when missing
  virtual int open(const std::string& path, OpenMode mode, FileHandle& out) = 0;
  // Reads up to buffer.size() bytes; `got` < size only at the end of the file.
  virtual int read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) = 0;
  // Writes all of `data` or fails.
  virtual int write(FileHandle file, std::span<const std::uint8_t> data) = 0;
  virtual int sync(FileHandle file) = 0;
  virtual int close(FileHandle file) = 0;
  virtual int rename(const std::string& from, const std::string& to) = 0;
  virtual int remove(const std::string& path) = 0;
  virtual int setPermissions(const std::string& path, std::uint32_t permissions) = 0;
};

// Throws FileError for a non-zero result.
void check(int errorNumber);

// Writes `bytes` to `path` so that the old file stays whole until the new one is complete:
// a temporary file beside it is written, synced and renamed over it, keeping the old file's
// permissions. A file that may not be written fails with EACCES and stays as it was.
// Throws FileError; the temporary file is removed on failure.
void writeFileAtomically(Files& files, const std::string& path,
                         std::span<const std::uint8_t> bytes, std::size_t chunkSize);

// Reads at most `limit` bytes of a file; throws FileError.
std::string readFileBytes(Files& files, const std::string& path, std::size_t limit);

}  // namespace tavik
