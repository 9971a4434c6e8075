// The timer's expiry check, the clear command, and the agent's reload.
#include "control/passphrase_expiry.h"

#include <cstring>
#include <string>

#include "hooklib/core/trace.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/passphrase.h"
#include "platform/clock.h"
#include "platform/process.h"

namespace vp::control {
namespace {

// Empties the passphrase and moves time_start to now; says whether one was cached.
bool Forget(SharedSettings& s) {
  bool cached = s.passphrase[0] != '\0';
  std::memset(s.passphrase, 0, sizeof s.passphrase);
  s.time_start = static_cast<int32_t>(GetClock().Now());
  return cached;
}

}  // namespace

bool CacheExpired(int64_t now, int32_t start, uint32_t intervalMinutes) {
  return PassphraseExpired(now, start, intervalMinutes);
}

bool ExpiryTick(SharedSettings& s, bool agentMode) {
  if (!CacheExpired(GetClock().Now(), s.time_start, s.cacheInterval)) return false;
  // A tick with nothing cached has nothing for the agent to forget either: our loopback runs
  // left in it only what we had cached.
  if (Forget(s) && !agentMode) ReloadGnuPGAgent(s.szGpgApp);
  return true;
}

void ClearPassphrase(SharedSettings& s, bool agentMode) {
  Forget(s);
  if (!agentMode) ReloadGnuPGAgent(s.szGpgApp);
}

void ReloadGnuPGAgent(const char* gpgPath) {
  char path[sizeof SharedSettings{}.szGpgApp];
  std::strncpy(path, gpgPath, sizeof path - 1);
  path[sizeof path - 1] = '\0';
  GnuPGVersion version = ProgramVersion(path);
  if (!version.known || version.major < 2) return;
  std::string program(path);
  size_t slash = program.find_last_of("/\\");
  std::string folder = slash == std::string::npos ? "" : program.substr(0, slash + 1);
  bool windows = program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
  std::string gpgconf = folder + (windows ? "gpgconf.exe" : "gpgconf");
  SpawnRequest request;
  request.commandLine = "\"" + gpgconf + "\" --reload gpg-agent";
  request.timeoutMs = kVersionQueryLimitMs;
  SpawnResult r = GetProcessLauncher().Run(request);
  WriteTrace("gpgconf --reload gpg-agent: %s, exit %d%s", gpgconf.c_str(), r.exitStatus,
             r.error != SpawnError::kNone ? ", did not start"
             : r.timedOut                 ? ", timed out"
                                          : "");
}

}  // namespace vp::control
