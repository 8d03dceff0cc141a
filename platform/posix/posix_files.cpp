// POSIX file calls; EINTR is retried, short reads and writes are continued.
#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace tavik {

int PosixFiles::status(const std::string& path, FileStatus& out) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  out.isDirectory = S_ISDIR(st.st_mode);
  out.size = static_cast<std::uint64_t>(st.st_size);
  out.permissions = st.st_mode & 07777;
  out.isSpecial = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
  return 0;
}

int PosixFiles::open(const std::string& path, OpenMode mode, FileHandle& out) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::Read:
      // Opening a FIFO without a writer would block for good; the check below refuses it.
      flags |= O_RDONLY | O_NONBLOCK;
      break;
    case OpenMode::ReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::Create:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
  }
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  if (mode == OpenMode::Read) {
    struct stat st {};
    const int failure = ::fstat(fd, &st) != 0                        ? errno
                        : S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) ? 0
                                                                     : ENXIO;
    if (failure != 0) {
      ::close(fd);
      return failure;
    }
  }
  out = fd;
  return 0;
}

int PosixFiles::createNew(const std::string& path, std::uint32_t permissions, FileHandle& out) {
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, static_cast<mode_t>(permissions & 07777));
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  out = fd;
  return 0;
}

int PosixFiles::readLink(const std::string& path, std::string& target) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
  if (n < 0) return errno;
  if (static_cast<std::size_t>(n) == sizeof buffer) return ENAMETOOLONG;
  target.assign(buffer, static_cast<std::size_t>(n));
  return 0;
}

int PosixFiles::read(FileHandle file, std::span<std::uint8_t> buffer, std::size_t& got) {
  got = 0;
  while (got < buffer.size()) {
    const ssize_t n = ::read(file, buffer.data() + got, buffer.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

int PosixFiles::write(FileHandle file, std::span<const std::uint8_t> data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(file, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int PosixFiles::sync(FileHandle file) {
  return ::fsync(file) == 0 ? 0 : errno;
}

int PosixFiles::close(FileHandle file) {
  return ::close(file) == 0 ? 0 : errno;
}

int PosixFiles::rename(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int PosixFiles::remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int PosixFiles::setPermissions(const std::string& path, std::uint32_t permissions) {
  return ::chmod(path.c_str(), static_cast<mode_t>(permissions)) == 0 ? 0 : errno;
}

}  // namespace tavik
