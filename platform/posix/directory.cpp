// Directory listing on POSIX.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "platform/directory.h"
#include "platform/files.h"

namespace vp {

std::vector<DirectoryEntry> ListDirectory(const std::string& dir) {
  std::vector<DirectoryEntry> entries;
  DIR* d = opendir(dir.c_str());
  if (!d) return entries;
  while (struct dirent* entry = readdir(d)) {
    if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0) continue;
    struct stat st;
    std::string path = dir + kPathSeparator + entry->d_name;
    bool folder = lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    entries.push_back({entry->d_name, folder});
  }
  closedir(d);
  return entries;
}

}  // namespace vp
