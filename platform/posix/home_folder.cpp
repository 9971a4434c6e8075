// The user's home folder from the password database.
#include "platform/posix/home_folder.h"

#include <pwd.h>
#include <unistd.h>

namespace vp {

std::string PasswordHomeFolder() {
  struct passwd pw;
  struct passwd* found = nullptr;
  char buf[4096];
  if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return "";
}

}  // namespace vp
