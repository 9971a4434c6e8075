// Single-instance lock: one holder per name and shared settings segment (on Windows the
// session's named mutex; on POSIX a lock kept beside the segment's own, whatever the environment).
#pragma once

namespace vp {

struct InstanceLockObject;
using InstanceLock = InstanceLockObject*;

// Takes the lock `name` for this process until ReleaseInstanceLock or the process ends. Null
// with *heldByOther set when another process holds it; null with it clear when the lock cannot
// be made at all (the caller then runs without it).
InstanceLock AcquireInstanceLock(const char* name, bool* heldByOther);
void ReleaseInstanceLock(InstanceLock lock);

// True when some process holds the lock `name` now.
bool InstanceLockHeld(const char* name);

}  // namespace vp
