// The GnuPG process runner: one run of the configured GnuPG program with the fixed command
// frame, fed through standard input, its whole output collected into the run result.
#pragma once
#include <string>
#include <vector>

namespace vp {

struct RunnerSwitches {
  bool captureStdout = true;  // off: standard output is drained and discarded
  bool captureStderr = true;
  bool answerYes = false;  // on: "Y\n" follows the passphrase line on standard input
};

// The process's switches (per process, unlocked).
RunnerSwitches& GnuPGSwitches();

// Runs GnuPG with `options` in the frame, then -o "outputFile" and -- "inputFile" when given
// (a file name or key pattern: the one operand, never read as an option).
// Writes stdinText and a line feed (and "Y\n" with answer-yes) to its standard input. Returns
// the run result: standard output followed by standard error, or "GPGERR: " and the failure
// text when the run did not start or GnuPG did not answer within GpgTimeout (then it was
// killed). The buffer belongs to the runner; the next run overwrites it.
char* RunGnuPG(const char* options, const char* inputFile, const char* outputFile,
               const char* stdinText);

// The same with several operands after "--" (key patterns) and no output file.
char* RunGnuPG(const char* options, const std::vector<std::string>& operands,
               const char* stdinText);

// How the child of the latest run ended, which its output does not tell.
struct RunEnd {
  int exitCode = -1;  // GnuPG's exit code; -1 when it did not exit by itself or did not start
  int signal = 0;     // the signal that ended it; 0 when none did
};
const RunEnd& LastRunEnd();

// The check every caller makes after a run: a run that did not start, did not answer in time
// or was killed by a signal is shown to the user (the run's own text, or which signal ended
// GnuPG) and yields true. Its output is then no answer at all: never "no key", never success.
bool RunFailed(const char* result);

// The capacity of the run result buffer (grows in steps of 4096, never shrinks).
size_t RunResultCapacity();

// The command line of the latest run, as traced.
const std::string& LastCommandLine();

constexpr const char* kRunFailurePrefix = "GPGERR: ";

}  // namespace vp
