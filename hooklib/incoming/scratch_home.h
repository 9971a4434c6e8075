// A throwaway GnuPG home: a private folder that receives a text's keys before any reach the
// user's key ring, cleared out however the work ends.
#pragma once
#include <string>

#include "hooklib/incoming/scratch_file.h"

namespace vp {

// Owns one new, empty, owner-only folder in the TMP folder, named after a scratch file it holds
// for as long (so the name is the system's own and unique). The destructor wipes every file in
// it, at any depth, and removes it and its subfolders, silently.
class ScratchHome {
 public:
  ScratchHome() = default;
  ~ScratchHome();
  ScratchHome(const ScratchHome&) = delete;
  ScratchHome& operator=(const ScratchHome&) = delete;

  // Creates the folder; false when none could be made.
  bool Make();
  // Wipes and removes the folder now; 0, or -1 when something in it could not be wiped or the
  // folder could not be removed (after the wipe's own message). A second call returns 0.
  int Remove();

  const char* Path() const { return path_.c_str(); }

 private:
  ScratchFile anchor_;
  std::string path_;
};

}  // namespace vp
