// Throwaway GnuPG homes, made private and exclusively, always cleared out.
#include "hooklib/incoming/scratch_home.h"

#include "hooklib/core/temp_files.h"
#include "platform/directory.h"
#include "platform/files.h"

namespace vp {
namespace {

// GnuPG makes only shallow folders in a home; deeper ones are not its and are left alone.
constexpr int kDeepestFolder = 4;

// Wipes every file below `dir` and removes the folders; false when anything stayed.
bool ClearOut(const std::string& dir, int depth) {
  bool cleared = true;
  for (const DirectoryEntry& entry : ListDirectory(dir)) {
    std::string path = dir + kPathSeparator + entry.name;
    if (entry.isFolder) {
      cleared = depth < kDeepestFolder && ClearOut(path, depth + 1) && cleared;
    } else {
      cleared = WipeFile(path.c_str()) == 0 && cleared;
    }
  }
  return RemoveEmptyDirectory(dir) && cleared;
}

}  // namespace

ScratchHome::~ScratchHome() {
  Remove();
}

bool ScratchHome::Make() {
  Remove();
  if (!anchor_.Reserve()) return false;
  // Made exclusively: a name planted beside the scratch file is never used.
  std::string path = std::string(anchor_.Path()) + ".d";
  if (MakeDirectory(path) != MakeDirResult::kCreated) {
    anchor_.Wipe();
    return false;
  }
  path_ = path;
  return true;
}

int ScratchHome::Remove() {
  if (path_.empty()) return 0;
  bool cleared = ClearOut(path_, 0);
  path_.clear();
  anchor_.Wipe();
  return cleared ? 0 : -1;
}

}  // namespace vp
