// The start-directory lock between runs of different users sharing a directory. Root ignores
// file permissions, so as root the second run is a child process that became "nobody".
#include "platform/posix/instance_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/temp_dir.h"

namespace tavik {
namespace {

using Result = InstanceLock::Result;

struct Outcome {
  Result result;
  int errorNumber;
};

// acquire() as another, unprivileged user (this one when not root).
Outcome acquireAsOtherUser(const std::string& path) {
  int pipe[2];
  if (::pipe(pipe) != 0) return {Result::Failed, -1};
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    InstanceLock lock;
    const Outcome out{lock.acquire(path), lock.errorNumber()};
    const bool written = ::write(pipe[1], &out, sizeof out) == sizeof out;
    ::_exit(written ? 0 : 1);
  }
  ::close(pipe[1]);
  Outcome out{Result::Failed, -1};
  const bool read = ::read(pipe[0], &out, sizeof out) == sizeof out;
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return {Result::Failed, -2};
  return out;
}

TEST(InstanceLock, AnotherUsersRunIsLockedOutOrStopped) {
  struct Case {
    const char* name;
    mode_t directoryMode;
    int lockFileMode;  // -1: no lock file, -2: a link to a missing file
    bool heldByFirst;
    Result want;
    int wantError;
  } const cases[] = {
      {"lock file of the first user, held", 0777, 0444, true, Result::HeldByOther, EWOULDBLOCK},
      {"lock file of the first user, free", 0777, 0444, false, Result::Locked, 0},
      {"lock file nobody else may open", 0777, 0000, false, Result::Failed, EACCES},
      {"link planted as lock file", 0777, -2, false, Result::Failed, ELOOP},
      {"read-only directory, held", 0755, 0444, true, Result::HeldByOther, EWOULDBLOCK},
      {"read-only directory, no lock file", 0755, -1, false, Result::Unavailable, EACCES},
      {"read-only directory, lock file closed", 0755, 0000, false, Result::Unavailable, EACCES},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir("tavik-lock");
    const std::string path = dir.file(kLockFileName);
    InstanceLock first;
    if (c.lockFileMode == -2) {
      ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), path.c_str()), 0);
    } else if (c.lockFileMode >= 0) {
      ASSERT_EQ(first.acquire(path), Result::Locked);
      ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(c.lockFileMode)), 0);
      if (!c.heldByFirst) first.release();
    }
    ASSERT_EQ(::chmod(dir.path().c_str(), c.directoryMode), 0);
    const Outcome got = acquireAsOtherUser(path);
    EXPECT_EQ(got.result, c.want);
    if (got.result != Result::Locked) {
      EXPECT_EQ(got.errorNumber, c.wantError);
    }
    EXPECT_FALSE(test::fileExists(dir.file("elsewhere")));
  }
}

// A new lock file can be opened by every user the umask lets in.
TEST(InstanceLock, NewLockFileIsOpenToOtherUsers) {
  test::TempDir dir("tavik-lock");
  const std::string path = dir.file(kLockFileName);
  const mode_t saved = ::umask(0);
  InstanceLock lock;
  const Result result = lock.acquire(path);
  ::umask(saved);
  ASSERT_EQ(result, Result::Locked);
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u);
}

}  // namespace
}  // namespace tavik
