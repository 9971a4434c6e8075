// Exclusive-use probe on POSIX: an advisory lock held by another process.
#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vp {

bool FileHeldByOther(const std::string& path) {
  // Only a regular file can be held; opening a FIFO or a device planted in the temporary
  // folder could otherwise block until someone writes to it.
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  bool held = flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  close(fd);  // closing drops the probe's own lock, if it got one
  return held;
}

}  // namespace vp
