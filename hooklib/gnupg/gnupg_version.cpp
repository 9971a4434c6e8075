// Learns the version of each GnuPG program once.
#include "hooklib/gnupg/gnupg_version.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "hooklib/core/settings.h"
#include "hooklib/core/trace.h"
#include "platform/process.h"

namespace vp {

GnuPGVersion ParseGnuPGVersion(const std::string& text) {
  GnuPGVersion v;
  std::string first = text.substr(0, text.find_first_of("\r\n"));
  // "gpg (GnuPG) 2.2.40", but distributions brand the parenthesis: "(GnuPG/MacGPG2) 2.2.41".
  size_t at = first.find("(GnuPG");
  if (at != std::string::npos) at = first.find(") ", at);
  if (at == std::string::npos) return v;
  if (sscanf(first.c_str() + at + 2, "%d.%d.%d", &v.major, &v.minor, &v.patch) >= 2) {
    v.known = true;
  }
  return v;
}

int VersionQueryLimitMs() {
  uint32_t seconds = GnuPGTimeoutSeconds();
  if (seconds == 0 || seconds >= static_cast<uint32_t>(kVersionQueryLimitMs / 1000)) {
    return kVersionQueryLimitMs;
  }
  return static_cast<int>(seconds) * 1000;
}

GnuPGVersion ProgramVersion(const std::string& path) {
  static std::map<std::string, GnuPGVersion> known;
  auto it = known.find(path);
  if (it != known.end()) return it->second;

  SpawnRequest request;
  request.commandLine = path + " --version";
  request.timeoutMs = VersionQueryLimitMs();
  SpawnResult result = GetProcessLauncher().Run(request);
  GnuPGVersion v;
  if (result.error == SpawnError::kNone && !result.timedOut) v = ParseGnuPGVersion(result.out);
  v.timedOut = result.timedOut;
  WriteTrace("%s", request.commandLine.c_str());
  if (v.timedOut) {
    WriteTrace("GnuPG did not answer --version within %d ms and was stopped.", request.timeoutMs);
  } else if (v.known) {
    WriteTrace("GnuPG version: %d.%d.%d", v.major, v.minor, v.patch);
  } else {
    WriteTrace("GnuPG version not recognised in the --version output.");
  }
  // An unknown answer is not remembered: the program may be installed later in this process.
  if (v.known) known[path] = v;
  return v;
}

}  // namespace vp
