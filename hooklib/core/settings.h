// The shared settings as the library's code sees them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/segment.h"

namespace vp {

// The shared segment of this process; a private block with the initial values when the segment
// could not be attached, so callers never see null.
SharedSettings& Settings();

// The passphrase every GnuPG run of this process receives. With caching on it is the shared
// segment's, reused by every process; with caching off (cacheInterval 0) nobody else needs it, so
// it stays in this process's own memory and never reaches the segment, where it would outlive a
// process that was killed. Capacity kPassphraseCapacity, including the terminating zero.
char* Passphrase();
constexpr size_t kPassphraseCapacity = sizeof(SharedSettings::passphrase);
// Overwrites the process's own passphrase (the shared one is emptied where the cache rules say).
void WipeOwnPassphrase();

// Seconds a GnuPG run may take before it is stopped ("GpgTimeout"); 0, the default, waits for
// as long as GnuPG takes. Per process: read from the configuration when the library loads.
uint32_t& GnuPGTimeoutSeconds();

// Copies src into a fixed text field of `capacity` bytes, cutting it to fit.
void CopyText(char* dest, size_t capacity, const char* src);
template <size_t N>
void CopyText(char (&dest)[N], const char* src) {
  CopyText(dest, N, src);
}

}  // namespace vp
