#pragma once
// How the mixer components tell one another about changes: an observable keeps a list of
// observers and hands each change record to them; a change record says what changed.
//
// Main thread only. An observer or observable may be destroyed while it is being notified (a
// handler frees a component): a notification pass skips observers detached meanwhile and stops
// when its observable goes.

#include <functional>
#include <memory>
#include <vector>

#include "platform/mmobject.h"

namespace zq {

class TMMObservable;

class TMMObserver {
 public:
  using TNotifyEvent = std::function<void(TMMObserver* sender, const TMMObject& change)>;

  TMMObserver() = default;
  virtual ~TMMObserver();  // detaches
  TMMObserver(const TMMObserver&) = delete;
  TMMObserver& operator=(const TMMObserver&) = delete;

  TMMObservable* Observable() const { return observable_; }
  // Fires OnNotify unless locked.
  virtual void Update(const TMMObject& change);
  void Lock() { ++lockCount_; }
  // An Unlock without its Lock is ignored.
  void Unlock() {
    if (lockCount_ > 0) --lockCount_;
  }
  bool Locked() const { return lockCount_ != 0; }

  TNotifyEvent OnNotify;

 private:
  friend class TMMObservable;
  TMMObservable* observable_ = nullptr;
  int lockCount_ = 0;
};

class TMMObservable {
 public:
  TMMObservable() = default;
  ~TMMObservable();  // detaches every observer, the last attached first
  TMMObservable(const TMMObservable&) = delete;
  TMMObservable& operator=(const TMMObservable&) = delete;

  // Detaches the observer from any other observable first; attaching twice changes nothing.
  void Attach(TMMObserver* observer);
  // Only an observer attached here.
  void Detach(TMMObserver* observer);
  // Each observer's Update, from the last attached to the first.
  void NotifyObservers(const TMMObject& change);
  int ObserverCount() const { return static_cast<int>(observers_.size()); }

 private:
  std::vector<TMMObserver*> observers_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Change records. A line's information or a control's value changed; the identity behind the
// sending component changed (a line or control found again, or another device).
class TMMMixerChange : public TMMObject {};

class TMMLineChange : public TMMMixerChange {
 public:
  explicit TMMLineChange(int lineId) : lineId_(lineId) {}
  int LineId() const { return lineId_; }

 private:
  int lineId_;
};

class TMMControlChange : public TMMMixerChange {
 public:
  TMMControlChange(int lineId, int controlId) : lineId_(lineId), controlId_(controlId) {}
  int LineId() const { return lineId_; }
  int ControlId() const { return controlId_; }

 private:
  int lineId_;
  int controlId_;
};

class TMMLineIdChange : public TMMMixerChange {};
class TMMControlIdChange : public TMMMixerChange {};
// Passed by the same observers as the others, so it shares their base.
class TMMDeviceChange : public TMMObject {};

}  // namespace zq
