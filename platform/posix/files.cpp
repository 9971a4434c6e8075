// Files port on POSIX: temporary paths, exclusive files and the mapped wipe.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/faults.h"

namespace vp {

const char kPathSeparator = '/';

namespace {

// The size of the buffer the system's temporary path is fetched into.
constexpr size_t kTempPathCapacity = 256;

bool IsDirectory(const char* path) {
  struct stat st;
  return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// strerror_r comes in a GNU (char*) and a POSIX (int) flavour; accept either.
[[maybe_unused]] const char* ErrorText(int result, const char* buf) {
  return result == 0 ? buf : "";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char*) {
  return result;
}

}  // namespace

std::string SystemTempPath() {
  const char* env = std::getenv("TMPDIR");
  std::string path = (env && *env) ? env : "/tmp";
  if (path.size() > kTempPathCapacity - 1) path.resize(kTempPathCapacity - 1);
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::string TempFileDirectory() {
  const char* tmp = std::getenv("TMP");
  if (IsDirectory(tmp)) return tmp;
  return SystemTempPath();
}

std::string CreateUniqueFile(const std::string& dir, const char* prefix) {
  static std::atomic<unsigned> counter{0};
  std::string base = dir + kPathSeparator + (prefix ? prefix : "");
  // Start somewhere different in each process so that siblings rarely collide.
  unsigned start = (static_cast<unsigned>(getpid()) * 7919u + static_cast<unsigned>(time(nullptr)) +
                    counter.fetch_add(1)) &
                   0xFFFFu;
  for (unsigned i = 0; i < 0x10000u; ++i) {
    std::string path = base + std::to_string(((start + i) & 0xFFFFu) + 1);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return path;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

bool PathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

MakeDirResult MakeDirectory(const std::string& path) {
  // Owner-only: the folder receives decrypted attachments.
  if (mkdir(path.c_str(), 0700) == 0) return MakeDirResult::kCreated;
  if (errno == EEXIST) return MakeDirResult::kExists;
  if (errno == ENOENT) return MakeDirResult::kMissingParent;
  return MakeDirResult::kOtherError;
}

bool DeleteFilePath(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

// Windows opens the file without sharing. The nearest POSIX equivalent is an exclusive
// advisory lock: it keeps out every other process that locks cooperatively (another wipe, the
// library in another process), not a plain reader or writer. Links are not followed, so a
// planted symbolic link in a shared temporary folder cannot aim the wipe at another file.
bool WipeOpen(const std::string& path, WipeHandle* h) {
  if (!h) return false;
  *h = WipeHandle{};
  int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int saved = errno;
    close(fd);
    errno = saved;
    return false;
  }
  h->fd = fd;
  return true;
}

bool WipeSize(WipeHandle* h, uint64_t* size) {
  struct stat st;
  if (!h || h->fd < 0 || !size || fstat(h->fd, &st) != 0) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool WipeMap(WipeHandle* h, uint64_t size) {
  if (!h || h->fd < 0 || h->view) {
    errno = EBADF;
    return false;
  }
  if (FaultHit("files.map")) {
    errno = ENOMEM;
    return false;
  }
  // Touching a mapped page beyond the end of the file would raise SIGBUS, so the view never
  // reaches past what the file holds now.
  struct stat st;
  if (fstat(h->fd, &st) != 0) return false;
  if (size == 0 || size > static_cast<uint64_t>(st.st_size) || size > SIZE_MAX) {
    errno = EINVAL;
    return false;
  }
  // Cached clean pages of the file are dropped first: overwriting freshly written cache pages
  // through the mapping waits on their writeback and costs twice the time of faulting them in.
  posix_fadvise(h->fd, 0, 0, POSIX_FADV_DONTNEED);
  void* view =
      mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, h->fd, 0);
  if (view == MAP_FAILED) return false;
  h->view = view;
  h->viewSize = size;
  return true;
}

bool WipeFillAndFlush(WipeHandle* h, unsigned char byte) {
  if (!h || !h->view) return false;
  std::memset(h->view, byte, static_cast<size_t>(h->viewSize));
  return msync(h->view, static_cast<size_t>(h->viewSize), MS_SYNC) == 0;
}

void WipeClose(WipeHandle* h) {
  if (!h) return;
  if (h->view) munmap(h->view, static_cast<size_t>(h->viewSize));
  if (h->fd >= 0) close(h->fd);  // also drops the lock
  *h = WipeHandle{};
}

std::string LastErrorText() {
  int code = errno;
  if (code == 0) return "";
  char buf[256] = "";
  return ErrorText(strerror_r(code, buf, sizeof buf), buf);
}

void KernelVersion(int* major, int* minor, int* build) {
  int parts[3] = {0, 0, 0};
  struct utsname info;
  if (uname(&info) == 0) {
    // "6.1.0-18-amd64": the leading dotted numbers; anything after them is a distribution tag.
    const char* p = info.release;
    for (int i = 0; i < 3; ++i) {
      if (*p < '0' || *p > '9') break;
      long value = 0;
      while (*p >= '0' && *p <= '9') {
        if (value < 1000000) value = value * 10 + (*p - '0');
        ++p;
      }
      parts[i] = static_cast<int>(value);
      if (*p != '.') break;
      ++p;
    }
  }
  if (major) *major = parts[0];
  if (minor) *minor = parts[1];
  if (build) *build = parts[2];
}

}  // namespace vp
