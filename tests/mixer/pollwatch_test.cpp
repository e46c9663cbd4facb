// The watch that keeps an open mixer's descriptors on the main loop.

#include "mixer/pollwatch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cerrno>

#include "tests/support/qt_app.h"

namespace zq {
namespace {

// Runs the main loop until `done` or two seconds have passed.
template <class F>
void RunUntil(F done) {
  QElapsedTimer clock;
  clock.start();
  while (!done() && clock.elapsed() < 2000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// How often the main loop wakes in 300 ms: a few times when nothing is ready, without end when
// a notifier fires on a descriptor nobody serves.
int Wakeups() {
  QTimer tick;  // wakes the loop now and then, so that the count ends
  tick.start(50);
  QElapsedTimer clock;
  clock.start();
  int n = 0;
  while (clock.elapsed() < 300) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ++n;
  }
  return n;
}

struct Pipe {
  Pipe() { EXPECT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
  ~Pipe() {
    for (int fd : fds)
      if (fd >= 0) close(fd);
  }
  void CloseWriter() {
    close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

TEST(PollWatch, AHungUpDescriptorIsTakenOffTheLoopAtOnce) {
  testing::QtApp();
  Pipe pipe;
  int served = 0, gone = 0, code = 0;
  TMMPollWatch watch(
      {{pipe.fds[0], POLLIN, 0}},
      [&](const std::vector<pollfd>&) {
        char c;
        while (read(pipe.fds[0], &c, 1) == 1) {
        }
        ++served;
        return 0;
      },
      [&](int why) {
        ++gone;
        code = why;
      });
  ASSERT_TRUE(watch.Watching());
  ASSERT_EQ(write(pipe.fds[1], "x", 1), 1);
  RunUntil([&] { return served > 0; });
  EXPECT_EQ(served, 1);

  pipe.CloseWriter();
  RunUntil([&] { return gone > 0; });
  EXPECT_EQ(gone, 1);
  EXPECT_EQ(code, -ENODEV);
  EXPECT_FALSE(watch.Watching());
  EXPECT_LT(Wakeups(), 100);
  EXPECT_EQ(gone, 1);
  EXPECT_EQ(served, 1);
}

TEST(PollWatch, AServiceThatFailsEndsTheWatch) {
  testing::QtApp();
  Pipe pipe;
  int served = 0, gone = 0, code = 0;
  TMMPollWatch watch(
      {{pipe.fds[0], POLLIN, 0}},
      [&](const std::vector<pollfd>& fds) {
        EXPECT_TRUE(fds[0].revents & POLLIN);
        ++served;
        return -EIO;  // the data stays unread: the descriptor stays ready
      },
      [&](int why) {
        ++gone;
        code = why;
      });
  ASSERT_EQ(write(pipe.fds[1], "x", 1), 1);
  RunUntil([&] { return gone > 0; });
  EXPECT_EQ(code, -EIO);
  EXPECT_LT(Wakeups(), 100);
  EXPECT_EQ(served, 1);
  EXPECT_EQ(gone, 1);
}

}  // namespace
}  // namespace zq
