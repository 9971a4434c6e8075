// Files port: temporary paths, exclusive creation, the mapped wipe, directories.
#pragma once
#include <cstdint>
#include <string>

namespace vp {

// The separator the system joins paths with on this platform.
extern const char kPathSeparator;

// The system's temporary path, without a trailing separator. Cut to capacity-1 bytes.
std::string SystemTempPath();

// The directory for unique temporary files: the TMP environment variable when it names an
// existing directory, else the system temporary path.
std::string TempFileDirectory();

// Creates a new, empty file named dir + separator + prefix + decimal number that did not exist
// before (exclusive creation, owner-only access). Returns its path, or "" on failure.
std::string CreateUniqueFile(const std::string& dir, const char* prefix);

bool PathExists(const std::string& path);

enum class MakeDirResult { kCreated, kExists, kMissingParent, kOtherError };
MakeDirResult MakeDirectory(const std::string& path);

// True when the file was removed.
bool DeleteFilePath(const std::string& path);

// An open file held for the wipe. On POSIX the file is locked with an exclusive advisory lock
// for the time it is open (see the implementation for what that does and does not keep out).
struct WipeHandle {
  int fd = -1;
  void* view = nullptr;
  uint64_t viewSize = 0;
};

// Opens an existing file for reading and writing, exclusively. False when it cannot be opened
// or is held by someone else.
bool WipeOpen(const std::string& path, WipeHandle* h);
// File size (all 64 bits; callers decide how much of it to use).
bool WipeSize(WipeHandle* h, uint64_t* size);
// Maps `size` bytes writable. False on failure (the system's error is kept for LastErrorText).
bool WipeMap(WipeHandle* h, uint64_t size);
// Fills the view with `byte` and flushes it synchronously to the file.
bool WipeFillAndFlush(WipeHandle* h, unsigned char byte);
// Unmaps and closes whatever is open.
void WipeClose(WipeHandle* h);

// The system's text for the calling thread's last error, or "" when there is none.
std::string LastErrorText();

// The release of the running system's kernel: major, minor, build.
void KernelVersion(int* major, int* minor, int* build);

}  // namespace vp
