// The version of a GnuPG program, learnt once per program path.
#pragma once
#include <string>

namespace vp {

// How long a "--version" run may take: the question is trivial, so a program that does not
// answer it soon is stuck, and whoever asked must not wait on it.
constexpr int kVersionQueryLimitMs = 5000;

struct GnuPGVersion {
  bool known = false;
  bool timedOut = false;  // the program did not answer within the version limit
  int major = 0;
  int minor = 0;
  int patch = 0;
  // 2.1 and later ignore a passphrase on fd 0 unless asked for loopback pinentry.
  bool NeedsLoopback() const { return known && (major > 2 || (major == 2 && minor >= 1)); }
};

// Runs "path --version" the first time a path is asked for and remembers the answer for the
// life of the process. Unknown when the program does not start or prints no version; unknown
// and timed out when it did not answer within the version limit (or GpgTimeout, when shorter).
GnuPGVersion ProgramVersion(const std::string& path);

// Parses the first line of "--version" output ("gpg (GnuPG) 2.2.40").
GnuPGVersion ParseGnuPGVersion(const std::string& text);

// The limit of a "--version" run in milliseconds: the version limit, or GpgTimeout when set and
// shorter.
int VersionQueryLimitMs();

}  // namespace vp
