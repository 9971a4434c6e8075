// The GnuPG process runner.
#include "hooklib/gnupg/runner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hooklib/core/messages.h"
#include "hooklib/core/settings.h"
#include "hooklib/core/trace.h"
#include "hooklib/gnupg/command_line.h"
#include "hooklib/gnupg/gnupg_version.h"
#include "hooklib/gnupg/text_utils.h"
#include "platform/process.h"

namespace vp {
namespace {

constexpr size_t kStep = 4096;

// The longest limit a run takes: its milliseconds still fit the launcher's count.
constexpr uint32_t kLongestLimitSeconds = 2000000;

char* g_result = nullptr;
size_t g_capacity = 0;
std::string g_last_command;
RunEnd g_last_end;

void ResetResult() {
  if (!g_result) {
    g_result = static_cast<char*>(calloc(kStep, 1));
    g_capacity = g_result ? kStep : 0;
  }
  if (g_result) g_result[0] = '\0';
}

// Appends as the pipe reads deliver it: in chunks of at most 4096 bytes, growing by one step.
void AppendChunked(const std::string& bytes) {
  if (!g_result) return;
  size_t used = strlen(g_result);
  for (size_t off = 0; off < bytes.size(); off += kStep) {
    size_t n = std::min(kStep, bytes.size() - off);
    if (used + n > g_capacity - 1) {
      char* grown = static_cast<char*>(realloc(g_result, g_capacity + kStep));
      if (!grown) return;
      memset(grown + g_capacity, 0, kStep);
      g_result = grown;
      g_capacity += kStep;
    }
    memcpy(g_result + used, bytes.data() + off, n);
    used += n;
    g_result[used] = '\0';
  }
}

char* Fail(const char* text) {
  ResetResult();
  AppendChunked(std::string(kRunFailurePrefix) + text);
  return g_result;
}

const char* FailureText(SpawnError error) {
  switch (error) {
    case SpawnError::kStdoutPipe:
      return "STDOUT pipe creation failed\n";
    case SpawnError::kStderrPipe:
      return "STDERR pipe creation failed\n";
    case SpawnError::kStdinPipe:
      return "STDIN pipe creation failed\n";
    case SpawnError::kDuplicateHandle:
      return "DuplicateHandle failed";
    case SpawnError::kLaunch:
    case SpawnError::kNone:
      break;
  }
  return "Unable to launch gpg.exe. Please check the program path.";
}

char* FailNoAnswer(int limitMs) {
  WriteTrace("GnuPG did not answer within %d ms and was stopped.", limitMs);
  char text[160];
  snprintf(text, sizeof text,
           "GnuPG did not answer within %d second(s) and was stopped. The operation did not take "
           "place.",
           (limitMs + 999) / 1000);
  return Fail(text);
}

}  // namespace

RunnerSwitches& GnuPGSwitches() {
  static RunnerSwitches switches;
  return switches;
}

size_t RunResultCapacity() {
  return g_capacity;
}
const std::string& LastCommandLine() {
  return g_last_command;
}
const RunEnd& LastRunEnd() {
  return g_last_end;
}

bool RunFailed(const char* result) {
  if (StartsWith(result, kRunFailurePrefix)) {
    ShowError("%s", result + strlen(kRunFailurePrefix));
    return true;
  }
  if (g_last_end.signal == 0) return false;
  WriteTrace("GnuPG was ended by signal %d.", g_last_end.signal);
  ShowError("GnuPG was ended by signal %d before it finished. The operation did not take place.",
            g_last_end.signal);
  return true;
}

namespace {

char* RunLine(std::string line, const char* stdinText) {
  g_last_command = line;
  // A cut command line could lose a recipient or name another file: refuse it instead.
  std::string problem = CommandLineProblem(line);
  if (!problem.empty()) {
    WriteTrace("Command line refused (%zu characters): %s", line.size(), problem.c_str());
    return Fail(problem.c_str());
  }
  WriteTrace("%s", line.c_str());

  const RunnerSwitches& sw = GnuPGSwitches();
  std::string input = std::string(stdinText ? stdinText : "") + "\n";
  if (sw.answerYes) input += "Y\n";

  SpawnRequest request;
  request.commandLine = line;
  request.stdinBytes = input;
  request.captureStdout = sw.captureStdout;
  request.captureStderr = sw.captureStderr;
  request.timeoutMs =
      static_cast<int>(std::min(GnuPGTimeoutSeconds(), kLongestLimitSeconds) * 1000);
  SpawnResult result = GetProcessLauncher().Run(request);
  // The passphrase line is no longer needed in this process's memory.
  std::fill(input.begin(), input.end(), '\0');
  if (result.error != SpawnError::kNone) return Fail(FailureText(result.error));
  if (result.timedOut) return FailNoAnswer(request.timeoutMs);
  g_last_end.exitCode = result.exitStatus;
  g_last_end.signal = result.termSignal;

  ResetResult();
  if (sw.captureStdout) AppendChunked(result.out);
  if (sw.captureStderr) AppendChunked(result.err);
  return g_result;
}

// A program that cannot even tell its version in time would hang any run as well.
bool VersionTimedOut() {
  return !Settings().bUseAgent && ProgramVersion(Settings().szGpgApp).timedOut;
}

}  // namespace

char* RunGnuPG(const char* options, const char* inputFile, const char* outputFile,
               const char* stdinText) {
  g_last_end = RunEnd{};
  if (VersionTimedOut()) return FailNoAnswer(VersionQueryLimitMs());
  return RunLine(GnuPGCommandLine(options, inputFile, outputFile), stdinText);
}

char* RunGnuPG(const char* options, const std::vector<std::string>& operands,
               const char* stdinText) {
  g_last_end = RunEnd{};
  if (VersionTimedOut()) return FailNoAnswer(VersionQueryLimitMs());
  return RunLine(GnuPGCommandLine(options, operands), stdinText);
}

}  // namespace vp
