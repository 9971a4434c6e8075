// What the files ports of both platforms share.
#pragma once
#include "platform/files.h"

namespace vp {

// The process id a scratch name carries after its prefix ("veilpost1234-17" and anything GnuPG
// derives from it, "veilpost1234-17~"), or 0 for a name without one.
long PidInScratchName(const char* rest);

// Tells the observer installed with SetWipeObserver, if any, that a step completed.
void NotifyWipeObserver(WipeStep step, unsigned char byte, int fd);

}  // namespace vp
