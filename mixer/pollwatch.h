#pragma once
// Watches a few poll descriptors on the main loop (QSocketNotifier) for a source of events that
// the main thread services, such as an open ALSA mixer.
//
// When a descriptor is ready the watch asks poll() for its events and calls `service` with them.
// A descriptor in error or hung up, a failing poll(), or `service` answering below 0 (the source
// is no longer usable: a card pulled, the sound server gone) takes the watch off the loop at once
// (a notifier on a hung-up descriptor would fire without end) and calls `gone` once with the
// code; the watch stays silent afterwards. `gone` must not destroy the watch.
//
// Main thread only; needs the application object. The descriptors stay owned by the source and
// must stay open while the watch is on the loop.

#include <poll.h>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace zq {

class TMMPollWatch {
 public:
  using TService = std::function<int(const std::vector<pollfd>& fds)>;
  using TGone = std::function<void(int code)>;

  TMMPollWatch(std::vector<pollfd> fds, TService service, TGone gone);
  ~TMMPollWatch();
  TMMPollWatch(const TMMPollWatch&) = delete;
  TMMPollWatch& operator=(const TMMPollWatch&) = delete;

  bool Watching() const { return !notifiers_.empty(); }

 private:
  void Ready();
  void Fail(int code);

  std::vector<pollfd> fds_;
  TService service_;
  TGone gone_;
  std::vector<QSocketNotifier*> notifiers_;
};

}  // namespace zq
