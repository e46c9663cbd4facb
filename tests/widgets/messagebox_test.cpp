#include "widgets/messagebox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <stdexcept>

#include "tests/support/platform/manual_time.h"
#include "tests/support/qt_app.h"

namespace zq {
namespace {

std::vector<QMessageBox*> Boxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* b = qobject_cast<QMessageBox*>(w); b != nullptr && b->isVisible()) boxes.push_back(b);
  return boxes;
}

TEST(QtOperatorMessages, ShowsBoxesWithoutBlockingAndNeverTheSameTextTwice) {
  testing::QtApp();
  QtOperatorMessages m;
  m.ShowError("Unable to write to /x/cfg.ini");
  m.ShowError("Unable to write to /x/cfg.ini");  // the same failure again: no second window
  m.ShowMessage("É necessário parar a gravação para efetuar alterações!");
  m.ShowMessage("x", "TMMWaveIn");
  EXPECT_EQ(m.Showing(), 3);
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  bool sawCaption = false, sawUtf8 = false;
  for (QMessageBox* b : boxes) {
    sawCaption |= b->windowTitle() == "TMMWaveIn";
    sawUtf8 |= b->text() == QString::fromUtf8("É necessário parar a gravação para efetuar alterações!");
  }
  EXPECT_TRUE(sawCaption);
  EXPECT_TRUE(sawUtf8);
  // Closing a box lets its text be shown again.
  for (QMessageBox* b : boxes) b->close();
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(m.Showing(), 0);
  m.ShowError("Unable to write to /x/cfg.ini");
  EXPECT_EQ(m.Showing(), 1);
  for (QMessageBox* b : Boxes()) b->close();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(ZqApplication, AnExceptionFromAnEventHandlerIsShownAndTheLoopGoesOn) {
  ZqApplication& app = testing::QtApp();
  testing::RecordedMessages recorded;
  app.SetMessages(&recorded);
  int after = 0;
  QTimer::singleShot(0, [] { throw std::runtime_error("WaveIn:\n\rdevice gone"); });
  QTimer::singleShot(5, [&] { ++after; });
  QTimer::singleShot(20, [] { QApplication::exit(0); });
  app.exec();
  app.SetMessages(nullptr);
  EXPECT_EQ(recorded.Texts(), (std::vector<std::string>{"WaveIn:\n\rdevice gone"}));
  EXPECT_EQ(after, 1);
}

}  // namespace
}  // namespace zq
