// The shared segment's name and the private folder of its lock files.
#include "platform/posix/segment_place.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/home_folder.h"

namespace vp {

std::string SegmentName() {
  const char* env = std::getenv("VEILPOST_SEGMENT");
  std::string name = (env && *env) ? env : "/veilpost-" + std::to_string(getuid());
  if (name[0] != '/') name.insert(0, "/");
  if (name.size() < 2 || name.size() > 200 || name.find('/', 1) != std::string::npos) return "";
  return name;
}

std::string SegmentFolder(std::string* why) {
  std::string home = PasswordHomeFolder();
  if (home.empty()) {
    *why = "the user has no home folder";
    return "";
  }
  std::string folder = home;
  for (const char* part : {"/.cache", "/veilpost", "/segments"}) {
    folder += part;
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      *why = "cannot create " + folder + ": " + std::strerror(errno);
      return "";
    }
  }
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
    *why = folder + " is not a folder owned by the user";
    return "";
  }
  if ((st.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
    *why = folder + " is open to other users";
    return "";
  }
  return folder;
}

}  // namespace vp
