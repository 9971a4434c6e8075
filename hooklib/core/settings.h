// The shared settings as the library's code sees them.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/segment.h"

namespace vp {

// The shared segment of this process; a private block with the initial values when the segment
// could not be attached, so callers never see null.
SharedSettings& Settings();

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
