#pragma once
// Posting a call onto the main thread: what posting a private message to a hidden window was.

#include <functional>

namespace zq {

class MainThread {
 public:
  virtual ~MainThread() = default;
  // Any thread. The call runs later on the main thread, after every call posted before it.
  virtual void Post(std::function<void()> call) = 0;
  // True on the main thread.
  virtual bool IsCurrent() const = 0;
  // Main thread only: run what has been posted so far (in the programs also every other pending
  // event), as the waits that "process window messages" did. A call that is itself posting goes
  // to the next round.
  virtual void ProcessPending() = 0;
};

// Queued calls on the thread of the QCoreApplication (the GUI thread).
class QtMainThread final : public MainThread {
 public:
  void Post(std::function<void()> call) override;
  bool IsCurrent() const override;
  void ProcessPending() override;
};

}  // namespace zq
