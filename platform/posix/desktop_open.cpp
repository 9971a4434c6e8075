// Opening a file with its associated program through xdg-open.
#include "platform/process.h"
#include "platform/ui.h"

namespace vp {
namespace {

// xdg-open's exit codes: 0 done, 1 bad arguments, 2 file missing, 3 a needed tool missing,
// 4 the action failed (no program for the type, no desktop).
constexpr int kXdgFileMissing = 2;
constexpr int kShellFileNotFound = 2;
constexpr int kShellTimedOut = 28;
// xdg-open returns once the program is started; one that has not after this long is stopped.
constexpr int kStartLimitMs = 30000;

}  // namespace

int OpenWithDesktop(const std::string& path) {
  SpawnRequest request;
  // xdg-open knows no "--": a relative name such as "--help" is made a path it cannot take
  // for an option.
  const std::string operand = (!path.empty() && path[0] == '-') ? "./" + path : path;
  request.commandLine = "xdg-open " + QuoteWindowsArgument(operand);
  request.captureStdout = false;
  request.timeoutMs = kStartLimitMs;
  SpawnResult result = GetProcessLauncher().Run(request);
  if (result.error != SpawnError::kNone) return kShellNoAssociation;
  if (result.timedOut) return kShellTimedOut;
  if (result.exitStatus == 0) return kShellOpened;
  if (result.exitStatus == kXdgFileMissing) return kShellFileNotFound;
  return kShellNoAssociation;
}

}  // namespace vp
