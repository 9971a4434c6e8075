// STUB, to be replaced by the Win32 user-interface port: until then every prompt of the Windows
// build is answered with Cancel (message boxes with Cancel, or No, or OK where that is the only
// button; dialogs end with IDCANCEL) and no window is found. It exists so that the DLL and the
// programs link and their non-interactive paths can be tested under Wine.
#include <windows.h>
// The port names its methods as the system does; the system's A/W macros must not rename them.
#undef MessageBox
#undef DialogBox

#include "platform/ui.h"

namespace vp {
namespace {

class CancelEverything : public UserInterface {
 public:
  int MessageBox(WindowHandle, const std::string&, const std::string&, unsigned style) override {
    switch (style & 0xF) {
      case kMbOk:
        return kIdOk;
      case kMbYesNo:
        return kIdNo;
      default:
        return kIdCancel;
    }
  }
  intptr_t DialogBox(const DialogTemplate&, WindowHandle, DialogProc, void*) override {
    return kIdCancel;
  }
  WindowHandle FindWindowByClass(const char*) override { return nullptr; }
  void EnableWindow(WindowHandle, bool) override {}
  bool IsWindowEnabled(WindowHandle) override { return true; }
  bool GetWindowRect(WindowHandle, Rect*) override { return false; }
  void MoveWindow(WindowHandle, int, int, int, int, bool) override {}
  void ScreenSize(int* width, int* height) override {
    *width = GetSystemMetrics(SM_CXSCREEN);
    *height = GetSystemMetrics(SM_CYSCREEN);
  }
  void BringToFront(WindowHandle, int) override {}
  bool SetClipboardText(WindowHandle, const std::string&) override { return false; }
};

UserInterface* g_ui = nullptr;

}  // namespace

UserInterface& Ui() {
  if (!g_ui) g_ui = new CancelEverything;
  return *g_ui;
}

void SetUi(std::unique_ptr<UserInterface> ui) {
  delete g_ui;
  g_ui = ui.release();
}

}  // namespace vp
