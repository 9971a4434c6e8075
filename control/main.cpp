// corvane: the control program kept running beside the mail client. It reaches the shared
// settings through the hook library, which keeps the segment alive while it runs.
#include <cstdlib>

#include "control/control_program.h"
#include "platform/segment.h"

extern "C" vp::SharedSettings* VeilpostSharedSettings();

int main() {
  int tickMs = 60000;  // the expiry timer's period; tests shorten it
  if (const char* env = std::getenv("VEILPOST_TICK_MS")) {
    long ms = std::strtol(env, nullptr, 10);
    if (ms > 0 && ms <= 60000) tickMs = static_cast<int>(ms);
  }
  try {
    return vp::control::RunControlProgram(VeilpostSharedSettings(), tickMs);
  } catch (...) {
    return 0;
  }
}
