// Shared segment on POSIX: a shm object that lives from the first attach to the last detach.
//
// Every attached process keeps the object open with a shared flock on it, so whoever can lock it
// exclusively is alone with it. Attaches and detaches are serialised by a gate file, NAME.gate,
// in the segment's private folder (segment_place.h), which every process of the user finds
// whatever its environment. flock cannot turn an exclusive lock into a shared one atomically; the
// gate closes that gap, in which a second process could otherwise take itself for the first.
//
// The object is never unlinked while someone holds it, and a detacher unlinks only the object it
// mapped, never one made afresh under the same name. A child that inherits the mapping through
// fork takes a lock of its own on the object, so its exit cannot release its parent's lock.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/posix/segment_place.h"
#include "platform/segment.h"

namespace vp {
namespace {

std::mutex g_mutex;
std::atomic<SharedSettings*> g_view{nullptr};
// What the fork handler needs, in fixed storage: it must not allocate.
int g_object = -1;              // the object, kept open: our shared lock marks us a holder
std::atomic<pid_t> g_owner{0};  // the process whose lock g_object carries
char g_object_name[256];        // "/name"
dev_t g_object_dev = 0;         // the object attached, so a new one of that name is told apart
ino_t g_object_ino = 0;
char g_gate[4096];    // the gate file's path
char g_failure[512];  // why the last attach failed

void Fail(const std::string& why) {
  std::snprintf(g_failure, sizeof g_failure, "%s", why.c_str());
}

bool Lock(int fd, int operation) {
  while (flock(fd, operation) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

// Opens and locks the gate; a gate removed by a last detacher while we waited is left for the
// new one.
int AcquireGate(const char* path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    int fd = open(path, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat held;
    struct stat named;
    if (Lock(fd, LOCK_EX) && fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        held.st_uid == geteuid() && stat(path, &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      return fd;
    }
    close(fd);
  }
  return -1;
}

// Opens the object, creating it when none exists. *fresh: made now, or left by holders that
// are all gone (crashed: the kernel dropped their locks); either way it needs initial values.
int OpenObject(const std::string& name, bool* fresh) {
  *fresh = false;
  int fd = shm_open(name.c_str(), O_RDWR, 0);
  if (fd < 0 && errno == ENOENT) {
    fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    *fresh = fd >= 0;
  }
  if (fd < 0) {
    Fail("cannot open the shared memory " + name + ": " + std::strerror(errno));
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_uid != geteuid()) {
    Fail("the shared memory " + name + " belongs to another user");
    close(fd);
    return -1;
  }
  if (!*fresh) *fresh = flock(fd, LOCK_EX | LOCK_NB) == 0;
  bool sized = st.st_size == static_cast<off_t>(sizeof(SharedSettings));
  if (!sized && (!*fresh || fchmod(fd, 0600) != 0 || ftruncate(fd, sizeof(SharedSettings)) != 0)) {
    Fail("the shared memory " + name + " has a foreign size");
    close(fd);
    return -1;
  }
  return fd;
}

// Runs in the child after a fork: the inherited descriptor shares the parent's lock, so the
// child opens the object anew and holds a lock of its own. Only system calls here.
void ChildAfterFork() {
  if (!g_view.load() || g_object < 0) return;
  int fd = shm_open(g_object_name, O_RDWR, 0);
  if (fd < 0) return;
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_dev == g_object_dev && st.st_ino == g_object_ino &&
      flock(fd, LOCK_SH | LOCK_NB) == 0 && dup3(fd, g_object, O_CLOEXEC) >= 0) {
    g_owner.store(getpid());
  }
  close(fd);
}

SharedSettings* AttachLocked(const std::string& name) {
  bool fresh = false;
  int fd = OpenObject(name, &fresh);
  if (fd < 0) return nullptr;
  void* map = mmap(nullptr, sizeof(SharedSettings), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  struct stat st;
  if (map == MAP_FAILED || fstat(fd, &st) != 0 || !Lock(fd, LOCK_SH)) {
    Fail("cannot map the shared memory " + name + ": " + std::strerror(errno));
    if (map != MAP_FAILED) munmap(map, sizeof(SharedSettings));
    close(fd);
    return nullptr;
  }
  auto* view = static_cast<SharedSettings*>(map);
  if (fresh) InitialSharedSettings(view);
  g_object = fd;
  g_object_dev = st.st_dev;
  g_object_ino = st.st_ino;
  std::snprintf(g_object_name, sizeof g_object_name, "%s", name.c_str());
  g_owner.store(getpid());
  return view;
}

// True when `name` still names the object we attached.
bool NamesOurObject() {
  int fd = shm_open(g_object_name, O_RDONLY, 0);
  if (fd < 0) return false;
  struct stat st;
  bool same = fstat(fd, &st) == 0 && st.st_dev == g_object_dev && st.st_ino == g_object_ino;
  close(fd);
  return same;
}

}  // namespace

SharedSettings* AttachSharedSettings() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (SharedSettings* view = g_view.load()) return view;
  static std::once_flag registered;
  std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, ChildAfterFork); });
  g_failure[0] = '\0';
  std::string name = SegmentName();
  if (name.empty()) {
    Fail("VEILPOST_SEGMENT is not a valid shared memory name");
    return nullptr;
  }
  std::string why;
  std::string folder = SegmentFolder(&why);
  if (folder.empty()) {
    Fail(why);
    return nullptr;
  }
  std::string gatePath = folder + name + ".gate";
  if (gatePath.size() >= sizeof g_gate) {
    Fail("the path " + gatePath + " is too long");
    return nullptr;
  }
  int gate = AcquireGate(gatePath.c_str());
  if (gate < 0) {
    Fail("cannot lock " + gatePath + ": " + std::strerror(errno));
    return nullptr;
  }
  SharedSettings* view = AttachLocked(name);
  if (view) {
    std::snprintf(g_gate, sizeof g_gate, "%s", gatePath.c_str());
    g_view.store(view);
  }
  close(gate);
  return view;
}

void DetachSharedSettings() {
  std::lock_guard<std::mutex> lock(g_mutex);
  SharedSettings* view = g_view.exchange(nullptr);
  if (!view) return;
  munmap(view, sizeof(SharedSettings));
  if (g_owner.load() != getpid()) {
    // A forked child that could not take a lock of its own: the lock is its parent's.
    close(g_object);
    g_object = -1;
    return;
  }
  int gate = AcquireGate(g_gate);
  flock(g_object, LOCK_UN);
  // Without the gate another process might be half-way through an attach; then we only leave.
  if (gate >= 0 && Lock(g_object, LOCK_EX | LOCK_NB)) {
    if (NamesOurObject()) shm_unlink(g_object_name);
    unlink(g_gate);
  }
  close(g_object);
  g_object = -1;
  if (gate >= 0) close(gate);
}

SharedSettings* SharedSettingsView() {
  return g_view.load();
}

const char* SharedSettingsFailure() {
  return g_failure;
}

}  // namespace vp
