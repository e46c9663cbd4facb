#pragma once
// The common bases of the multimedia classes.
//
// TMMObject: a persistent value object with an update bracket. A descendant calls Changed() after
// every property change; inside BeginUpdate/EndUpdate the change is reported once, at the closing
// EndUpdate.
//
// TMMComponent: a component with an owner, a name, a state and free notifications. The owner
// does not own the memory (whoever creates a component holds it, normally in a std::unique_ptr);
// it is the scope in which removals are announced: when a component goes, its owner and every
// component of that owner receive Notification(component, opRemove), and so does every component
// that asked for a free notification. Main thread only.

#include <functional>
#include <string>
#include <vector>

namespace zq {

class TMMObject {
 public:
  using TNotifyEvent = std::function<void(TMMObject* sender)>;

  TMMObject() = default;
  virtual ~TMMObject() = default;
  TMMObject(const TMMObject&) = delete;
  TMMObject& operator=(const TMMObject&) = delete;

  void BeginUpdate();
  // An EndUpdate without its BeginUpdate is ignored, so an unbalanced call cannot silence every
  // later notification.
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  TNotifyEvent OnChanging;
  TNotifyEvent OnChanged;

 protected:
  virtual void Changing();
  virtual void Changed();

 private:
  int updateCount_ = 0;
};

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csWriting = 1u << 2,
  csDestroying = 1u << 3,
  csDesigning = 1u << 4,
};

class TMMComponent {
 public:
  explicit TMMComponent(TMMComponent* owner = nullptr);
  virtual ~TMMComponent();
  TMMComponent(const TMMComponent&) = delete;
  TMMComponent& operator=(const TMMComponent&) = delete;

  TMMComponent* Owner() const { return owner_; }
  const std::vector<TMMComponent*>& Components() const { return components_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  unsigned ComponentState() const { return state_; }
  bool InState(unsigned flags) const { return (state_ & flags) != 0; }

  // `other` receives Notification(this, opRemove) when this component is destroyed, and this one
  // when `other` is. Asking twice changes nothing.
  void FreeNotification(TMMComponent* other);
  void RemoveFreeNotification(TMMComponent* other);

  // The loading bracket around applying a window's stored properties: inside it the component is
  // csLoading and csReading; EndLoading clears both and calls Loaded(). The bracket covers only
  // this component and is not counted; a composite passes it on to its parts by overriding both.
  virtual void BeginLoading();
  virtual void EndLoading();

  // Switches the component and the components it owns into or out of design state.
  void SetDesignMode(bool designing);

 protected:
  virtual void Notification(TMMComponent* component, TOperation operation);
  virtual void Loaded();
  virtual void SetDesigning(bool designing);
  // Marks the component as being destroyed. A destructor that does work (clearing links, stopping
  // a stream) calls it first, so the component's own writers know not to propagate.
  void Destroying() { state_ |= csDestroying; }

 private:
  void InsertComponent(TMMComponent* c);
  void RemoveComponent(TMMComponent* c);

  TMMComponent* owner_ = nullptr;
  std::vector<TMMComponent*> components_;
  std::vector<TMMComponent*> freeNotifies_;
  std::string name_;
  unsigned state_ = 0;
};

}  // namespace zq
