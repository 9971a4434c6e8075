// Files port on POSIX: temporary paths, exclusive and private files, the wipe.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "platform/faults.h"
#include "platform/file_lock.h"
#include "platform/files_shared.h"

namespace vp {

const char kPathSeparator = '/';

namespace {

// The size of the buffer the system's temporary path is fetched into.
constexpr size_t kTempPathCapacity = 256;
// The wipe writes in blocks this large: few calls, little memory.
constexpr size_t kWipeBlock = 4u << 20;

bool IsDirectory(const char* path) {
  struct stat st;
  return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Why the folder `st` describes must not receive the system's files, or "" when it may: it must
// be the user's own, and no one else may add, replace or remove names in it. A shared folder
// (even a sticky one such as /tmp) is refused: another user can plant a name there first, or see
// which files come and go.
std::string OwnFolderRefusal(const struct stat& st, const std::string& what) {
  if (!S_ISDIR(st.st_mode)) return what + " is not a folder.";
  if (st.st_uid != geteuid()) return what + " belongs to another user.";
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return what + " can be changed by other users.";
  return "";
}

// The same for a temporary folder named by the environment (a link to a folder is followed: the
// user named it). One that does not exist yet passes: whatever later makes it decides, and it is
// checked again at each use.
std::string FolderRefusal(const std::string& dir) {
  struct stat st;
  if (stat(dir.c_str(), &st) != 0) return "";
  return OwnFolderRefusal(st, "The temporary folder " + dir);
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd* pw = getpwuid(geteuid());
  return pw && pw->pw_dir ? pw->pw_dir : "";
}

// Makes `dir` owner-only if missing; true when it then is a folder of this user that no one else
// can enter (tightened when it was not).
bool MakePrivateFolder(const std::string& dir) {
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) return false;
  return (st.st_mode & 077) == 0 || chmod(dir.c_str(), 0700) == 0;
}

// The per-user default: a RAM-backed runtime folder where the session has one, else one under
// the user's cache folder.
std::string PrivateTempPath(std::string* refusal) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string dir;
  std::vector<std::string> parents;
  if (IsDirectory(runtime)) {
    dir = WithoutTrailingSlashes(runtime) + "/veilpost";
  } else {
    std::string home = WithoutTrailingSlashes(HomeFolder());
    if (home.empty() || home == "/") {
      *refusal = "No private temporary folder: the home folder is unknown. Set TMPDIR.";
      return "";
    }
    parents = {home + "/.cache", home + "/.cache/veilpost"};
    dir = home + "/.cache/veilpost/tmp";
  }
  if (dir.size() > kTempPathCapacity - 1) {
    *refusal = "The temporary folder " + dir + " is too long.";
    return "";
  }
  for (const std::string& parent : parents) {
    if (mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) break;
  }
  if (!MakePrivateFolder(dir)) {
    *refusal = "Unable to make the private temporary folder " + dir + ".";
    return "";
  }
  return dir;
}

// Files made by CreateUniqueFile, each kept open with an exclusive advisory lock: the mark by
// which a starting process tells a live process's scratch file from a crash's leftover.
std::mutex& HoldsMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::map<std::string, int>& Holds() {
  static auto* holds = new std::map<std::string, int>;
  return *holds;
}

void Hold(const std::string& path, int fd) {
  std::lock_guard<std::mutex> lock(HoldsMutex());
  Holds()[path] = fd;
}

// The held descriptor of `path` when it still names the file that was made, handed over to the
// caller; -1 otherwise.
int TakeHeld(const std::string& path) {
  std::lock_guard<std::mutex> lock(HoldsMutex());
  auto it = Holds().find(path);
  if (it == Holds().end()) return -1;
  int fd = it->second;
  Holds().erase(it);
  struct stat named, held;
  if (lstat(path.c_str(), &named) == 0 && fstat(fd, &held) == 0 && named.st_dev == held.st_dev &&
      named.st_ino == held.st_ino)
    return fd;
  close(fd);
  return -1;
}

bool ProcessAlive(long pid) {
  return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

bool ClearNonBlocking(int fd) {
  int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

void CloseKeepingError(int fd) {
  int saved = errno;
  close(fd);
  errno = saved;
}

bool IsOwnFile(const struct stat& st) {
  return S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1;
}

// strerror_r comes in a GNU (char*) and a POSIX (int) flavour; accept either.
[[maybe_unused]] const char* ErrorText(int result, const char* buf) {
  return result == 0 ? buf : "";
}
[[maybe_unused]] const char* ErrorText(const char* result, const char*) {
  return result;
}

}  // namespace

std::string SystemTempPath(std::string* refusal) {
  std::string ignored;
  if (!refusal) refusal = &ignored;
  refusal->clear();
  const char* env = std::getenv("TMPDIR");
  std::string path;
  if (env && *env) {
    path = WithoutTrailingSlashes(env);
    // A cut name would be another folder, possibly someone else's.
    if (path.size() > kTempPathCapacity - 1) {
      *refusal = "The temporary folder named by TMPDIR is too long (" +
                 std::to_string(path.size()) + " bytes, at most " +
                 std::to_string(kTempPathCapacity - 1) + ").";
      return "";
    }
  } else {
    path = PrivateTempPath(refusal);
    if (path.empty()) return "";
  }
  *refusal = FolderRefusal(path);
  return refusal->empty() ? path : "";
}

std::string TempFileDirectory() {
  const char* tmp = std::getenv("TMP");
  if (IsDirectory(tmp) && strlen(tmp) < kTempPathCapacity && FolderRefusal(tmp).empty()) return tmp;
  return SystemTempPath();
}

std::string CreateUniqueFile(const std::string& dir, const char* prefix) {
  static std::atomic<unsigned> counter{0};
  std::string base = dir + kPathSeparator + (prefix ? prefix : "") + std::to_string(getpid()) + "-";
  // Start somewhere different each time so that a crash's leftovers are rarely in the way.
  unsigned start = (static_cast<unsigned>(time(nullptr)) * 7919u + counter.fetch_add(1)) & 0xFFFFu;
  for (unsigned i = 0; i < 0x10000u; ++i) {
    std::string path = base + std::to_string(((start + i) & 0xFFFFu) + 1);
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      // A new file: no one else can hold the lock yet.
      flock(fd, LOCK_EX | LOCK_NB);
      Hold(path, fd);
      return path;
    }
    if (errno != EEXIST) return "";
  }
  return "";
}

void ReleaseFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(HoldsMutex());
  auto it = Holds().find(path);
  if (it == Holds().end()) return;
  close(it->second);
  Holds().erase(it);
}

