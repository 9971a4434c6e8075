// Clock port: time() unless a test installed its own clock, or named a file holding the time in
// VEILPOST_CLOCK_FILE (read at every call, so a test can move a running program's clock).
#include "platform/clock.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace vp {
namespace {

class SystemClock : public Clock {
 public:
  int64_t Now() override {
    if (const char* file = std::getenv("VEILPOST_CLOCK_FILE")) {
      long long t = 0;
      if (FILE* f = std::fopen(file, "r")) {
        int got = std::fscanf(f, "%lld", &t);
        std::fclose(f);
        if (got == 1) return t;
      }
    }
    return static_cast<int64_t>(std::time(nullptr));
  }
};

SystemClock g_system_clock;
std::atomic<Clock*> g_installed{nullptr};

}  // namespace

Clock& GetClock() {
  Clock* installed = g_installed.load(std::memory_order_acquire);
  return installed ? *installed : g_system_clock;
}

void SetClock(Clock* clock) {
  g_installed.store(clock, std::memory_order_release);
}

}  // namespace vp
