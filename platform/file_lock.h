// Asks whether another process holds a file for exclusive use.
#pragma once
#include <string>

namespace vp {

// True when the file exists and another holder keeps it locked for exclusive use, so that it
// must be neither overwritten nor deleted now.
bool FileHeldByOther(const std::string& path);

}  // namespace vp
