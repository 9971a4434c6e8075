// Access to the shared settings, with a private fallback when the segment is unavailable.
#include "hooklib/core/settings.h"

#include <cstring>

namespace vp {

SharedSettings& Settings() {
  if (SharedSettings* s = SharedSettingsView()) return *s;
  // Without the segment the library still works, only without sharing across processes.
  static SharedSettings* fallback = [] {
    static SharedSettings block;
    InitialSharedSettings(&block);
    return &block;
  }();
  return *fallback;
}

uint32_t& GnuPGTimeoutSeconds() {
  static uint32_t seconds = 0;
  return seconds;
}

void CopyText(char* dest, size_t capacity, const char* src) {
  if (capacity == 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, capacity - 1);
  memmove(dest, src, n);
  dest[n] = '\0';
}

}  // namespace vp
