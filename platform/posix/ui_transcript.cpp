// The transcript's append on POSIX: O_APPEND makes each write land whole at the end, and a
// link planted under the transcript's name is refused rather than followed.
#include <fcntl.h>
#include <unistd.h>

#include "platform/ui_events.h"

namespace vp::uiscript {

bool AppendWhole(const std::string& path, const std::string& bytes) {
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
  return left == 0;
}

}  // namespace vp::uiscript
