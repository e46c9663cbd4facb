#pragma once
// FeedGate: whether a display takes the blocks its connector feeds it. A display wants blocks
// while it is Enabled and visible; it sets the gate from its Enabled writer and its show and hide
// events (a window hidden to the tray hides its children too), so the answer can be read from
// any thread without touching the widget. Blocks are taken only on the widget's own thread: a
// block delivered on a capture thread (a connector with RealTime False) is ignored, as the
// display draws on the main thread only.

#include <QThread>
#include <QWidget>
#include <atomic>

namespace zq {

class FeedGate {
 public:
  explicit FeedGate(const QWidget* widget) : widget_(widget) {}

  // True when the answer changed.
  bool Set(bool wanted) { return wanted_.exchange(wanted, std::memory_order_relaxed) != wanted; }
  // Any thread.
  bool Wanted() const { return wanted_.load(std::memory_order_relaxed); }
  // Wanted, and called on the widget's thread.
  bool Open() const { return Wanted() && QThread::currentThread() == widget_->thread(); }

 private:
  const QWidget* widget_;
  std::atomic<bool> wanted_{false};
};

}  // namespace zq
