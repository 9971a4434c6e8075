// Files port on Windows: the system's temporary path, exclusive and held files, the wipe.
//
// A file made by CreateUniqueFile stays open in this process, but only for its attributes:
// GnuPG opens its input shared for reading only and its output shared for writing only, so a
// handle holding either kind of data access here would make one of those opens fail with a
// sharing violation. A starting process tells a live process's scratch file from a crash's
// leftover by the process id in its name; a GnuPG still working on a leftover keeps it by its
// own open, which a probe without sharing finds. The wipe
// opens without sharing and with write-through, so no other process reads or writes the file
// while it is overwritten and every pass reaches the disk.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
// The port's own ReplaceFile, not the system's A/W macro.
#undef ReplaceFile

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
#include "platform/files.h"
#include "platform/files_shared.h"

namespace vp {

const char kPathSeparator = '\\';

namespace {

// The size of the buffer the system's temporary path is fetched into.
constexpr DWORD kTempPathCapacity = 256;
// The wipe writes in blocks this large: few calls, little memory.
constexpr size_t kWipeBlock = 4u << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsDirectory(const char* path) {
  if (!path || !*path) return false;
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opens `path` itself, never what a link or junction there points to.
HANDLE OpenNoFollow(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                    DWORD flags = 0) {
  return CreateFileA(path.c_str(), access, share, nullptr, disposition,
                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | flags, nullptr);
}

// A plain disk file with a single name: not a folder, link, junction, pipe or device.
bool IsOwnFile(HANDLE h) {
  if (GetFileType(h) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info)) return false;
  return !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
         info.nNumberOfLinks == 1;
}

bool SameFile(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION x, y;
  return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
         x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
         x.nFileIndexLow == y.nFileIndexLow;
}

std::mutex& HoldsMutex() {
  static std::mutex* m = new std::mutex;
  return *m;
}
std::map<std::string, HANDLE>& Holds() {
  static auto* holds = new std::map<std::string, HANDLE>;
  return *holds;
}

// Stops holding `path`; true when it was held and the name still names the held file (so the
// caller may now open it without sharing).
bool DropHold(const std::string& path) {
  std::lock_guard<std::mutex> lock(HoldsMutex());
  auto it = Holds().find(path);
  if (it == Holds().end()) return false;
  HANDLE held = it->second;
  Holds().erase(it);
  HANDLE named = OpenNoFollow(path, 0, kShareAll, OPEN_EXISTING);
  bool same = named != INVALID_HANDLE_VALUE && SameFile(named, held);
  if (named != INVALID_HANDLE_VALUE) CloseHandle(named);
  CloseHandle(held);
  return same;
}

bool ProcessAlive(long pid) {
  if (pid <= 0) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

// "\\.\..." names a device or pipe, never a file; opening one can act on it.
bool IsDeviceNamespace(const std::string& path) {
  return path.size() >= 4 && (path[0] == '\\' || path[0] == '/') &&
         (path[1] == '\\' || path[1] == '/') && path[2] == '.' &&
         (path[3] == '\\' || path[3] == '/');
}

HANDLE WipeFileHandle(const WipeHandle* h) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(h->fd));
}

}  // namespace

std::string SystemTempPath(std::string* refusal) {
  std::string ignored;
  if (!refusal) refusal = &ignored;
  refusal->clear();
  char buf[kTempPathCapacity];
  DWORD n = GetTempPathA(kTempPathCapacity, buf);
  if (n == 0 || n >= kTempPathCapacity) {
    // A cut name would be another folder.
    *refusal = n == 0 ? "The system's temporary folder is not known."
                      : "The system's temporary folder is too long (at most " +
                            std::to_string(kTempPathCapacity - 1) + " bytes).";
    return "";
  }
  std::string path(buf, n);
  if (path.size() > 1 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  if (!IsDirectory(path.c_str()) && !CreateDirectoryA(path.c_str(), nullptr)) {
    *refusal = "Unable to make the temporary folder " + path + ".";
    return "";
  }
  return path;
}

std::string TempFileDirectory() {
  const char* tmp = std::getenv("TMP");
  if (IsDirectory(tmp) && strlen(tmp) < kTempPathCapacity) {
    std::string path = tmp;
    while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
    return path;
  }
  return SystemTempPath();
}

std::string CreateUniqueFile(const std::string& dir, const char* prefix) {
  static std::atomic<unsigned> counter{0};
  std::string base =
      dir + kPathSeparator + (prefix ? prefix : "") + std::to_string(GetCurrentProcessId()) + "-";
  unsigned start = (static_cast<unsigned>(time(nullptr)) * 7919u + counter.fetch_add(1)) & 0xFFFFu;
  for (unsigned i = 0; i < 0x10000u; ++i) {
    std::string path = base + std::to_string(((start + i) & 0xFFFFu) + 1);
    HANDLE h = OpenNoFollow(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, CREATE_NEW);
    if (h != INVALID_HANDLE_VALUE) {
      std::lock_guard<std::mutex> lock(HoldsMutex());
      Holds()[path] = h;
      return path;
    }
    DWORD e = GetLastError();
    if (e != ERROR_FILE_EXISTS && e != ERROR_ALREADY_EXISTS) return "";
  }
  return "";
}

void ReleaseFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(HoldsMutex());
  auto it = Holds().find(path);
  if (it == Holds().end()) return;
  CloseHandle(it->second);
  Holds().erase(it);
}

