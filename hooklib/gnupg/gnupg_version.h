// The version of a GnuPG program, learnt once per program path.
#pragma once
#include <string>

namespace vp {

struct GnuPGVersion {
  bool known = false;
  int major = 0;
  int minor = 0;
  int patch = 0;
  // 2.1 and later ignore a passphrase on fd 0 unless asked for loopback pinentry.
  bool NeedsLoopback() const { return known && (major > 2 || (major == 2 && minor >= 1)); }
};

// Runs "path --version" the first time a path is asked for and remembers the answer for the
// life of the process. Unknown when the program does not start or prints no version.
GnuPGVersion ProgramVersion(const std::string& path);

// Parses the first line of "--version" output ("gpg (GnuPG) 2.2.40").
GnuPGVersion ParseGnuPGVersion(const std::string& text);

}  // namespace vp
