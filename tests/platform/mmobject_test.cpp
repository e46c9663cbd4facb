#include "platform/mmobject.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "tests/support/platform/manual_time.h"

namespace zq {
namespace {

class Value : public TMMObject {
 public:
  void Set(int v) {
    value = v;
    Changed();
  }
  int value = 0;
};

TEST(TMMObject, ReportsAChangeOnceAtTheClosingEndUpdate) {
  Value v;
  int changing = 0, changed = 0;
  v.OnChanging = [&](TMMObject*) { ++changing; };
  v.OnChanged = [&](TMMObject*) { ++changed; };
  v.Set(1);
  EXPECT_EQ(changed, 1);
  v.BeginUpdate();
  v.BeginUpdate();
  v.Set(2);
  v.Set(3);
  v.EndUpdate();
  EXPECT_EQ(changed, 1);
  v.EndUpdate();
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(changing, 1);
  // An unbalanced EndUpdate does not silence what follows.
  v.EndUpdate();
  v.Set(4);
  EXPECT_EQ(changed, 3);
  EXPECT_EQ(v.UpdateCount(), 0);
}

class Watcher : public TMMComponent {
 public:
  using TMMComponent::TMMComponent;
  std::vector<std::string> removed;  // names of the components announced as removed
  TMMComponent* link = nullptr;

 protected:
  void Notification(TMMComponent* c, TOperation op) override {
    TMMComponent::Notification(c, op);
    if (op == opRemove) {
      removed.push_back(c->Name());
      if (c == link) link = nullptr;
    }
  }
};

TEST(TMMComponent, FreeNotificationClearsLinksToADestroyedComponent) {
  Watcher a, b;
  auto target = std::make_unique<Watcher>();
  target->SetName("target");
  a.link = target.get();
  a.FreeNotification(target.get());
  a.FreeNotification(target.get());  // twice changes nothing
  b.link = target.get();             // b did not ask
  target.reset();
  EXPECT_EQ(a.link, nullptr);
  EXPECT_EQ(a.removed, (std::vector<std::string>{"target"}));
  EXPECT_TRUE(b.removed.empty());
}

TEST(TMMComponent, AnOwnerAnnouncesARemovalToEveryComponentItOwns) {
  Watcher form;
  Watcher sibling(&form);
  auto child = std::make_unique<Watcher>(&form);
  child->SetName("WaveIn");
  EXPECT_EQ(form.Components().size(), 2u);
  child.reset();
  EXPECT_EQ(form.Components().size(), 1u);
  EXPECT_EQ(sibling.removed, (std::vector<std::string>{"WaveIn"}));
  EXPECT_EQ(form.removed, (std::vector<std::string>{"WaveIn"}));
}

TEST(TMMComponent, OutlivingItsOwnerLeavesNoDanglingOwner) {
  auto form = std::make_unique<Watcher>();
  Watcher child(form.get());
  form.reset();
  EXPECT_EQ(child.Owner(), nullptr);
}

TEST(TMMComponent, LoadingBracketAndDesignStateReachOwnedComponents) {
  Watcher form;
  Watcher child(&form);
  form.BeginLoading();
  EXPECT_TRUE(form.InState(csLoading));
  EXPECT_TRUE(form.InState(csReading));
  form.EndLoading();
  EXPECT_FALSE(form.InState(csLoading | csReading));
  form.SetDesignMode(true);
  EXPECT_TRUE(child.InState(csDesigning));
  form.SetDesignMode(false);
  EXPECT_FALSE(child.InState(csDesigning));
}

TEST(OperatorMessages, TheExceptionHandlerShowsTheMessageAndTheProgramGoesOn) {
  testing::RecordedMessages m;
  m.Guard([] { throw std::runtime_error("WaveInOpen:\n\rDevice busy"); });
  m.Guard([] { throw 42; });
  bool ran = false;
  m.Guard([&] { ran = true; });
  EXPECT_TRUE(ran);
  ASSERT_EQ(m.shown.size(), 2u);
  EXPECT_EQ(m.shown[0].kind, testing::RecordedMessages::Kind::Error);
  EXPECT_EQ(m.shown[0].text, "WaveInOpen:\n\rDevice busy");
  EXPECT_EQ(m.shown[1].text, "Unknown exception");
}

}  // namespace
}  // namespace zq
