// Fault injection: named call sites that fail on demand, so every failure path can be tested.
#pragma once
#include <string>

namespace vp {

// True when the current call at `site` is to fail. Sites are configured in-process with
// SetFaults or, for other processes, from the environment variable VEILPOST_FAULTS at first
// use. A fault plan is a comma-separated list of "site@N" (fail the Nth call, counting from 1),
// "site@N+" (the Nth and every later call) or "site@*" (every call); malformed entries are
// ignored.
//
// Sites of the platform ports:
//   registry.open         RegistryOpenOrCreate fails
//   registry.read         RegistryReadDword / RegistryReadString fail
//   registry.write        RegistryWriteDword / RegistryWriteString fail, the file unchanged
//   files.overwrite       a pass of WipeFill fails with ENOSPC (LastErrorText tells it)
//   files.flush           WipeFlush fails with EIO
//   files.write           a write of WriteFileContent fails with ENOSPC (a full disk)
//   process.stdout_pipe   the launcher reports SpawnError::kStdoutPipe
//   process.stderr_pipe   ... kStderrPipe
//   process.stdin_pipe    ... kStdinPipe
//   process.dup           the child cannot set up its standard handles: kDuplicateHandle
//   process.terminal      no pseudo-terminal for the child: kLaunch
bool FaultHit(const char* site);

// Replaces the configuration and resets all call counters; an empty plan disables faults.
void SetFaults(const std::string& plan);

}  // namespace vp
