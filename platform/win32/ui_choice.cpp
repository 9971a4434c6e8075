// Ui() and SetUi() on Windows: the real user interface, answered from a script when VEILPOST_UI
// names one ("script:FILE").
#include <cstdlib>
#include <string>

#include "platform/win32/win_ui.h"

namespace vp {
namespace {

// Never destroyed: a library's unload code may still show a box after static destructors ran.
UserInterface* g_ui = nullptr;

}  // namespace

UserInterface& Ui() {
  if (!g_ui) {
    const char* env = getenv("VEILPOST_UI");
    std::string choice = env ? env : "";
    g_ui = new win32::Win32Ui(choice.rfind("script:", 0) == 0 ? choice.substr(7) : "");
  }
  return *g_ui;
}

void SetUi(std::unique_ptr<UserInterface> ui) {
  delete g_ui;
  g_ui = ui.release();
}

}  // namespace vp
