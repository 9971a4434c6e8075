// Shared segment port: the settings block that every process loading the library sees.
#pragma once
#include <cstdint>

#include "veilpost_version.h"

namespace vp {

// The shared variables, in their order. Texts are zero-terminated in fixed arrays; flags are
// 32-bit values used as booleans.
struct SharedSettings {
  char szPgpKey[256];
  char passphrase[256];
  int32_t time_start;
  uint32_t cacheInterval;
  uint32_t bShowProcAttDialog;
  uint32_t bShowMailSignDialog;
  uint32_t bShowFileSignDialog;
  uint32_t bShowAttLaunchDialog;
  uint32_t bAutoOpenPgpMail;
  uint32_t bUseAgent;
  char defaultDirectory[256];
  char szVersion[256];
  char szGpgApp[256];
};

// The initial values, which the segment holds when the first process attaches. A constant, so
// that a data section can hold them from the image itself.
inline constexpr SharedSettings kInitialSharedSettings = {
    {}, {}, 0, 0, 1, 1, 1, 1, 1, 0, {}, "Veilpost Ver " VEILPOST_VERSION " for GnuPG", {}};
void InitialSharedSettings(SharedSettings* s);

// Maps the segment into this process, creating it with the initial values when no other
// process has it. Returns the process's view, or null when the segment cannot be had (then
// SharedSettingsFailure says why). Idempotent within a process; a child forked from an attached
// process is attached too.
SharedSettings* AttachSharedSettings();

// Unmaps the segment; the last process to detach removes it, so the next first attach starts
// from the initial values again (also after a crash of another process). A segment that another
// process still holds is never removed.
void DetachSharedSettings();

// Why the last AttachSharedSettings returned null; "" after a successful one.
const char* SharedSettingsFailure();

// The view mapped by AttachSharedSettings, or null before it.
SharedSettings* SharedSettingsView();

}  // namespace vp
