// Temporary plaintext files, reserved exclusively and always wiped.
#include "hooklib/incoming/scratch_file.h"

#include "hooklib/core/temp_files.h"
#include "platform/files.h"

namespace vp {

ScratchFile::~ScratchFile() {
  Wipe();
}

bool ScratchFile::Reserve() {
  Wipe();
  path_ = CreateScratchFile(TempFileDirectory());
  return !path_.empty();
}

bool ScratchFile::ReserveBeside(const std::string& path) {
  Wipe();
  path_ = CreateScratchBeside(path);
  return !path_.empty();
}

int ScratchFile::InstallAs(const std::string& target) {
  std::string path = path_;
  path_.clear();
  return InstallFile(path, target);
}

int ScratchFile::Wipe() {
  if (path_.empty()) return 0;
  int result = WipeFile(path_.c_str());
  // GnuPG 1.4 keeps the previous state of a key ring it changes as "name~".
  WipeFile((path_ + "~").c_str());
  path_.clear();
  return result;
}

}  // namespace vp
