// The host on Windows: the client's main window is a real top-level window of the class the
// library looks for, and orlavex.dll is loaded by name as the client loads it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/commands.h"
#include "host/library.h"

namespace vphost {

void OpenClientWindow() {
  static HWND frame = [] {
    WNDCLASSA cls{};
    cls.lpfnWndProc = DefWindowProcA;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    cls.lpszClassName = "NOTESframe";
    RegisterClassA(&cls);
    HWND window = CreateWindowExA(0, "NOTESframe", "Veilpost Mail", WS_OVERLAPPEDWINDOW, 0, 0, 800,
                                  600, nullptr, nullptr, cls.hInstance, nullptr);
    if (window) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
  }();
  (void)frame;
}

void* LoadHookLibrary() {
  // The DLL beside the program first, then the system's search order.
  char self[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
  HMODULE lib = nullptr;
  if (n > 0 && n < sizeof self) {
    char* slash = strrchr(self, '\\');
    if (slash && static_cast<size_t>(slash - self) + sizeof "\\orlavex.dll" <= sizeof self) {
      strcpy(slash, "\\orlavex.dll");
      lib = LoadLibraryA(self);
    }
  }
  if (!lib) lib = LoadLibraryA("orlavex.dll");
  if (!lib) {
    fprintf(stderr, "veilpost: cannot load orlavex.dll: error %lu\n", GetLastError());
    exit(1);
  }
  return reinterpret_cast<void*>(lib);
}

void* FindExport(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// The embedded Notes store's tools and the status report (which reads the POSIX registry file)
// exist in the POSIX build only.
void AddNotesCommands(CLI::App& app) {
  (void)app;
}
void AddStatusCommand(CLI::App& app) {
  (void)app;
}

}  // namespace vphost
