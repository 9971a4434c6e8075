// Default GnuPG locations on POSIX systems.
#include "platform/default_paths.h"

#include <cstdlib>

namespace vp {

const char* kDefaultGpgPath = "/usr/bin/gpg";
const char* kDefaultGpg2Path = "/usr/bin/gpg2";
const char* const kGpg2FileName = "gpg2";

std::string DefaultGnuPGHome() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) + "/.gnupg" : "";
}

}  // namespace vp
