#include "displays/framepacer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
#include <memory>

#include "tests/support/displays/display_fixture.h"

namespace zq {
namespace {

class Counted : public QWidget {
 public:
  using QWidget::QWidget;
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
};

class FramePacerTest : public ::testing::Test, public testing::DisplayFixture {};

TEST_F(FramePacerTest, WaitingDisplaysAreUpdatedOnceAFrameAndGoneOnesAreSkipped) {
  auto* a = new Counted(&window);
  auto* b = new Counted(&window);
  a->setGeometry(0, 0, 10, 10);
  b->setGeometry(20, 0, 10, 10);
  Show();
  a->paints = b->paints = 0;
  EXPECT_EQ(time.ArmedTimers(), 0);

  pacer.RequestFrame(a);
  time.AdvanceMs(10);
  pacer.RequestFrame(a);
  pacer.RequestFrame(b);
  EXPECT_EQ(pacer.Waiting(), 2);
  time.Advance(std::chrono::microseconds(FramePacer::kFrameMicros - 10000 - 1));
  QApplication::processEvents();
  EXPECT_EQ(a->paints, 0) << "the frame is timed from the first request";
  time.AdvanceMs(1);
  QApplication::processEvents();
  EXPECT_EQ(a->paints, 1);
  EXPECT_EQ(b->paints, 1);
  EXPECT_EQ(time.ArmedTimers(), 0);

  pacer.RequestFrame(a);
  pacer.RequestFrame(b);
  delete a;
  Frame();
  EXPECT_EQ(b->paints, 2) << "a display destroyed while waiting is skipped";
  pacer.RequestFrame(nullptr);
  EXPECT_EQ(time.ArmedTimers(), 0);
}

}  // namespace
}  // namespace zq
