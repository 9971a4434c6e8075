// Shared segment: the values a fresh segment starts with, on every platform.
#include "platform/segment.h"

namespace vp {

void InitialSharedSettings(SharedSettings* s) {
  *s = kInitialSharedSettings;
}

}  // namespace vp
