// Clock port on POSIX: time() unless a test installed its own clock.
#include "platform/clock.h"

#include <atomic>
#include <ctime>

namespace vp {
namespace {

class SystemClock : public Clock {
 public:
  int64_t Now() override { return static_cast<int64_t>(std::time(nullptr)); }
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
