#include "platform/timers.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <stdexcept>

#include "platform/services.h"
#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"

namespace zq {
namespace {

using testing::ManualTime;

struct Counted {
  std::unique_ptr<Timer> timer;
  std::vector<std::int64_t> firedAt;  // monotonic ms
};

Counted MakeTimer(ManualTime& time, std::int64_t ms, bool singleShot) {
  Counted c{time.CreateTimer(), {}};
  c.timer->SetInterval(ms);
  c.timer->SetSingleShot(singleShot);
  return c;
}

TEST(ManualTimers, PeriodicOneShotAndZeroIntervalTimersFireAsWindowTimersDid) {
  ManualTime time;
  Counted periodic = MakeTimer(time, 1000, false);
  Counted oneShot = MakeTimer(time, 2500, true);
  Counted never = MakeTimer(time, 0, false);
  for (Counted* c : {&periodic, &oneShot, &never}) {
    c->timer->SetOnTimer([c, &time] { c->firedAt.push_back(time.MonotonicMicros() / 1000); });
    c->timer->Start();
  }
  time.AdvanceMs(5500);
  EXPECT_EQ(periodic.firedAt, (std::vector<std::int64_t>{1000, 2000, 3000, 4000, 5000}));
  EXPECT_EQ(oneShot.firedAt, (std::vector<std::int64_t>{2500}));
  EXPECT_FALSE(oneShot.timer->Enabled());
  EXPECT_TRUE(never.firedAt.empty());
  EXPECT_TRUE(never.timer->Enabled());
}

TEST(ManualTimers, EnablingTwiceKeepsTheCountdownAndRestartingBeginsAFullInterval) {
  ManualTime time;
  Counted c = MakeTimer(time, 1000, false);
  c.timer->SetOnTimer([&] { c.firedAt.push_back(time.MonotonicMicros() / 1000); });
  c.timer->Start();
  time.AdvanceMs(600);
  c.timer->SetEnabled(true);  // no change
  time.AdvanceMs(600);        // fires at 1000
  c.timer->Restart();         // at 1200: next at 2200
  time.AdvanceMs(1100);
  c.timer->SetInterval(1000);  // unchanged: keeps counting
  c.timer->SetInterval(500);   // changed at 2300: next at 2800
  time.AdvanceMs(600);
  EXPECT_EQ(c.firedAt, (std::vector<std::int64_t>{1000, 2200, 2800}));
}

TEST(ManualTimers, ACallbackMayStopReArmOrDestroyItsTimer) {
  ManualTime time;
  int fired = 0;
  auto t = time.CreateTimer();
  t->SetInterval(100);
  t->SetOnTimer([&] {
    if (++fired == 3) t.reset();
  });
  t->Start();
  time.AdvanceMs(1000);
  EXPECT_EQ(fired, 3);
  EXPECT_EQ(time.ArmedTimers(), 0);

  auto once = time.CreateTimer();
  once->SetSingleShot(true);
  once->SetInterval(100);
  int again = 0;
  once->SetOnTimer([&] {
    if (++again < 4) once->Start();
  });
  once->Start();
  time.AdvanceMs(1000);
  EXPECT_EQ(again, 4);
}

TEST(ManualTimers, ADayPassesInAMomentWithBothClocksMovingTogether) {
  ManualTime time(EncodeDateTime(2009, 12, 31, 23, 55, 0));
  Counted minute = MakeTimer(time, 60000, false);
  int fired = 0;
  std::string lastAt;
  minute.timer->SetOnTimer([&] {
    ++fired;
    lastAt = FormatShortDate(time.Now()) + " " + FormatLongTime(time.Now());
  });
  minute.timer->Start();
  time.Advance(std::chrono::hours(24));
  EXPECT_EQ(fired, 1440);
  EXPECT_EQ(lastAt, "01/01/2010 23:55:00");
  EXPECT_EQ(time.MonotonicMicros(), 86400LL * 1000000);
}

TEST(ManualTimers, SettingTheWallClockLeavesTimersAndTheMonotonicClockAlone) {
  ManualTime time(EncodeDateTime(2009, 10, 18, 0, 30, 0));
  Counted c = MakeTimer(time, 1000, false);
  c.timer->SetOnTimer([&] { c.firedAt.push_back(time.MonotonicMicros() / 1000); });
  c.timer->Start();
  time.AdvanceMs(500);
  time.SetNow(EncodeDateTime(2009, 10, 17, 23, 30, 0));  // the clock goes back an hour
  time.AdvanceMs(600);
  EXPECT_EQ(c.firedAt, (std::vector<std::int64_t>{1000}));
  EXPECT_EQ(FormatLongTime(time.Now()), "23:30:00");
  EXPECT_EQ(time.MonotonicMicros(), 1100000);
}

TEST(Timers, RefuseIntervalsOutsideTheirRange) {
  ManualTime time;
  auto t = time.CreateTimer();
  EXPECT_THROW(t->SetInterval(-1), std::out_of_range);
  EXPECT_THROW(t->SetInterval(Timer::kMaxIntervalMs + 1), std::out_of_range);
  EXPECT_NO_THROW(t->SetInterval(Timer::kMaxIntervalMs));
  EXPECT_EQ(t->Interval(), Timer::kMaxIntervalMs);
}

TEST(QtTimers, FireOnTheEventLoopAndNeverAtIntervalZero) {
  testing::QtApp();
  QtTimerService service;
  auto oneShot = service.CreateTimer();
  auto zero = service.CreateTimer();
  int shots = 0, zeros = 0;
  oneShot->SetSingleShot(true);
  oneShot->SetInterval(10);
  oneShot->SetOnTimer([&] { ++shots; });
  zero->SetInterval(0);
  zero->SetOnTimer([&] { ++zeros; });
  oneShot->Start();
  zero->Start();
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 150)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(shots, 1);
  EXPECT_EQ(zeros, 0);
  EXPECT_FALSE(oneShot->Enabled());
}

TEST(QtMainThread, PostedCallsRunInOrderOnTheMainThread) {
  testing::QtApp();
  QtMainThread main;
  EXPECT_TRUE(main.IsCurrent());
  std::vector<int> order;
  bool offMainSeen = true;
  std::thread worker([&] {
    offMainSeen = main.IsCurrent();
    for (int i = 0; i < 5; ++i)
      main.Post([&order, i] { order.push_back(i); });
  });
  worker.join();
  EXPECT_FALSE(offMainSeen);
  main.ProcessPending();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(QueuedMainThread, RunsRoundsAndLeavesCallsPostedDuringARoundForTheNext) {
  testing::QueuedMainThread main;
  std::vector<int> order;
  main.Post([&] {
    order.push_back(1);
    main.Post([&] { order.push_back(3); });
  });
  main.Post([&] { order.push_back(2); });
  main.ProcessPending();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(main.RunUntilEmpty(), 1);
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(main.WaitAndRun(std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace zq
