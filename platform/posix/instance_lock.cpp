// The start-directory lock over flock(2).
#include "platform/posix/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace tavik {

namespace {

int openRetrying(const std::string& path, int flags) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool directoryIsWritable(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  return ::access(dir.c_str(), W_OK) == 0;
}

}  // namespace

InstanceLock::~InstanceLock() {
  release();
}

void InstanceLock::release() {
  if (m_fd < 0) return;
  ::close(m_fd);
  m_fd = -1;
}

InstanceLock::Result InstanceLock::acquire(const std::string& path) {
  if (m_fd >= 0) return Result::Locked;
  m_error = 0;
  // Close-on-exec, so that a program started from the window does not keep the lock; never
  // through a link, which could make us create a file elsewhere.
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW;
  int fd = openRetrying(path, O_RDWR | O_CREAT | kFlags);
  if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    // Another user's lock file: flock works on a descriptor open for reading just as well.
    const int refused = errno;
    fd = openRetrying(path, O_RDONLY | kFlags);
    if (fd < 0 && errno == ENOENT) errno = refused;
  }
  if (fd < 0) {
    m_error = errno;
    if (!directoryIsWritable(path)) return Result::Unavailable;
    return Result::Failed;
  }
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    m_error = errno;
    ::close(fd);
    return m_error == EWOULDBLOCK ? Result::HeldByOther : Result::Failed;
  }
  m_fd = fd;
  return Result::Locked;
}

}  // namespace tavik
