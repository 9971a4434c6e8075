// What the demonstration needs from the operating system: running a person's process, stopping
// on Ctrl-C, a private working folder, the person's settings and the Notes directory. The story
// itself (demo_command.cpp) is the same on every system; demo_posix.cpp and
// win32/demo_win32.cpp provide these.
#pragma once
#include <map>
#include <string>
#include <vector>

namespace vphost::demo {

// Extra environment of a child; an empty value removes the variable.
using Env = std::map<std::string, std::string>;

struct RunLimits {
  int seconds = 0;              // 0: no time limit
  bool dots = false;            // a dot on standard output for each second the child works
  size_t maxOutput = 16 << 20;  // a child that writes more is stopped
  std::string folder;           // the child's working folder; "" for the demo's own
};

// Runs argv with extra environment; returns the exit status (-1 when it did not run, was
// stopped or passed a limit) and its standard output. Standard error goes to *err when given,
// else it is dropped. A stop request ends the child.
int Run(const std::vector<std::string>& argv, const Env& env, std::string* out,
        std::string* err = nullptr, const RunLimits& limits = {});

// From now on Ctrl-C (and the system's other requests to stop) only sets StopRequest().
void CatchStopRequests();
// The request that asked the demo to stop, 0 while none did.
int StopRequest();
// Says which request stopped the demo and ends the process as that request would have.
[[noreturn]] void EndByStopRequest(int request);

// Makes a new private folder for the demo in the temporary folder; "" with *error on failure.
std::string MakeWorkFolder(std::string* error);
// This program's own path, to start `veilpost call` from.
std::string SelfPath();
// The GnuPG used when none is named.
std::string DefaultGnuPG();
// Whether `program` names a file that can be run.
bool CanRun(const std::string& program);

// The value of VEILPOST_UI that has the dialogs answered by the person at the screen.
std::string InteractiveUi();

// Gives one person's process its settings (the GnuPG program, no agent mode): the environment
// that selects them. `home` is the person's folder. Restored by RestoreSettings.
Env PersonSettings(const std::string& home, const std::string& gpg);
void RestoreSettings();

struct DirectoryPerson {
  std::string fullName;  // canonical
  std::string shortName;
  std::string mail;
};
struct DirectoryGroup {
  std::string name;
  std::vector<std::string> members;
};
// Makes the Notes directory `file` in `folder` (the folder VEILPOST_NOTES_DATA names) holding
// the people and groups; "" on success, else what went wrong.
std::string MakeDirectory(const std::string& folder, const std::string& file,
                          const std::vector<DirectoryPerson>& people,
                          const std::vector<DirectoryGroup>& groups);

// Ends the GnuPG agents a GnuPG 2 left running for the key rings in `homes`.
void EndAgents(const std::string& gpg, const std::vector<std::string>& homes);

}  // namespace vphost::demo
