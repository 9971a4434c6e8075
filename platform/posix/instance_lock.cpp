// Single-instance lock on POSIX: an exclusive flock on a file kept beside the shared segment's own
// lock files, NAME-of-segment.LOCKNAME.lock in the segment's private folder (segment_place.h).
// So there is one holder per segment, whatever the environment of the processes that meet there,
// as there is one mutex per session on Windows. The kernel drops the lock when the holder dies,
// so a crash never leaves a stale lock; the holder removes the file when it lets go.
#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/posix/segment_place.h"

namespace vp {

struct InstanceLockObject {
  int fd;
  std::string path;
};

namespace {

std::string LockPath(const char* name) {
  std::string segment = SegmentName();
  std::string why;
  std::string folder = segment.empty() ? "" : SegmentFolder(&why);
  if (folder.empty()) return "";
  return folder + segment + "." + name + ".lock";
}

// Whether `fd` is the file that `path` names now: a holder removes its file before it lets go,
// so a lock taken on a file that was removed meanwhile holds nothing.
bool StillNamed(int fd, const std::string& path) {
  struct stat held;
  struct stat named;
  return fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
         held.st_ino == named.st_ino;
}

}  // namespace

InstanceLock AcquireInstanceLock(const char* name, bool* heldByOther) {
  *heldByOther = false;
  std::string path = LockPath(name);
  if (path.empty()) return nullptr;
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    int rc;
    while ((rc = flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) {
      *heldByOther = errno == EWOULDBLOCK;
      close(fd);
      return nullptr;
    }
    if (StillNamed(fd, path)) return new InstanceLockObject{fd, path};
    close(fd);
  }
  return nullptr;
}

void ReleaseInstanceLock(InstanceLock lock) {
  if (!lock) return;
  unlink(lock->path.c_str());
  close(lock->fd);
  delete lock;
}

bool InstanceLockHeld(const char* name) {
  std::string path = LockPath(name);
  if (path.empty()) return false;
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);
  return held;
}

}  // namespace vp
