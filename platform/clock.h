// Clock port: calendar time, replaceable by tests.
#pragma once
#include <cstdint>

namespace vp {

class Clock {
 public:
  virtual ~Clock() = default;
  // Seconds since 1970-01-01 UTC.
  virtual int64_t Now() = 0;
};

// The process's clock: the system clock unless a test installed another one.
Clock& GetClock();
// Installs `clock` (not owned; null restores the system clock).
void SetClock(Clock* clock);

// A clock that moves only when told to.
class ManualClock : public Clock {
 public:
  explicit ManualClock(int64_t start) : now_(start) {}
  int64_t Now() override { return now_; }
  void Advance(int64_t seconds) { now_ += seconds; }

 private:
  int64_t now_;
};

}  // namespace vp
