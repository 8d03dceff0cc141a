// The start-directory lock over flock(2).
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace tavik {

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
  // Close-on-exec, so that a program started from the window does not keep the lock.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Result::Unavailable;
  int result = 0;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Result::HeldByOther : Result::Unavailable;
  }
  m_fd = fd;
  return Result::Locked;
}

}  // namespace tavik
