#include "audio/mmtimer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zq {
namespace {

using Source = TMMSharedTimer::TickSource;

// The ticks (1-based) on which a client of the given interval is called, over `ticks` ticks.
std::vector<int> CalledOn(TMMSharedTimer& t, TMMTimerClient*& client, int intervalMs, int ticks) {
  std::vector<int> calls;
  int tick = 0;
  client = t.RegisterClient(
      intervalMs, 0, [&](TMMTimerClient*, void*) { calls.push_back(tick); }, nullptr);
  for (tick = 1; tick <= ticks; ++tick)
    t.Tick();
  return calls;
}

TEST(SharedTimer, IntervalsRoundToStepsOfTwentyFiveMilliseconds) {
  struct Case {
    int interval;
    std::vector<int> ticks;
  };
  const Case cases[] = {{10, {1, 2, 3, 4, 5, 6}},
                        {25, {1, 2, 3, 4, 5, 6}},
                        {30, {2, 4, 6}},
                        {50, {2, 4, 6}},
                        {51, {3, 6}},
                        {100, {4}}};
  for (const auto& c : cases) {
    TMMSharedTimer t(Source::Manual);
    TMMTimerClient* client = nullptr;
    EXPECT_EQ(CalledOn(t, client, c.interval, 6), c.ticks) << c.interval << " ms";
    t.UnregisterClient(client);
  }
}

TEST(SharedTimer, SuspendedClientsWaitAndAResumeStartsAFullInterval) {
  TMMSharedTimer t(Source::Manual);
  int calls = 0;
  void* seenOwner = nullptr;
  int owner = 0;
  TMMTimerClient* c = t.RegisterClient(
      50, 1,
      [&](TMMTimerClient*, void* o) {
        ++calls;
        seenOwner = o;
      },
      &owner);
  for (int i = 0; i < 4; ++i)
    t.Tick();
  EXPECT_EQ(calls, 0) << "registered suspended";
  t.ResumeClient(c);
  t.ResumeClient(c);   // never below zero
  t.Tick();            // elapsed 25
  t.SuspendClient(c);  // clears elapsed
  t.Tick();
  t.ResumeClient(c);
  t.Tick();
  EXPECT_EQ(calls, 0);
  t.Tick();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seenOwner, &owner);
  t.SuspendClient(c);
  t.SuspendClient(c);
  t.ResumeClient(c);
  for (int i = 0; i < 4; ++i)
    t.Tick();
  EXPECT_EQ(calls, 1) << "two suspends need two resumes";
}

TEST(SharedTimer, ClientsTickInRegistrationOrderAndUnregisteringIsSafe) {
  TMMSharedTimer t(Source::Manual);
  std::vector<int> order;
  TMMTimerClient* a = t.RegisterClient(
      25, 0, [&](TMMTimerClient*, void*) { order.push_back(1); }, nullptr);
  TMMTimerClient* b = t.RegisterClient(
      25, 0, [&](TMMTimerClient*, void*) { order.push_back(2); }, nullptr);
  TMMTimerClient* c = t.RegisterClient(
      25, 0, [&](TMMTimerClient*, void*) { order.push_back(3); }, nullptr);
  t.Tick();
  t.UnregisterClient(b);
  t.UnregisterClient(nullptr);
  t.Tick();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 1, 3}));
  EXPECT_EQ(t.ClientCount(), 2);
  t.UnregisterClient(a);
  t.UnregisterClient(c);
  EXPECT_EQ(t.ClientCount(), 0);
  t.SuspendClient(c);  // no clients: ignored
}

TEST(SharedTimer, AClientChangingTheListFromItsTickIsRefusedNotDeadlocked) {
  TMMSharedTimer t(Source::Manual);
  bool refused = false;
  TMMTimerClient* self = nullptr;
  self = t.RegisterClient(
      25, 0,
      [&](TMMTimerClient*, void*) {
        try {
          t.UnregisterClient(self);
        } catch (const std::logic_error&) {
          refused = true;
        }
      },
      nullptr);
  t.Tick();
  EXPECT_TRUE(refused);
  EXPECT_EQ(t.ClientCount(), 1);
  t.UnregisterClient(self);
}

TEST(SharedTimer, TheThreadStartsWithTheFirstClientAndStopsWithTheLast) {
  TMMSharedTimer t;
  EXPECT_FALSE(t.Running());
  std::atomic<int> calls{0};
  std::atomic<bool> onTimerThread{true};
  const auto caller = std::this_thread::get_id();
  TMMTimerClient* a = t.RegisterClient(
      25, 0,
      [&](TMMTimerClient*, void*) {
        ++calls;
        if (std::this_thread::get_id() == caller) onTimerThread = false;
      },
      nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(t.Running());
  TMMTimerClient* b = t.RegisterClient(1000, 0, nullptr, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  t.UnregisterClient(a);
  EXPECT_TRUE(t.Running()) << "one client left";
  t.UnregisterClient(b);
  EXPECT_FALSE(t.Running());
  // 300 ms is 12 ticks; a loaded machine may lose a few, never gain many.
  EXPECT_GE(calls.load(), 4);
  EXPECT_LE(calls.load(), 14);
  EXPECT_TRUE(onTimerThread);

  const int before = calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(calls.load(), before) << "stopped";
  TMMTimerClient* again = t.RegisterClient(
      25, 0, [&](TMMTimerClient*, void*) { ++calls; }, nullptr);
  EXPECT_TRUE(t.Running()) << "a new registration starts a new timer";
  t.UnregisterClient(again);
  EXPECT_FALSE(t.Running());
}

}  // namespace
}  // namespace zq
