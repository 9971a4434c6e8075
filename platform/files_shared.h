// What the files ports of both platforms share.
#pragma once
#include "platform/files.h"

namespace vp {

// The process id of a name CreateUniqueFile makes, given the name after its prefix: the process
// id, "-", the file's number (1 to 65536), each without leading zeros, and nothing else but one
// of the names GnuPG derives from a key ring file it changes ("~", ".tmp", ".lock"). 0 for any
// other name ("1234-17.txt", "_1.5.5_amd64.deb", "rc", "-notes.txt").
long PidInScratchName(const char* rest);

// Tells the observer installed with SetWipeObserver, if any, that a step completed.
void NotifyWipeObserver(WipeStep step, unsigned char byte, int fd);

}  // namespace vp
