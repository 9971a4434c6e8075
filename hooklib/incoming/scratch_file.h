// Temporary files that may hold plaintext: reserved exclusively, wiped on every way out.
#pragma once
#include <string>

namespace vp {

// Owns one temporary file named "veilpost" and a number in the TMP folder (the system
// temporary path when TMP names no folder). The file is created empty and exclusively, so no one
// else can have placed a file or link under its name. Whatever happens, the destructor wipes it
// (and the backup GnuPG may leave beside it, "name~"), silently; callers that must report a
// failed wipe call Wipe() themselves first.
class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Creates the file; false (and an empty path) when no file could be created.
  bool Reserve();
  // The same in the folder of `path`, so that it can later take that name.
  bool ReserveBeside(const std::string& path);
  // Moves the file over `target` (see InstallFile); it is no longer owned. 0, or -1 after a
  // message (the file wiped).
  int InstallAs(const std::string& target);
  // Wipes and deletes the file and its backup now; the result of WipeFile for the file itself
  // (0, or -1 after the system's error was shown). A second call does nothing and returns 0.
  int Wipe();

  const char* Path() const { return path_.c_str(); }
  bool Reserved() const { return !path_.empty(); }

 private:
  std::string path_;
};

}  // namespace vp
