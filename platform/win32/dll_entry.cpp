// The DLL's entry point: process attach and detach run the library's start-up and shut-down.
#include <windows.h>

#include <commctrl.h>

#include "hooklib/core/startup.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      // Thread notifications are never needed.
      DisableThreadLibraryCalls(instance);
      // The dialogs use the common controls (the up-down control among them).
      INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                    ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
      InitCommonControlsEx(&controls);
      vp::ProcessAttach();
    } else if (reason == DLL_PROCESS_DETACH) {
      vp::ProcessDetach();
    }
  } catch (...) {
    // A library that cannot finish its start-up still loads; its calls report failures.
  }
  return TRUE;
}
