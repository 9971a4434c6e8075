// Directory listing on Windows.
#include <windows.h>

#include <cstring>

#include "platform/directory.h"
#include "platform/files.h"

namespace vp {

std::vector<DirectoryEntry> ListDirectory(const std::string& dir) {
  std::vector<DirectoryEntry> entries;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((dir + kPathSeparator + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    if (strcmp(entry.cFileName, ".") == 0 || strcmp(entry.cFileName, "..") == 0) continue;
    // A junction or symbolic link to a folder is a reparse point: removed, never entered.
    bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                  !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    entries.push_back({entry.cFileName, folder});
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return entries;
}

}  // namespace vp
