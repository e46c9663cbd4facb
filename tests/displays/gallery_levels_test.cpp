#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "gallery/page_levels.h"

namespace zq {
namespace {

using namespace gallery::levels;

// The gallery writes its level page offscreen; the recorder's pairs must show each state.
TEST(GalleryLevels, ThePairsShowRestToneHeldMarksAndOverload) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath("levels.png");
  QProcess gallery;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  gallery.setProcessEnvironment(env);
  gallery.start(ZQ_GALLERY_PATH, {"--page", "levels", "--screenshot", file});
  ASSERT_TRUE(gallery.waitForFinished(60000));
  ASSERT_EQ(gallery.exitCode(), 0) << gallery.readAllStandardError().toStdString();
  const QImage shot(file);
  ASSERT_EQ(shot.size(), QSize(kWidth, kHeight));
  auto at = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFF; };
  // Spot i (1-based) of the left or right bar of a row, on its first (dotted) row.
  auto spot = [&](State s, int bar, int i) {
    return at(kLevelX + 2 * (i - 1), RowY(s) + bar * (kLevelH + kLevelGap));
  };
  const QRgb lime = 0x00FF00, yellow = 0xFFFF00, red = 0xFF0000, grey = 0x808080,
             maroon = 0x800000, white = 0xFFFFFF;

  EXPECT_EQ(spot(kRest, 0, 1), grey);
  EXPECT_EQ(spot(kRest, 1, 127), maroon);
  // -10 dB lights 91 spots, -3 dB 116.
  EXPECT_EQ(spot(kTone, 0, 91), yellow);
  EXPECT_EQ(spot(kTone, 0, 92), grey);
  EXPECT_EQ(spot(kTone, 1, 116), red);
  EXPECT_EQ(spot(kTone, 1, 117), maroon);
  // Just after the tone the bars fall while the two-spot marks stay.
  EXPECT_EQ(spot(kHeld, 0, 91), yellow);
  EXPECT_EQ(spot(kHeld, 0, 90), yellow);
  EXPECT_EQ(spot(kHeld, 0, 89), grey);
  EXPECT_EQ(spot(kHeld, 1, 116), red);
  EXPECT_EQ(spot(kOverload, 0, 127), red);
  EXPECT_EQ(spot(kOverload, 1, 127), red);

  // The needles: at rest on the left end of the face, at overload on the right end.
  auto needleNear = [&](State s, int face, int x, int y) {
    const int left = kNeedleX + face * (kNeedleW1 + kNeedleGap) + 2, top = RowY(s) + 2;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        if (at(left + x + dx, top + y + dy) == white) return true;
    return false;
  };
  EXPECT_TRUE(needleNear(kRest, 0, 5, 37));
  EXPECT_TRUE(needleNear(kOverload, 1, 129, 37));
  EXPECT_FALSE(needleNear(kRest, 0, 129, 37));
}

}  // namespace
}  // namespace zq
