// Default GnuPG locations on Windows.
#include "platform/default_paths.h"

#include <cstdlib>

namespace vp {

const char* kDefaultGpgPath = "C:\\Program Files\\GNU\\GnuPG\\gpg.exe";
const char* kDefaultGpg2Path = "C:\\Program Files\\GNU\\GnuPG\\gpg2.exe";
const char* const kGpg2FileName = "gpg2.exe";

std::string DefaultGnuPGHome() {
  const char* appData = std::getenv("APPDATA");
  return appData && *appData ? std::string(appData) + "\\gnupg" : "";
}

}  // namespace vp
