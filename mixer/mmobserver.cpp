#include "mixer/mmobserver.h"

#include <algorithm>

namespace zq {

TMMObserver::~TMMObserver() {
  if (observable_ != nullptr) observable_->Detach(this);
}

void TMMObserver::Update(const TMMObject& change) {
  if (!Locked() && OnNotify) OnNotify(this, change);
}

TMMObservable::~TMMObservable() {
  *alive_ = false;
  while (!observers_.empty()) {
    observers_.back()->observable_ = nullptr;
    observers_.pop_back();
  }
}

void TMMObservable::Attach(TMMObserver* observer) {
  if (observer == nullptr || observer->observable_ == this) return;
  if (observer->observable_ != nullptr) observer->observable_->Detach(observer);
  observers_.push_back(observer);
  observer->observable_ = this;
}

void TMMObservable::Detach(TMMObserver* observer) {
  if (observer == nullptr || observer->observable_ != this) return;
  observers_.erase(std::find(observers_.begin(), observers_.end(), observer));
  observer->observable_ = nullptr;
}

void TMMObservable::NotifyObservers(const TMMObject& change) {
  const std::vector<TMMObserver*> snapshot = observers_;
  const std::shared_ptr<bool> alive = alive_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if (!*alive) return;
    if (std::find(observers_.begin(), observers_.end(), *it) == observers_.end()) continue;
    (*it)->Update(change);
  }
}

}  // namespace zq
