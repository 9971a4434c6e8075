// Directory port: what a folder holds, for clearing out a folder the system made itself.
#pragma once
#include <string>
#include <vector>

namespace vp {

struct DirectoryEntry {
  std::string name;       // the name within the folder, never "." or ".."
  bool isFolder = false;  // a real folder; a link to one counts as no folder
};

// The entries of the folder `dir`, links not followed; empty when it cannot be read.
std::vector<DirectoryEntry> ListDirectory(const std::string& dir);

}  // namespace vp
