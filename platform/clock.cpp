#include "platform/clock.h"

#include <chrono>

namespace zq {

TDateTime SystemClock::Now() const {
  const auto now = std::chrono::system_clock::now();
  const auto us =
      std::chrono::duration_cast<std::chrono::microseconds>(now.time_since_epoch()).count();
  std::int64_t secs = us / 1000000;
  std::int64_t rem = us % 1000000;
  if (rem < 0) {
    rem += 1000000;
    --secs;
  }
  return FromUnixLocal(static_cast<std::time_t>(secs), static_cast<int>(rem / 1000));
}

std::int64_t SystemClock::MonotonicMicros() const {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace zq
