// The configuration dialog: cache interval, GnuPG agent and program, saved as they change.
#pragma once
#include <cstdint>
#include <string>

#include "control/control_settings.h"
#include "platform/ui.h"

namespace vp::control {

// The largest cache interval taken from the dialog, in minutes: times 60 it still fits a signed
// 32-bit limit, so a huge entry cannot turn into a negative one that expires at every tick.
constexpr uint32_t kMaxCacheMinutes = 99999;

// The typed minutes as a decimal number (leading blanks and a sign allowed, stopping at the
// first non-digit, no digits giving 0), clamped to 0..kMaxCacheMinutes.
uint32_t ParseCacheMinutes(const std::string& text);

// Whether a GnuPG program's file name marks the agent-driven GnuPG ("gpg2", with or without
// ".exe", ignoring case).
bool IsGpg2Program(const std::string& path);

// Shows template 110 (GnuPG edition) or 103, owned by `owner`; returns the dialog's result.
intptr_t RunConfigurationDialog(ControlState& state, WindowHandle owner);

}  // namespace vp::control
