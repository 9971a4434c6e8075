// Where the shared segment lives on POSIX: its shm object name and the private folder that holds
// the lock files kept per segment (its gate, the control program's instance lock).
#pragma once
#include <string>

namespace vp {

// "/name" from VEILPOST_SEGMENT (a missing leading slash is added), else "/veilpost-<uid>".
// "" when the name cannot be a shm object name.
std::string SegmentName();

// The folder for the segment's lock files: ~/.cache/veilpost/segments in the home the password
// database names (so every process of the user finds the same one whatever its environment, and
// no other user can plant one), created 0700. "" with *why set when it cannot be made or is not
// a folder of ours that only we can enter.
std::string SegmentFolder(std::string* why);

}  // namespace vp
