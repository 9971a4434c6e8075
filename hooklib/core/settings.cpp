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

namespace {
char g_own_passphrase[kPassphraseCapacity];
}  // namespace

char* Passphrase() {
  SharedSettings& s = Settings();
  if (s.cacheInterval == 0) return g_own_passphrase;
  // Caching was turned on meanwhile: the shared one rules and the private copy is not needed.
  if (g_own_passphrase[0]) WipeOwnPassphrase();
  return s.passphrase;
}

void WipeOwnPassphrase() {
  // volatile: the compiler may not drop stores to memory it sees no later read of.
  volatile char* p = g_own_passphrase;
  for (size_t i = 0; i < kPassphraseCapacity; ++i) p[i] = '\0';
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