std::vector<std::string> UnheldLeftovers(const std::string& dir, const char* prefix) {
  std::vector<std::string> found;
  DIR* d = opendir(dir.c_str());
  if (!d) return found;
  const size_t prefixLength = strlen(prefix);
  while (struct dirent* entry = readdir(d)) {
    if (strncmp(entry->d_name, prefix, prefixLength) != 0) continue;
    // Only names this system makes: anything else that merely begins like one (a package, a
    // notes file) is the user's.
    long pid = PidInScratchName(entry->d_name + prefixLength);
    if (pid == 0) continue;
    std::string path = dir + kPathSeparator + entry->d_name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || st.st_uid != geteuid() ||
        !(S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)))
      continue;
    // Every name a live process made, or GnuPG made from it, stays: its process is still there.
    if (pid == getpid() || ProcessAlive(pid)) continue;
    // Nor is a file taken while someone holds its lock.
    if (S_ISREG(st.st_mode) && FileHeldByOther(path)) continue;
    found.push_back(path);
  }
  closedir(d);
  return found;
}

NameKind ClassifyName(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return errno == ENOENT ? NameKind::kMissing : NameKind::kOther;
  return IsOwnFile(st) ? NameKind::kOwnFile : NameKind::kOther;
}

bool WriteFileContent(const std::string& path, const void* data, size_t size) {
  int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ClearNonBlocking(fd) ||
      ftruncate(fd, 0) != 0) {
    if (errno == 0) errno = EINVAL;
    CloseKeepingError(fd);
    return false;
  }
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    if (FaultHit("files.write")) {
      errno = ENOSPC;
      CloseKeepingError(fd);
      return false;
    }
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      CloseKeepingError(fd);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return close(fd) == 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  ReleaseFile(from);
  return rename(from.c_str(), to.c_str()) == 0;
}

FILE* OpenRegularFile(const std::string& path, FileUse use) {
  int flags = O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC;
  if (use == FileUse::kRead) flags |= O_RDONLY;
  if (use == FileUse::kAppend) flags |= O_WRONLY | O_APPEND | O_CREAT;
  if (use == FileUse::kCreateNew) flags |= O_WRONLY | O_CREAT | O_EXCL;
  int fd = open(path.c_str(), flags, 0600);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !ClearNonBlocking(fd)) {
    close(fd);
    errno = EINVAL;
    return nullptr;
  }
  FILE* f = fdopen(fd, use == FileUse::kRead ? "rb" : use == FileUse::kAppend ? "ab" : "wb");
  if (!f) CloseKeepingError(fd);
  return f;
}

bool IsReadableRegularFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool regular = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  close(fd);
  return regular;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool SetFileReadOnly(const std::string& path, bool readOnly) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool done =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      fchmod(fd, readOnly ? (st.st_mode & 07555 & ~0222) : ((st.st_mode & 07777) | S_IWUSR)) == 0;
  close(fd);
  return done;
}

bool RemoveEmptyDirectory(const std::string& path) {
  return rmdir(path.c_str()) == 0;
}

std::string WorkFolderRefusal(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return "The work folder " + path + " cannot be used.";
  if (S_ISLNK(st.st_mode)) return "The work folder " + path + " is a link, not a folder.";
  return OwnFolderRefusal(st, "The work folder " + path);
}

