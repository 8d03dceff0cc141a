// One run per start directory: a lock on a file there, held until the process ends.
#pragma once

#include <string>

namespace tavik {

inline constexpr const char* kLockFileName = "tavik!4.lock";

class InstanceLock {
 public:
  enum class Result { Locked, HeldByOther, Unavailable, Failed };

  InstanceLock() = default;
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Creates the lock file `path` when missing (readable and writable for everyone the umask
  // allows, so that other users sharing the directory can take it too) and locks it without
  // waiting; a lock file that may only be read is locked as well. HeldByOther when another run
  // holds it. Unavailable when no file can be had in a directory this user may not write: such a
  // run cannot save anything there either. Failed, with errorNumber(), when the lock cannot be
  // taken for any other reason: the run must not go on. A lock left by a crashed run is free
  // again, since the system drops a lock with its process.
  Result acquire(const std::string& path);
  // The error of the last acquire() that returned Failed.
  int errorNumber() const { return m_error; }
  // Lets the next run in: as when the lock is destroyed. Makes only system calls.
  void release();

 private:
  int m_fd = -1;
  int m_error = 0;
};

}  // namespace tavik