bool FileHeldByOther(const std::string& path) {
  {
    std::lock_guard<std::mutex> lock(HoldsMutex());
    if (Holds().count(path)) return true;
  }
  HANDLE h = OpenNoFollow(path, GENERIC_READ, 0, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
  CloseHandle(h);
  return false;
}

std::vector<std::string> UnheldLeftovers(const std::string& dir, const char* prefix) {
  std::vector<std::string> found;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((dir + kPathSeparator + prefix + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return found;
  const size_t prefixLength = strlen(prefix);
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (strncmp(entry.cFileName, prefix, prefixLength) != 0) continue;
    // Only names this system makes: anything else that merely begins like one is the user's.
    long pid = PidInScratchName(entry.cFileName + prefixLength);
    if (pid == 0) continue;
    std::string path = dir + kPathSeparator + entry.cFileName;
    if (pid == static_cast<long>(GetCurrentProcessId()) || ProcessAlive(pid)) continue;
    if (FileHeldByOther(path)) continue;
    found.push_back(path);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

NameKind ClassifyName(const std::string& path) {
  HANDLE h = OpenNoFollow(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    return (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) ? NameKind::kMissing
                                                                    : NameKind::kOther;
  }
  bool own = IsOwnFile(h);
  CloseHandle(h);
  return own ? NameKind::kOwnFile : NameKind::kOther;
}

bool WriteFileContent(const std::string& path, const void* data, size_t size) {
  HANDLE h = OpenNoFollow(path, GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  if (h == INVALID_HANDLE_VALUE) return false;
  auto fail = [&](DWORD error) {
    CloseHandle(h);
    SetLastError(error);
    return false;
  };
  if (GetFileType(h) != FILE_TYPE_DISK || !SetEndOfFile(h)) return fail(ERROR_INVALID_PARAMETER);
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    if (FaultHit("files.write")) return fail(ERROR_DISK_FULL);
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(left, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(h, p, chunk, &written, nullptr)) return fail(GetLastError());
    if (written == 0) return fail(ERROR_DISK_FULL);
    p += written;
    left -= written;
  }
  return CloseHandle(h) != 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  ReleaseFile(from);
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

FILE* OpenRegularFile(const std::string& path, FileUse use) {
  DWORD access = use == FileUse::kRead ? GENERIC_READ : GENERIC_WRITE;
  DWORD disposition = use == FileUse::kRead     ? OPEN_EXISTING
                      : use == FileUse::kAppend ? OPEN_ALWAYS
                                                : CREATE_NEW;
  HANDLE h = OpenNoFollow(path, access, kShareAll, disposition);
  if (h == INVALID_HANDLE_VALUE) {
    errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : ENOENT;
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(h);
    errno = EINVAL;
    return nullptr;
  }
  int flags = use == FileUse::kRead ? _O_RDONLY : _O_WRONLY;
  if (use == FileUse::kAppend) flags |= _O_APPEND;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  FILE* f = _fdopen(fd, use == FileUse::kRead ? "rb" : use == FileUse::kAppend ? "ab" : "wb");
  if (!f) _close(fd);
  return f;
}

bool IsReadableRegularFile(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  bool regular = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                 !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(h);
  return regular;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SetFileReadOnly(const std::string& path, bool readOnly) {
  if (ClassifyName(path) == NameKind::kMissing) return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return false;
  attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY)
                        : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

bool RemoveEmptyDirectory(const std::string& path) {
  return RemoveDirectoryA(path.c_str()) != 0;
}

// Windows gives each user a temporary folder of their own; what is checked here is that the
// name is a folder itself, not a link or junction leading elsewhere.
std::string WorkFolderRefusal(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return "The work folder " + path + " cannot be used.";
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return "The work folder " + path + " is a link, not a folder.";
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return "The work folder " + path + " is not a folder.";
  return "";
}

MakeDirResult MakeDirectory(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return MakeDirResult::kCreated;
  DWORD e = GetLastError();
  if (e == ERROR_ALREADY_EXISTS) return MakeDirResult::kExists;
  if (e == ERROR_PATH_NOT_FOUND) return MakeDirResult::kMissingParent;
  return MakeDirResult::kOtherError;
}

bool DeleteFilePath(const std::string& path) {
  ReleaseFile(path);
  // A junction or a link to a folder is removed as the folder entry it is, which takes only the
  // link: the folder it leads to keeps every file.
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return RemoveDirectoryA(path.c_str()) != 0;
  return DeleteFileA(path.c_str()) != 0;
}

WipeOpenResult WipeOpen(const std::string& path, WipeHandle* h) {
  if (!h) return WipeOpenResult::kFailed;
  *h = WipeHandle{};
  // A file this process holds is let go first, or the open without sharing below would meet
  // our own handle.
  DropHold(path);
  // What stands under the name is looked at first, by its own attributes (a link's or junction's,
  // never its target's), and nothing that is not a plain disk file is opened for writing: a link
  // or junction loses only its name, a folder, pipe or device is left as it is.
  if (IsDeviceNamespace(path)) return WipeOpenResult::kNotAFile;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return WipeOpenResult::kNotOwnFile;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return WipeOpenResult::kNotAFile;
  }
  HANDLE probe = OpenNoFollow(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING);
  if (probe != INVALID_HANDLE_VALUE) {
    bool disk = GetFileType(probe) == FILE_TYPE_DISK;
    CloseHandle(probe);
    if (!disk) return WipeOpenResult::kNotAFile;
  }
  // A read-only file is still overwritten.
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  HANDLE file =
      OpenNoFollow(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return WipeOpenResult::kMissing;
    if (e == ERROR_SHARING_VIOLATION || e == ERROR_LOCK_VIOLATION) return WipeOpenResult::kHeld;
    if (e == ERROR_ACCESS_DENIED) {
      // A folder answers so; a file we may not write is not ours to wipe either.
      return WipeOpenResult::kNotOwnFile;
    }
    return WipeOpenResult::kFailed;
  }
  LARGE_INTEGER size;
  if (!IsOwnFile(file) || !GetFileSizeEx(file, &size)) {
    CloseHandle(file);
    return WipeOpenResult::kNotOwnFile;
  }
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    return WipeOpenResult::kFailed;
  }
  h->fd = fd;
  h->size = static_cast<uint64_t>(size.QuadPart);
  return WipeOpenResult::kOpened;
}

bool WipeFill(WipeHandle* h, unsigned char byte) {
  if (!h || h->fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (FaultHit("files.overwrite")) {
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  HANDLE file = WipeFileHandle(h);
  std::vector<unsigned char> block(static_cast<size_t>(std::min<uint64_t>(h->size, kWipeBlock)),
                                   byte);
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return false;
  uint64_t offset = 0;
  while (offset < h->size) {
    DWORD n = static_cast<DWORD>(std::min<uint64_t>(block.size(), h->size - offset));
    DWORD written = 0;
    if (!WriteFile(file, block.data(), n, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    offset += written;
  }
  NotifyWipeObserver(WipeStep::kFilled, byte, h->fd);
  return true;
}

bool WipeFlush(WipeHandle* h) {
  if (!h || h->fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (FaultHit("files.flush")) {
    SetLastError(ERROR_WRITE_FAULT);
    return false;
  }
  if (!FlushFileBuffers(WipeFileHandle(h))) return false;
  NotifyWipeObserver(WipeStep::kFlushed, 0, h->fd);
  return true;
}

void WipeClose(WipeHandle* h) {
  if (!h) return;
  if (h->fd >= 0) _close(h->fd);  // closes the file's handle too
  *h = WipeHandle{};
}

std::string LastErrorText() {
  DWORD code = GetLastError();
  if (code == 0) {
    // A failure of the C library alone (fopen, fwrite) leaves only errno.
    return errno != 0 ? std::strerror(errno) : "";
  }
  char text[1024] = "";
  DWORD n =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  std::string s(text, n);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
    s.pop_back();
  if (s.empty()) s = "Error " + std::to_string(code);
  return s;
}

// As the system reports itself: major in the lowest byte, minor in the next, the build in the
// upper 16 bits when the top bit is clear.
void KernelVersion(int* major, int* minor, int* build) {
  DWORD version = GetVersion();
  if (major) *major = static_cast<int>(LOBYTE(LOWORD(version)));
  if (minor) *minor = static_cast<int>(HIBYTE(LOWORD(version)));
  if (build) *build = (version & 0x80000000u) ? 0 : static_cast<int>(HIWORD(version));
}

}  // namespace vp
