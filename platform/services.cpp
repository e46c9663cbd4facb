#include "platform/services.h"

namespace zq {

Services& DefaultServices() {
  static SystemClock clock;
  static QtTimerService timers;
  static QtMainThread mainThread;
  static StderrMessages messages;
  static StatvfsDiskSpace disk;
  static Services services{&clock, &timers, &mainThread, &messages, &disk};
  return services;
}

}  // namespace zq
