// Files port: temporary paths, exclusive creation, private replacement, the wipe, directories.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vp {

// The separator the system joins paths with on this platform.
extern const char kPathSeparator;

// The system's temporary folder, without a trailing separator: TMPDIR when set, else a private
// per-user folder made on first use. "" when the folder is refused (too long for a 256-byte
// path, another user's, writable by others even with the sticky bit, or impossible to make);
// `refusal` then says why, naming it.
std::string SystemTempPath(std::string* refusal = nullptr);

// The directory for unique temporary files: the TMP environment variable when it names an
// existing directory that is safe to use, else the system temporary path ("" when refused).
std::string TempFileDirectory();

// Creates a new, empty file named dir + separator + prefix + process id + "-" + a number that
// did not exist before (exclusive creation, owner-only access, no link followed). The process
// holds it (see UnheldLeftovers) until it is wiped, replaces another name or is released.
// Returns its path, or "" on failure.
std::string CreateUniqueFile(const std::string& dir, const char* prefix);
// Stops holding a file made by CreateUniqueFile (nothing when it is not held).
void ReleaseFile(const std::string& path);

// Files in `dir` named as CreateUniqueFile names them with `prefix` (or as GnuPG derives from
// such a name, see PidInScratchName) that belong to this user, whose process is gone and that no
// one holds: what a process killed while it worked left behind. Any other name is never listed.
std::vector<std::string> UnheldLeftovers(const std::string& dir, const char* prefix);

// What stands under a name.
enum class NameKind { kMissing, kOwnFile, kOther };
// kOwnFile: a regular file owned by this user with a single link; kOther: anything else
// (a link, a FIFO, a device, a directory, another user's file, a file with more names).
NameKind ClassifyName(const std::string& path);

// Writes `size` bytes as the whole content of an existing regular file, without following a
// link and without blocking; every write and the close are checked.
bool WriteFileContent(const std::string& path, const void* data, size_t size);

// Moves `from` over `to` in one step (a link or file under `to` is replaced, never followed).
bool ReplaceFile(const std::string& from, const std::string& to);

// Opens a file by name for reading, for appending (created owner-only when missing), or for
// writing a new file (created owner-only; null when the name exists), without blocking on a FIFO
// or device and without following a link in the last component; null (errno set) unless it is a
// regular file.
enum class FileUse { kRead, kAppend, kCreateNew };
FILE* OpenRegularFile(const std::string& path, FileUse use);
// True when `path` (links followed) is a regular file that can be opened for reading; checked
// without blocking, so a FIFO or a device is refused.
bool IsReadableRegularFile(const std::string& path);

bool PathExists(const std::string& path);

// Makes an existing regular file (no link followed) read-only for everyone, or writable by its
// owner again; false when it is missing or could not be changed.
bool SetFileReadOnly(const std::string& path, bool readOnly);

enum class MakeDirResult { kCreated, kExists, kMissingParent, kOtherError };
// Makes a folder only its owner can enter (on POSIX; Windows gives it the parent's access).
MakeDirResult MakeDirectory(const std::string& path);

// Why the folder at `path` must not receive decrypted files, or "" when it may: it must exist as
// a folder itself (not a link or junction to one), and on POSIX belong to this user with no one
// else able to change it. The text names the folder.
std::string WorkFolderRefusal(const std::string& path);

// Removes a directory when it is empty; false when it is not (or is missing).
bool RemoveEmptyDirectory(const std::string& path);

// True when the name was removed. A link (on Windows also a junction) is removed itself, never
// what it points to.
bool DeleteFilePath(const std::string& path);

// An open file held for the wipe. On POSIX the file is locked with an exclusive advisory lock
// for the time it is open (see the implementation for what that does and does not keep out).
struct WipeHandle {
  int fd = -1;
  uint64_t size = 0;
};

enum class WipeOpenResult {
  kOpened,
  kMissing,     // nothing under the name (also when a folder on the way is not a folder)
  kNotOwnFile,  // a link, another user's file, a file with more names: only its name may go
  kNotAFile,    // a FIFO, device, socket or folder: neither written into nor removed
  kHeld,        // another process holds it
  kFailed,      // the system's error is kept for LastErrorText
};
// Opens an existing regular file of this user with a single link for overwriting, made
// writable first when it is read-only. Links are not followed, nothing blocks, and what is not
// a file (kNotAFile) is recognised before anything opens it.
WipeOpenResult WipeOpen(const std::string& path, WipeHandle* h);
// Writes `byte` over the whole file as it was when opened, in large blocks; false on a failed
// write (the system's error is kept for LastErrorText).
bool WipeFill(WipeHandle* h, unsigned char byte);
// Flushes the written data to the disk.
bool WipeFlush(WipeHandle* h);
// Closes whatever is open.
void WipeClose(WipeHandle* h);

// A seam for tests: called after each completed fill (with its byte) and each completed flush.
enum class WipeStep { kFilled, kFlushed };
using WipeObserver = void (*)(WipeStep step, unsigned char byte, int fd, void* context);
void SetWipeObserver(WipeObserver observer, void* context);

// The system's text for the calling thread's last error, or "" when there is none.
std::string LastErrorText();

// The release of the running system's kernel: major, minor, build.
void KernelVersion(int* major, int* minor, int* build);

}  // namespace vp
