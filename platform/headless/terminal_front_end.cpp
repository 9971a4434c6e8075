// The terminal front end: boxes and dialogs drawn as text on the controlling terminal.
#include <memory>

#include "platform/headless/front_ends.h"

namespace vp::headless {

// Until the terminal drawing lands, a terminal user is treated like no user at all.
std::unique_ptr<UserInterface> MakeTerminalUi() {
  return nullptr;
}

}  // namespace vp::headless
