// The process's virtual window system: the shared plain table and the operations on it.
#include "platform/headless/window_table.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vp::headless {
namespace {

// Constant-initialised, so it is usable from any static constructor.
WindowTable g_own_table = {kWindowTableMagic, sizeof(WindowObject), kMaxWindows, {}};

void CopyCut(char* target, size_t capacity, const char* text) {
  snprintf(target, capacity, "%s", text ? text : "");
}

bool InTable(const WindowTable& table, WindowHandle window) {
  const WindowObject* first = table.windows;
  const WindowObject* end = table.windows + table.capacity;
  return window >= first && window < end;
}

}  // namespace

WindowTable& OwnWindowTable() {
  return g_own_table;
}

WindowTable& ProcessWindowTable() {
  static WindowTable* table = [] {
    using Lookup = void* (*)();
    auto lookup = reinterpret_cast<Lookup>(dlsym(RTLD_DEFAULT, "veilpost_host_windows"));
    auto* host = lookup ? static_cast<WindowTable*>(lookup()) : nullptr;
    // A table of another layout is not ours to write into.
    if (host && host->magic == kWindowTableMagic && host->recordSize == sizeof(WindowObject) &&
        host->capacity > 0 && host->capacity <= kMaxWindows)
      return host;
    return &g_own_table;
  }();
  return *table;
}

WindowHandle RegisterWindowIn(WindowTable& table, const char* className, const char* title,
                              const Rect& rect) {
  for (int i = 0; i < table.capacity; ++i) {
    WindowObject& w = table.windows[i];
    if (w.used) continue;
    w = WindowObject{};
    w.used = 1;
    w.enabled = 1;
    w.left = rect.left;
    w.top = rect.top;
    w.right = rect.right;
    w.bottom = rect.bottom;
    CopyCut(w.className, sizeof w.className, className);
    CopyCut(w.title, sizeof w.title, title);
    return &w;
  }
  return nullptr;
}

WindowHandle RegisterWindow(const char* className, const char* title, const Rect& rect) {
  return RegisterWindowIn(ProcessWindowTable(), className, title, rect);
}

void UnregisterWindow(WindowHandle window) {
  if (IsLiveWindow(window)) *window = WindowObject{};
}

bool IsLiveWindow(WindowHandle window) {
  return window && InTable(ProcessWindowTable(), window) && window->used;
}

WindowHandle FindWindowOfClass(const char* className) {
  if (!className) return nullptr;
  WindowTable& table = ProcessWindowTable();
  for (int i = 0; i < table.capacity; ++i) {
    WindowObject& w = table.windows[i];
    if (w.used && strcmp(w.className, className) == 0) return &w;
  }
  return nullptr;
}

void SetWindowTitle(WindowHandle window, const char* title) {
  if (IsLiveWindow(window)) CopyCut(window->title, sizeof window->title, title);
}

void VirtualScreenSize(int* width, int* height) {
  int w = 1024, h = 768;
  if (const char* env = getenv("VEILPOST_SCREEN")) {
    int pw = 0, ph = 0;
    char tail = 0;
    if (sscanf(env, "%dx%d%c", &pw, &ph, &tail) == 2 && pw > 0 && ph > 0) {
      w = pw;
      h = ph;
    }
  }
  if (width) *width = w;
  if (height) *height = h;
}

}  // namespace vp::headless
