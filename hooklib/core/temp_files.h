// The temporary directory, the attachment working folder, and the secure wipe.
#pragma once

namespace vp {

// The system temporary path without its trailing separator, in a per-process buffer.
const char* GetTempDir();
// Creates "pgptemp" in the temporary directory; -1 (after a message) only when its parent path
// is missing, else 0.
int CreateTempWorkDir();
// Overwrites the file with 0x55 then 0xAA (each flushed) and deletes it. 0, or -1 when the file
// could be opened but not mapped (after showing the system's error).
int WipeFile(const char* path);
// Shows the system's text for the last error in an error box.
void ShowLastError();

}  // namespace vp
