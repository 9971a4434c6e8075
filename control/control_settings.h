// The control program's settings: what it reads at start and writes back when they change.
#pragma once
#include "platform/segment.h"

namespace vp::control {

struct ControlState {
  SharedSettings* shared = nullptr;  // cacheInterval and szGpgApp live here
  bool gnupgEdition = false;
  bool useAgent = false;
  bool startMin = false;
  bool trayMin = false;
};

// Reads the configuration key; a missing cache interval (and, in the GnuPG edition, program
// path) gets its default, which is written back.
void LoadSettings(ControlState& state);
// Writes every setting back, one error box per write that fails.
void SaveSettings(const ControlState& state);

// The control program's message boxes: no owner, its own captions.
void ShowControlInformation(const char* text);
void ShowControlError(const char* text);

}  // namespace vp::control
