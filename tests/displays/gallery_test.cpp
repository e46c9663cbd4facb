#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include "gallery/page_drawing.h"

namespace zq {
namespace {

// The gallery writes its drawing page offscreen (the first page); its default frame and default
// scale must show where the layout puts them.
TEST(Gallery, ScreenshotShowsAFrameAndAScaleWhereTheyBelong) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath("gallery.png");
  QProcess gallery;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  gallery.setProcessEnvironment(env);
  gallery.start(ZQ_GALLERY_PATH, {"--page", "drawing", "--screenshot", file});
  ASSERT_TRUE(gallery.waitForFinished(60000));
  ASSERT_EQ(gallery.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(gallery.exitCode(), 0) << gallery.readAllStandardError().toStdString();
  const QImage shot(file);
  ASSERT_EQ(shot.size(), QSize(gallery::drawing::kWidth, gallery::drawing::kHeight));
  auto at = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFF; };
  const QRgb shadow = 0x808080, light = 0xFFFFFF, face = 0xC0C0C0, black = 0;

  // The default frame: sunken, the top-right and bottom-left corners light.
  const int l = gallery::drawing::kDefaultBevelX, t = gallery::drawing::kDefaultBevelY;
  const int r = l + gallery::drawing::kBevelW - 1, b = t + gallery::drawing::kBevelH - 1;
  EXPECT_EQ(at(l, t), shadow);
  EXPECT_EQ(at(l + 20, t), shadow);
  EXPECT_EQ(at(l, t + 20), shadow);
  EXPECT_EQ(at(r, t), light);
  EXPECT_EQ(at(l, b), light);
  EXPECT_EQ(at(r, b), light);
  EXPECT_EQ(at(l + 20, b), light);
  EXPECT_EQ(at(l + 1, t + 1), face);
  EXPECT_EQ(at(l - 1, t - 1), face);  // the window's face around it

  // The default scale: long ticks at 0, 50, 100, short ones between, nothing in the gaps.
  const int base =
      gallery::drawing::kScaleY + gallery::drawing::kScaleDepth - 1;  // lowest tick row
  for (int c = 0; c <= 10; ++c) {
    const int x = gallery::drawing::kScaleX + 10 * c;
    const int length = c % 5 == 0 ? 7 : 3;
    EXPECT_EQ(at(x, base), black) << "tick " << c;
    EXPECT_EQ(at(x, base - length + 1), black) << "tick " << c;
    EXPECT_NE(at(x, base - length), black) << "tick " << c;
    EXPECT_NE(at(x, base + 1), black) << "tick " << c;
    if (c < 10) {
      EXPECT_NE(at(x + 5, base), black) << "gap after tick " << c;
    }
  }
}

}  // namespace
}  // namespace zq
