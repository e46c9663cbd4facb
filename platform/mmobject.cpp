#include "platform/mmobject.h"

#include <algorithm>

namespace zq {

void TMMObject::BeginUpdate() {
  if (updateCount_ == 0) Changing();
  ++updateCount_;
}

void TMMObject::EndUpdate() {
  if (updateCount_ == 0) return;
  --updateCount_;
  if (updateCount_ == 0) Changed();
}

void TMMObject::Changing() {
  if (updateCount_ == 0 && OnChanging) OnChanging(this);
}

void TMMObject::Changed() {
  if (updateCount_ == 0 && OnChanged) OnChanged(this);
}

namespace {
void Erase(std::vector<TMMComponent*>& v, TMMComponent* c) {
  v.erase(std::remove(v.begin(), v.end(), c), v.end());
}
}  // namespace

TMMComponent::TMMComponent(TMMComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TMMComponent::~TMMComponent() {
  Destroying();
  // Tell everyone who asked; each may clear its link to this component.
  std::vector<TMMComponent*> notifies;
  notifies.swap(freeNotifies_);
  for (TMMComponent* other : notifies) {
    Erase(other->freeNotifies_, this);
    other->Notification(this, opRemove);
  }
  for (TMMComponent* c : components_)
    c->owner_ = nullptr;
  components_.clear();
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TMMComponent::InsertComponent(TMMComponent* c) {
  components_.push_back(c);
  c->owner_ = this;
  Notification(c, opInsert);
}

void TMMComponent::RemoveComponent(TMMComponent* c) {
  Erase(components_, c);
  c->owner_ = nullptr;
  Notification(c, opRemove);
}

void TMMComponent::FreeNotification(TMMComponent* other) {
  if (other == nullptr || other == this) return;
  if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
    freeNotifies_.push_back(other);
  if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this) ==
      other->freeNotifies_.end())
    other->freeNotifies_.push_back(this);
}

void TMMComponent::RemoveFreeNotification(TMMComponent* other) {
  if (other == nullptr) return;
  Erase(freeNotifies_, other);
  Erase(other->freeNotifies_, this);
}

void TMMComponent::Notification(TMMComponent* component, TOperation operation) {
  if (operation == opRemove && component != nullptr) Erase(freeNotifies_, component);
  // The owner passes every insertion and removal on to the components it owns.
  const std::vector<TMMComponent*> owned = components_;
  for (TMMComponent* c : owned)
    if (c != component) c->Notification(component, operation);
}

void TMMComponent::BeginLoading() {
  state_ |= csLoading | csReading;
}

void TMMComponent::EndLoading() {
  state_ &= ~(csLoading | csReading);
  Loaded();
}

void TMMComponent::Loaded() {
  state_ &= ~csLoading;
}

void TMMComponent::SetDesignMode(bool designing) {
  if (designing != InState(csDesigning)) SetDesigning(designing);
}

void TMMComponent::SetDesigning(bool designing) {
  if (designing)
    state_ |= csDesigning;
  else
    state_ &= ~csDesigning;
  for (TMMComponent* c : components_)
    c->SetDesigning(designing);
}

}  // namespace zq
