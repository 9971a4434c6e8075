// File services of the attachment dialog: names, copies, the save-as chooser and the shell.
#pragma once
#include <cstddef>
#include <string>

namespace vp {

// True when `name` ends in ".pgp", ".gpg" or ".asc", in any letter case.
bool HasEncryptedExtension(const char* name);
// Ends `name` before such an extension.
void StripEncryptedExtension(std::string& name);

// The extension the save-as chooser adds to a typed name without one: the text after the
// proposed name's first dot up to the next dot; "" when it has no dot.
std::string DefaultExtension(const char* proposedName);

// Copies `source` into `target`, a new file made here privately and exclusively, in chunks of
// 16 KiB. 0, or -1 after "cannot be opened for reading/writing" (a partial copy is wiped).
int CopyFileData(const char* source, const char* target);
// Copies `source` over `target` without ever losing what stood there: into a private file beside
// it that takes the name only when complete. 0, or -1 after a message naming `target`.
int CopyFileOver(const char* source, const char* target);

// The save-as chooser with `buffer` (size bytes) as the proposed name; non-zero with the chosen
// full path in `buffer`, zero when cancelled (or the path does not fit).
int AskSaveAsPath(char* buffer, size_t size);

// Opens `path` with the program associated with its type; an error box tells why it could not.
void OpenWithShell(const char* path);

}  // namespace vp
