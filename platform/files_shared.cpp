// What the files ports of both platforms share.
#include "platform/files_shared.h"

#include <cstring>

namespace vp {
namespace {

WipeObserver g_wipe_observer = nullptr;
void* g_wipe_context = nullptr;

}  // namespace

long PidInScratchName(const char* rest) {
  // A run of 1 to `maxDigits` digits without a leading zero, as std::to_string writes it.
  auto number = [](const char*& p, int maxDigits, long long* value) {
    const char* start = p;
    long long v = 0;
    while (*p >= '0' && *p <= '9' && p - start < maxDigits) v = v * 10 + (*p++ - '0');
    *value = v;
    return p != start && *start != '0' && !(*p >= '0' && *p <= '9');
  };
  const char* p = rest;
  long long pid = 0, serial = 0;
  if (!number(p, 10, &pid) || pid > 0x7FFFFFFF || *p++ != '-' || !number(p, 5, &serial) ||
      serial > 0x10000)
    return 0;
  for (const char* tail : {"", "~", ".tmp", ".lock"}) {
    if (strcmp(p, tail) == 0) return static_cast<long>(pid);
  }
  return 0;
}

void NotifyWipeObserver(WipeStep step, unsigned char byte, int fd) {
  if (g_wipe_observer) g_wipe_observer(step, byte, fd, g_wipe_context);
}

void SetWipeObserver(WipeObserver observer, void* context) {
  g_wipe_observer = observer;
  g_wipe_context = context;
}

}  // namespace vp
