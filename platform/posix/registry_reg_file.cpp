// Registry port on POSIX: every key lives in one REGEDIT4 file shared by all processes.
#include "platform/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>

#include "platform/faults.h"
#include "platform/reg_text.h"

namespace vp {

struct RegistryKeyObject {
  std::string file;    // the .reg file, fixed when the key was opened
  std::string header;  // HKEY_CURRENT_USER\path
};

namespace {

// A registry bigger than this is not ours to load; refusing keeps memory bounded.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

std::string HomeDirectory() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  struct passwd pw;
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return ".";
}

std::string RegistryFile() {
  const char* env = std::getenv("VEILPOST_REGISTRY");
  if (env && *env) return env;
  return HomeDirectory() + "/.config/veilpost/registry.reg";
}

std::string ParentOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// mkdir -p for the file's folder, private to the user where we create it.
bool MakeParents(const std::string& file) {
  std::string dir = ParentOf(file);
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    std::string part = dir.substr(0, pos);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// An flock on the companion lock file; released when the object goes away.
class FileLock {
 public:
  FileLock(const std::string& file, int operation) {
    std::string path = file + ".lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    while (flock(fd_, operation) != 0) {
      if (errno != EINTR) {
        close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Reads the whole file; a missing file is an empty registry.
bool LoadText(const std::string& file, std::string* text) {
  text->clear();
  // Not blocking: a FIFO planted under the name would hold every reader for ever.
  int fd = open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize) {
    close(fd);
    return false;
  }
  char buf[8192];
  while (true) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text->size() + static_cast<size_t>(n) > static_cast<size_t>(kMaxFileSize)) {
      close(fd);
      return false;
    }
    if (n == 0) break;
    text->append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

bool ReadDocument(const std::string& file, RegDocument* doc) {
  std::string text;
  {
    // Without its folder there is no registry yet, and no lock file to take.
    if (access(ParentOf(file).c_str(), F_OK) != 0) {
      *doc = RegDocument{};
      return errno == ENOENT;
    }
    FileLock lock(file, LOCK_SH);
    if (!lock.held() || !LoadText(file, &text)) return false;
  }
  *doc = ParseRegText(text);
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Read-modify-write under the exclusive lock. The new text goes to a new scratch file that is
// synced and renamed over the old one, so a crash leaves either the old or the new registry.
bool UpdateDocument(const std::string& file, const std::function<bool(RegDocument&)>& change) {
  if (!MakeParents(file)) return false;
  FileLock lock(file, LOCK_EX);
  if (!lock.held()) return false;
  std::string text;
  if (!LoadText(file, &text)) return false;
  RegDocument doc = ParseRegText(text);
  if (!change(doc)) return true;  // nothing to write
  // A fresh file under a name no one can guess, made exclusively (so never through a link or
  // into a file someone placed there), owner-only; it takes the settings file's name when whole.
  std::string temp = file + ".XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0600) == 0 && WriteAll(fd, FormatRegText(doc)) && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  if (!ok || rename(temp.c_str(), file.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  int dir = open(ParentOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);  // makes the rename itself durable
    close(dir);
  }
  return true;
}

// A key path must stay on its header line.
bool ValidPath(const char* text) {
  return text && std::strpbrk(text, "\r\n") == nullptr && text[0] != '\\';
}

// The bytes of a value stored as one of the types the reader asks for; a value of another
// type is as unreadable as a missing one, so a text never passes for a number.
bool ReadBytes(RegistryKey key, const char* name, std::initializer_list<uint32_t> types,
               std::string* bytes) {
  if (!key || FaultHit("registry.read")) return false;
  RegDocument doc;
  if (!ReadDocument(key->file, &doc)) return false;
  const RegSection* section = FindRegSection(doc, key->header);
  if (!section) return false;
  const RegEntry* entry = FindRegValue(*section, name ? name : "");
  if (!entry) return false;
  uint32_t type = RegValueType(*entry);
  for (uint32_t wanted : types) {
    if (type == wanted) return RegValueBytes(*entry, bytes);
  }
  return false;
}

bool Write(RegistryKey key, const std::function<void(RegSection&)>& set) {
  if (!key || FaultHit("registry.write")) return false;
  return UpdateDocument(key->file, [&](RegDocument& doc) {
    set(EnsureRegSection(doc, key->header));
    return true;
  });
}

}  // namespace

// The class text has no place in a .reg file and is not kept.
bool RegistryOpenOrCreate(const char* path, const char* className, RegistryKey* key) {
  (void)className;
  if (!key) return false;
  *key = nullptr;
  if (!ValidPath(path) || FaultHit("registry.open")) return false;
  std::string sub(path);
  while (!sub.empty() && sub.back() == '\\') sub.pop_back();
  auto* object = new RegistryKeyObject{RegistryFile(), "HKEY_CURRENT_USER"};
  if (!sub.empty()) object->header += "\\" + sub;

  // Opening only checks that the settings can be read: a key that is not there yet comes into
  // being with its first value, so a reader never creates the file or its folder.
  RegDocument doc;
  if (!ReadDocument(object->file, &doc)) {
    delete object;
    return false;
  }
  *key = object;
  return true;
}

bool RegistryReadDword(RegistryKey key, const char* name, uint32_t* value) {
  std::string bytes;
  if (!value || !ReadBytes(key, name, {kRegDword}, &bytes) || bytes.size() != 4) return false;
  uint32_t result = 0;  // stored little-endian
  for (size_t i = 0; i < 4; ++i) {
    result |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
  }
  *value = result;
  return true;
}

bool RegistryReadString(RegistryKey key, const char* name, char* buf, size_t capacity) {
  std::string bytes;
  if (!buf || capacity == 0 || !ReadBytes(key, name, {kRegString, kRegExpandString}, &bytes)) {
    return false;
  }
  if (bytes.empty() || bytes.back() != '\0') bytes.push_back('\0');
  if (bytes.size() > capacity) return false;
  std::memcpy(buf, bytes.data(), bytes.size());
  return true;
}

bool RegistryWriteDword(RegistryKey key, const char* name, uint32_t value) {
  return Write(key, [&](RegSection& section) { SetRegDword(section, name ? name : "", value); });
}

bool RegistryWriteString(RegistryKey key, const char* name, const char* value) {
  if (!value) return false;
  return Write(key, [&](RegSection& section) { SetRegString(section, name ? name : "", value); });
}

void RegistryClose(RegistryKey key) {
  delete key;
}

}  // namespace vp
