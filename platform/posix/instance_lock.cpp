// Single-instance lock on POSIX: an exclusive flock on a file in the user's private runtime
// folder ($XDG_RUNTIME_DIR/veilpost, else ~/.cache/veilpost). The kernel drops it when the
// holder dies, so a crash never leaves a stale lock. Locks are per shared segment, so tests
// with segments of their own do not meet each other's control programs.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/posix/home_folder.h"

namespace vp {

struct InstanceLockObject {
  int fd;
};

namespace {

bool PrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() &&
         (st.st_mode & 077) == 0;
}

std::string LockPath(const char* name) {
  std::string folder;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/') {
    folder = std::string(runtime) + "/veilpost";
  } else {
    std::string home = PasswordHomeFolder();
    if (home.empty()) return "";
    std::string cache = home + "/.cache";
    mkdir(cache.c_str(), 0700);
    folder = cache + "/veilpost";
  }
  if (!PrivateFolder(folder)) return "";
  const char* segment = std::getenv("VEILPOST_SEGMENT");
  std::string suffix;
  for (const char* p = segment ? segment : ""; *p; ++p)
    suffix += (*p == '/' || *p == '.') ? '_' : *p;
  if (suffix.size() > 200) return "";
  return folder + "/" + name + suffix + ".lock";
}

int OpenLockFile(const char* name) {
  std::string path = LockPath(name);
  if (path.empty()) return -1;
  return open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

InstanceLock AcquireInstanceLock(const char* name, bool* heldByOther) {
  *heldByOther = false;
  int fd = OpenLockFile(name);
  if (fd < 0) return nullptr;
  int rc;
  while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  if (rc != 0) {
    *heldByOther = errno == EWOULDBLOCK;
    close(fd);
    return nullptr;
  }
  return new InstanceLockObject{fd};
}

void ReleaseInstanceLock(InstanceLock lock) {
  if (!lock) return;
  close(lock->fd);
  delete lock;
}

bool InstanceLockHeld(const char* name) {
  int fd = OpenLockFile(name);
  if (fd < 0) return false;
  bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

}  // namespace vp
