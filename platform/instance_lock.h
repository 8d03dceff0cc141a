// One run per start directory: a lock on a file there, held until the process ends.
#pragma once

#include <string>

namespace tavik {

inline constexpr const char* kLockFileName = "tavik!4.lock";

class InstanceLock {
 public:
  enum class Result { Locked, HeldByOther, Unavailable };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Creates the lock file `path` when missing and locks it without waiting. HeldByOther when
  // another run holds it; Unavailable when the file cannot be opened (a read-only directory),
  // in which case nobody can hold it either. A lock left by a crashed run is free again, since
  // the system drops a lock with its process.
  Result acquire(const std::string& path);
  // Lets the next run in: as when the lock is destroyed. Makes only system calls.
  void release();

 private:
  int m_fd = -1;
};

}  // namespace tavik
