// The temporary directory, the attachment working folder, private files and the secure wipe.
#pragma once
#include <cstddef>
#include <string>

namespace vp {

// The system temporary path without its trailing separator, in a per-process buffer; "" (after
// telling the user why) when the folder is refused.
const char* GetTempDir();
// The same without a message; `refusal` (when given) says why the folder was refused.
const char* TempDirQuietly(std::string* refusal = nullptr);
// Creates "pgptemp" in the temporary directory; -1 (after a message) when its parent path is
// missing, the temporary folder is refused, or "pgptemp" is not a folder of this user that only
// this user can change (see WorkFolderRefusal), else 0.
int CreateTempWorkDir();
// Overwrites the file with 0x55 then 0xAA (each flushed) and deletes it. Only a regular file of
// this user with a single name is written into; a link, another user's file or a file with more
// names loses this name only, without being opened. 0, or -1 after a message when it could not
// be overwritten (it is still deleted), a name that is not ours could not be removed, or the
// name is a FIFO, device, socket or folder (left as it is). A file another process holds is left
// alone (0).
int WipeFile(const char* path);

// A new scratch file (owner-only, made exclusively) in `dir`, or beside `path`; "" on failure.
std::string CreateScratchFile(const std::string& dir);
std::string CreateScratchBeside(const std::string& path);
// Puts the finished scratch file in place of `target`: what stood there is wiped when it is a
// file of ours, else only unlinked. -1 after a message naming `target` (the scratch is wiped).
int InstallFile(const std::string& scratch, const std::string& target);
// Writes `target` privately: a fresh scratch file beside it, every write checked, installed over
// the name. -1 after a message naming `target`.
int WritePrivateFile(const std::string& target, const void* data, size_t size);

// Wipes the scratch files in the temporary folders whose process is gone: what a process killed
// during a run left behind ("veilpost<pid>-<n>" and GnuPG's "~", ".tmp", ".lock" beside it), and
// nothing else. Silent.
void WipeLeftovers();

// Shows the system's text for the last error in an error box.
void ShowLastError();

}  // namespace vp
