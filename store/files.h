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
  Read,       // existing file, read only; a FIFO, device or socket fails with ENXIO
  ReadWrite,  // existing file, read and write, not truncated
  Create,     // create or truncate, write only
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
  // Creates `path` for writing with `permissions` (less the umask); EEXIST when anything, a
  // symbolic link included, is there already. Nothing that was there is followed or changed.
  virtual int createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) = 0;
  // The target of the symbolic link `path` as stored; EINVAL when `path` is no link.
  virtual int readLink(const std::string& path, std::string& target) = 0;
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

// What writeFileAtomically does with a symbolic link at the path.
enum class Links {
  Follow,   // the link stays and its target is replaced (a missing target is created)
  Replace,  // the link itself is replaced by the file
};

// Writes `bytes` to `path` so that the old file stays whole until the new one is complete:
// a temporary file of a unique name is created beside it (never opening anything that was
// there), written with the old file's permissions, synced and renamed over it. A file that may
// not be written fails with EACCES and stays as it was. Throws FileError; the temporary file is
// removed on failure.
void writeFileAtomically(Files& files, const std::string& path, std::span<const std::uint8_t> bytes,
                         std::size_t chunkSize, Links links = Links::Follow);

// Creates a new file "<beside>.XXXXXX.tmp" with a random XXXXXX, trying other names while one
// exists. Returns 0 or the error number; `temp` is the name created.
int createTemporaryFile(Files& files, const std::string& beside, std::uint32_t permissions,
                        FileHandle& out, std::string& temp);

// The file that writing `path` reaches: symbolic links followed (a relative target is taken
// from the link's directory), up to 40 of them; ELOOP beyond. A dangling link leads to its
// missing target. Returns 0 or the error number.
int resolveLinks(Files& files, const std::string& path, std::string& out);

// Reads at most `limit` bytes of a file; throws FileError.
std::string readFileBytes(Files& files, const std::string& path, std::size_t limit);

}  // namespace tavik
