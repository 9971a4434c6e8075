// Single-instance lock on Windows: a named mutex, created initially owned. The name is the
// caller's ("CORVANE" for the control program) in the session's namespace, so every process of
// the logged-on user meets the same one; the system closes it when its holder ends.
#include <windows.h>

#include "platform/instance_lock.h"

namespace vp {

struct InstanceLockObject {
  HANDLE mutex;
};

InstanceLock AcquireInstanceLock(const char* name, bool* heldByOther) {
  *heldByOther = false;
  HANDLE mutex = CreateMutexA(nullptr, TRUE, name);
  if (!mutex) {
    // A mutex of that name that we may not open still means someone holds it.
    *heldByOther = GetLastError() == ERROR_ACCESS_DENIED;
    return nullptr;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    *heldByOther = true;
    return nullptr;
  }
  return new InstanceLockObject{mutex};
}

void ReleaseInstanceLock(InstanceLock lock) {
  if (!lock) return;
  ReleaseMutex(lock->mutex);
  CloseHandle(lock->mutex);
  delete lock;
}

bool InstanceLockHeld(const char* name) {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
  if (!mutex) return GetLastError() == ERROR_ACCESS_DENIED;
  CloseHandle(mutex);
  return true;
}

}  // namespace vp
