#pragma once
// The clock seam: local wall time as a date-time value, and a monotonic microsecond count for
// pacing and elapsed-time measurement. Both may be read from any thread.

#include <cstdint>

#include "platform/datetime.h"

namespace zq {

class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time now (days since 30/12/1899, time of day as fraction).
  virtual TDateTime Now() const = 0;
  // Microseconds on a steady clock with an arbitrary origin; never goes back.
  virtual std::int64_t MonotonicMicros() const = 0;
};

// The system's clocks: CLOCK_REALTIME in the process's time zone, and std::chrono::steady_clock.
class SystemClock final : public Clock {
 public:
  TDateTime Now() const override;
  std::int64_t MonotonicMicros() const override;
};

}  // namespace zq
