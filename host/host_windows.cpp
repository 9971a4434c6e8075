// The host's window table, exported so the library it loads shares one window system with it.
#include "host/library.h"
#include "platform/headless/window_table.h"

// The mail client's main window exists from start-up, as the Notes frame does.
extern "C" __attribute__((visibility("default"))) void* veilpost_host_windows() {
  static vp::headless::WindowTable* table = [] {
    vp::headless::WindowTable& own = vp::headless::OwnWindowTable();
    vp::headless::RegisterWindowIn(own, "NOTESframe", "Veilpost Mail", vp::Rect{0, 0, 800, 600});
    return &own;
  }();
  return table;
}

namespace vphost {

void OpenClientWindow() {
  vp::headless::ProcessWindowTable();
}

}  // namespace vphost