MakeDirResult MakeDirectory(const std::string& path) {
  // Owner-only: the folder receives decrypted attachments.
  if (mkdir(path.c_str(), 0700) == 0) return MakeDirResult::kCreated;
  if (errno == EEXIST) return MakeDirResult::kExists;
  if (errno == ENOENT) return MakeDirResult::kMissingParent;
  return MakeDirResult::kOtherError;
}

bool DeleteFilePath(const std::string& path) {
  ReleaseFile(path);
  return unlink(path.c_str()) == 0;
}

// Windows opens the file without sharing. The nearest POSIX equivalent is an exclusive
// advisory lock: it keeps out every other process that locks cooperatively (another wipe, the
// library in another process), not a plain reader or writer. Nothing is written through a link,
// into a FIFO or device, into another user's file, or into a file that has other names (the
// other name could be anyone's file).
WipeOpenResult WipeOpen(const std::string& path, WipeHandle* h) {
  if (!h) return WipeOpenResult::kFailed;
  *h = WipeHandle{};
  struct stat st;
  int fd = TakeHeld(path);
  if (fd >= 0) {
    if (fstat(fd, &st) != 0 || !IsOwnFile(st)) {
      close(fd);
      return WipeOpenResult::kNotOwnFile;
    }
  } else {
    // Looked at before anything opens it: opening a device can act on it (a tape rewinds, a
    // line hangs up), and a FIFO, device, socket or folder is never the user's file to remove.
    if (lstat(path.c_str(), &st) != 0)
      return errno == ENOENT || errno == ENOTDIR ? WipeOpenResult::kMissing
                                                 : WipeOpenResult::kFailed;
    if (S_ISLNK(st.st_mode)) return WipeOpenResult::kNotOwnFile;
    if (!S_ISREG(st.st_mode)) return WipeOpenResult::kNotAFile;
    const int probeFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int probe = open(path.c_str(), probeFlags);
    // An unreadable file of our own (mode 0200 or 0000) is made readable and writable first.
    if (probe < 0 && errno == EACCES && lstat(path.c_str(), &st) == 0 && IsOwnFile(st) &&
        chmod(path.c_str(), 0600) == 0)
      probe = open(path.c_str(), probeFlags);
    if (probe < 0) {
      if (errno == ENOENT || errno == ENOTDIR) return WipeOpenResult::kMissing;
      if (errno == ELOOP || errno == EACCES || errno == EPERM) return WipeOpenResult::kNotOwnFile;
      return WipeOpenResult::kFailed;
    }
    if (fstat(probe, &st) != 0 || !IsOwnFile(st)) {
      // Replaced between the look and the open: judged by what was opened.
      bool file = S_ISREG(st.st_mode);
      close(probe);
      return file ? WipeOpenResult::kNotOwnFile : WipeOpenResult::kNotAFile;
    }
    if (flock(probe, LOCK_EX | LOCK_NB) != 0) {
      close(probe);
      return WipeOpenResult::kHeld;
    }
    // A read-only file is still overwritten.
    if (!(st.st_mode & S_IWUSR) && fchmod(probe, (st.st_mode & 07777) | S_IWUSR) != 0) {
      CloseKeepingError(probe);
      return WipeOpenResult::kFailed;
    }
    fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat again;
    bool same =
        fd >= 0 && fstat(fd, &again) == 0 && again.st_dev == st.st_dev && again.st_ino == st.st_ino;
    close(probe);  // the lock moves to the writable descriptor below
    if (!same) {
      if (fd >= 0) close(fd);
      return WipeOpenResult::kNotOwnFile;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);
      return WipeOpenResult::kHeld;
    }
  }
  ClearNonBlocking(fd);
  h->fd = fd;
  h->size = static_cast<uint64_t>(st.st_size);
  return WipeOpenResult::kOpened;
}

bool WipeFill(WipeHandle* h, unsigned char byte) {
  if (!h || h->fd < 0) {
    errno = EBADF;
    return false;
  }
  if (FaultHit("files.overwrite")) {
    errno = ENOSPC;
    return false;
  }
  std::vector<unsigned char> block(static_cast<size_t>(std::min<uint64_t>(h->size, kWipeBlock)),
                                   byte);
  uint64_t offset = 0;
  while (offset < h->size) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(block.size(), h->size - offset));
    ssize_t written = pwrite(h->fd, block.data(), n, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      return false;
    }
    offset += static_cast<uint64_t>(written);
  }
  NotifyWipeObserver(WipeStep::kFilled, byte, h->fd);
  return true;
}

bool WipeFlush(WipeHandle* h) {
  if (!h || h->fd < 0) {
    errno = EBADF;
    return false;
  }
  if (FaultHit("files.flush")) {
    errno = EIO;
    return false;
  }
  if (fdatasync(h->fd) != 0) return false;
  NotifyWipeObserver(WipeStep::kFlushed, 0, h->fd);
  return true;
}

void WipeClose(WipeHandle* h) {
  if (!h) return;
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
