// What the files ports of both platforms share.
#include "platform/files_shared.h"

namespace vp {
namespace {

WipeObserver g_wipe_observer = nullptr;
void* g_wipe_context = nullptr;

}  // namespace

long PidInScratchName(const char* rest) {
  long pid = 0;
  const char* p = rest;
  while (*p >= '0' && *p <= '9' && pid < 100000000) pid = pid * 10 + (*p++ - '0');
  return (p != rest && *p == '-') ? pid : 0;
}

void NotifyWipeObserver(WipeStep step, unsigned char byte, int fd) {
  if (g_wipe_observer) g_wipe_observer(step, byte, fd, g_wipe_context);
}

void SetWipeObserver(WipeObserver observer, void* context) {
  g_wipe_observer = observer;
  g_wipe_context = context;
}

}  // namespace vp
