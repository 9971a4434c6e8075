// Where GnuPG is looked for when the configuration names no existing program.
#pragma once
#include <string>

namespace vp {

// The first and second default GnuPG program paths of this platform. Tests may point them
// elsewhere to stand for machines with other programs installed.
extern const char* kDefaultGpgPath;
extern const char* kDefaultGpg2Path;
// The file name that tells the agent-driven GnuPG apart (compared case-sensitively).
extern const char* const kGpg2FileName;

// GnuPG's home folder when GNUPGHOME is not set: ~/.gnupg, or %APPDATA%\gnupg on Windows;
// "" when the variable it comes from is not set.
std::string DefaultGnuPGHome();

}  // namespace vp
