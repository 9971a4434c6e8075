// The process's virtual window system: top-level windows in one plain table shared by every copy.
//
// The host program and the library it loads each carry their own static copy of this code, yet a
// process has one window system: the host exports its table as the C symbol
// `veilpost_host_windows`, and every copy uses that table when the symbol is present, else its
// own. The table is plain data with a magic number and record size, so two copies agree on it.
// No locking: the system shows its windows from one thread.
#pragma once
#include <cstdint>

#include "platform/ui.h"

namespace vp {

// One top-level window. Rectangles are in screen pixels, inclusive-exclusive.
struct WindowObject {
  int32_t used;
  int32_t enabled;
  int32_t left, top, right, bottom;
  char className[64];
  char title[256];
};

namespace headless {

constexpr uint32_t kWindowTableMagic = 0x56504857u;  // "VPHW"
constexpr int kMaxWindows = 64;

struct WindowTable {
  uint32_t magic;
  uint32_t recordSize;
  int32_t capacity;
  WindowObject windows[kMaxWindows];
};

// This copy's own table (used when the host exports none); always valid.
WindowTable& OwnWindowTable();
// The table of the process: the host's when it exports one with the same layout, else our own.
WindowTable& ProcessWindowTable();

// Adds a window to `table` (enabled); class and title are cut to fit. Null when the table is full.
WindowHandle RegisterWindowIn(WindowTable& table, const char* className, const char* title,
                              const Rect& rect);
// Adds a window to the process's table; null when it is full.
WindowHandle RegisterWindow(const char* className, const char* title, const Rect& rect);
// Removes a window; a null or unknown handle is ignored.
void UnregisterWindow(WindowHandle window);

// True when `window` is a live window of the process's table (null and stale handles are not).
bool IsLiveWindow(WindowHandle window);
// The first live window whose class name equals `className` exactly, or null.
WindowHandle FindWindowOfClass(const char* className);
// Renames a live window (cut to fit); others are ignored.
void SetWindowTitle(WindowHandle window, const char* title);

// The screen size: VEILPOST_SCREEN=WxH when set and valid, else 1024 by 768.
void VirtualScreenSize(int* width, int* height);

}  // namespace headless
}  // namespace vp
