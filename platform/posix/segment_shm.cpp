// Shared segment on POSIX: a shm object that lives from the first attach to the last detach.
//
// Two companion files, private to the user, sit next to each other in $XDG_RUNTIME_DIR (else
// /tmp), named after the segment:
//   NAME.lock  every attached process holds a shared flock on it for as long as it is attached;
//              whoever can take it exclusively is alone, so an existing object is stale (its
//              creators crashed: the kernel dropped their locks) and is made afresh;
//   NAME.gate  held exclusively across each attach and detach. flock cannot turn an exclusive
//              lock into a shared one atomically, so without the gate a second process could
//              slip into the gap while the first still initialises and take itself for first.
// The last detacher removes the object and both files while it holds the gate; a process that
// waited on a gate file that was removed meanwhile notices (the path no longer names the file
// it locked) and opens the new one.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/segment.h"

namespace vp {
namespace {

std::mutex g_mutex;
std::atomic<SharedSettings*> g_view{nullptr};
int g_holder = -1;
// A text that is ready before any code runs and never destroyed: a library's unload code runs
// after its static destructors at exit, and its load code may run before dynamic initialisers.
union LastingText {
  std::string text;
  constexpr LastingText() : text() {}
  ~LastingText() {}
};
// The object attached and its lock files' common path, kept for the detach.
constinit LastingText g_name_store;
constinit LastingText g_base_store;
std::string& g_name = g_name_store.text;
std::string& g_base = g_base_store.text;

// "/name" from VEILPOST_SEGMENT (a missing leading slash is added), else "/veilpost-<uid>".
// "" when the name cannot be a shm object name.
std::string SegmentName() {
  const char* env = std::getenv("VEILPOST_SEGMENT");
  std::string name = (env && *env) ? env : "/veilpost-" + std::to_string(getuid());
  if (name[0] != '/') name.insert(0, "/");
  if (name.size() < 2 || name.size() > 200 || name.find('/', 1) != std::string::npos) return "";
  return name;
}

std::string LockDirectory() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  if (runtime && runtime[0] == '/' && stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
      st.st_uid == geteuid()) {
    return runtime;
  }
  return "/tmp";
}

// Opens (creating) a lock file. Refuses links and files of other users, which in a shared
// /tmp could otherwise steer or block our locking.
int OpenLockFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    close(fd);
    return -1;
  }
  return fd;
}

bool Lock(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

int AcquireGate(const std::string& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = OpenLockFile(path);
    if (fd < 0) return -1;
    struct stat held;
    struct stat named;
    if (Lock(fd, LOCK_EX) && fstat(fd, &held) == 0 && stat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      return fd;
    }
    close(fd);  // the file was removed by a last detacher while we waited: use the new one
  }
  return -1;
}

// Opens the object, creating it when `first`. A present object must be ours and of our size.
int OpenObject(const std::string& name, bool first) {
  if (first) {
    shm_unlink(name.c_str());  // stale: left by processes that crashed
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0) return -1;
    if (fchmod(fd, 0600) != 0 || ftruncate(fd, sizeof(SharedSettings)) != 0) {
      close(fd);
      shm_unlink(name.c_str());
      return -1;
    }
    return fd;
  }
  int fd = shm_open(name.c_str(), O_RDWR, 0);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid() ||
      st.st_size != static_cast<off_t>(sizeof(SharedSettings))) {
    close(fd);
    return -1;
  }
  return fd;
}

SharedSettings* AttachLocked(const std::string& name, int holder) {
  bool first = Lock(holder, LOCK_EX | LOCK_NB);
  int fd = OpenObject(name, first);
  if (fd < 0 && !first && errno == ENOENT) {
    // Holders exist but the object was removed behind their back: start a new one.
    first = true;
    fd = OpenObject(name, true);
  }
  if (fd < 0) return nullptr;
  void* map = mmap(nullptr, sizeof(SharedSettings), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (map == MAP_FAILED) {
    if (first) shm_unlink(name.c_str());
    return nullptr;
  }
  auto* view = static_cast<SharedSettings*>(map);
  if (first) InitialSharedSettings(view);
  if (!Lock(holder, LOCK_SH)) {
    munmap(map, sizeof(SharedSettings));
    if (first) shm_unlink(name.c_str());
    return nullptr;
  }
  return view;
}

}  // namespace

SharedSettings* AttachSharedSettings() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (SharedSettings* view = g_view.load()) return view;
  std::string name = SegmentName();
  if (name.empty()) return nullptr;
  std::string base = LockDirectory() + name;
  int gate = AcquireGate(base + ".gate");
  if (gate < 0) return nullptr;
  int holder = OpenLockFile(base + ".lock");
  SharedSettings* view = holder >= 0 ? AttachLocked(name, holder) : nullptr;
  if (view) {
    g_holder = holder;
    g_name = name;
    g_base = base;
    g_view.store(view);
  } else if (holder >= 0) {
    close(holder);
  }
  close(gate);
  return view;
}

void DetachSharedSettings() {
  std::lock_guard<std::mutex> lock(g_mutex);
  SharedSettings* view = g_view.exchange(nullptr);
  if (!view) return;
  munmap(view, sizeof(SharedSettings));
  const std::string& base = g_base;
  int gate = AcquireGate(base + ".gate");
  flock(g_holder, LOCK_UN);
  // Without the gate another process might be half-way through an attach; then we only leave.
  if (gate >= 0 && Lock(g_holder, LOCK_EX | LOCK_NB)) {
    shm_unlink(g_name.c_str());
    unlink((base + ".lock").c_str());
    unlink((base + ".gate").c_str());
  }
  close(g_holder);
  g_holder = -1;
  if (gate >= 0) close(gate);
}

SharedSettings* SharedSettingsView() {
  return g_view.load();
}

}  // namespace vp
