// Ui() and SetUi(): the process's user interface, chosen from VEILPOST_UI at first use.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/headless/front_ends.h"
#include "platform/ui.h"

namespace vp {
namespace {

// Never destroyed: a library's unload code may still show a box after static destructors ran.
UserInterface* g_ui = nullptr;

std::unique_ptr<UserInterface> FromEnvironment() {
  const char* env = getenv("VEILPOST_UI");
  std::string choice = env ? env : "";
  if (choice.rfind("script:", 0) == 0) return headless::MakeScriptUi(choice.substr(7));
  if (choice == "none") return headless::MakeNoneUi();
  if (choice == "terminal" || (choice.empty() && isatty(0) && isatty(1))) {
    if (auto ui = headless::MakeTerminalUi()) return ui;
    fprintf(stderr, "veilpost: no terminal to ask on; every prompt is cancelled\n");
  } else if (!choice.empty()) {
    fprintf(stderr, "veilpost: unknown VEILPOST_UI \"%s\"; every prompt is cancelled\n",
            choice.c_str());
  }
  return headless::MakeNoneUi();
}

}  // namespace

UserInterface& Ui() {
  if (!g_ui) g_ui = FromEnvironment().release();
  return *g_ui;
}

void SetUi(std::unique_ptr<UserInterface> ui) {
  delete g_ui;
  g_ui = ui.release();
}

}  // namespace vp
