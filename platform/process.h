// Process port: start a program from a Windows-style command line with three pipes and a
// console (terminal) of its own, feed its standard input, collect its output.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vp {

// Which step of a start failed; the runner turns each into its own failure text.
enum class SpawnError {
  kNone,
  kStdoutPipe,
  kStderrPipe,
  kStdinPipe,
  kDuplicateHandle,
  kLaunch,
};

struct SpawnRequest {
  std::string commandLine;  // split the way Windows splits it; program resolved from it
  std::string_view stdinBytes;
  bool captureStdout = true;  // when off, standard output is drained and discarded
  bool captureStderr = true;
  // Milliseconds the child may take; when they pass, the child and everything else in its
  // session are killed. 0 waits for as long as it takes.
  int timeoutMs = 0;
};

struct SpawnResult {
  SpawnError error = SpawnError::kNone;
  std::string out;        // everything the child wrote to standard output
  std::string err;        // everything the child wrote to standard error
  int exitStatus = -1;    // the child's exit code; -1 when it did not exit by itself
  int termSignal = 0;     // the signal that ended the child; 0 when none did
  bool timedOut = false;  // the limit passed and the child was killed
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Runs the child to the end of its output (all pipes drained concurrently) and reaps it, or
  // kills it when the request's limit passes first.
  virtual SpawnResult Run(const SpawnRequest& request) = 0;
};

// The process's launcher: the platform's own unless a test installed another (not owned;
// null restores the platform's).
ProcessLauncher& GetProcessLauncher();
void SetProcessLauncher(ProcessLauncher* launcher);
// The platform's own launcher (process_pty.cpp on POSIX, process_pipes.cpp on Windows).
ProcessLauncher& PlatformProcessLauncher();

// Splits a command line into arguments exactly as the Windows C runtime does (quotes,
// backslashes before quotes, doubled quotes inside quotes). The first argument follows the
// program-name rule: it ends at the first blank outside quotes and backslashes are literal.
std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine);

// Puts `arg` between double quotes so that SplitWindowsCommandLine (and the C runtime) gives
// it back as one argument, unchanged: a backslash goes before each quote, and backslashes are
// doubled only where a quote (or the closing quote) follows them. Not for the program name,
// which knows no escapes.
std::string QuoteWindowsArgument(std::string_view arg);

// Resolves the program of a command line whose program path is not quoted and holds blanks:
// of the blank-separated prefixes, the longest that names an existing file wins (so a stray
// "C:\Program" file cannot capture "C:\Program Files\..."); with none existing, the first
// word is taken and the start will fail. Returns the program path and sets *restOffset to where
// its arguments start in commandLine. `exists` decides what exists.
std::string ResolveUnquotedProgram(std::string_view commandLine, size_t* restOffset,
                                   bool (*exists)(const std::string&));

// Asks the desktop to open `path` with the program associated with its type (xdg-open on
// POSIX). Answers as the system's shell does: above 32 when done, else its error number (31
// when no program could be started for the file, 2 when the file is missing).
int OpenWithDesktop(const std::string& path);

}  // namespace vp
