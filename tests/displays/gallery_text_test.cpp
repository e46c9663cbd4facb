// The gallery's pages of the LED label, gauge and effect label, and its sheet writer, run as the
// program itself.

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include "gallery/page_gauge.h"
#include "gallery/page_ledlabel.h"
#include "tests/support/qt_app.h"
#include "tests/support/widgets/ledcells.h"
#include "widgets/pictures.h"

namespace zq {
namespace {

// Runs the gallery offscreen; its standard error on failure.
void RunGallery(const QStringList& args) {
  QProcess gallery;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  gallery.setProcessEnvironment(env);
  gallery.start(ZQ_GALLERY_PATH, args);
  ASSERT_TRUE(gallery.waitForFinished(60000));
  ASSERT_EQ(gallery.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(gallery.exitCode(), 0) << gallery.readAllStandardError().toStdString();
}

QImage Screenshot(const char* page, QSize size) {
  QTemporaryDir dir;
  const QString file = dir.filePath("page.png");
  RunGallery({"--page", page, "--screenshot", file});
  const QImage shot = QImage(file).convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shot.size(), size);
  return shot;
}

TEST(Gallery, LedLabelPageShowsTheReadoutsAndTheFormatLine) {
  testing::QtApp();
  using namespace gallery::ledlabel;
  const QImage shot = Screenshot("ledlabel", {kWidth, kHeight});
  const QImage sheet = testing::LedSheetFor(fs11x13, clLime, clGreen, clBlack);
  EXPECT_EQ(testing::ReadLedCells(shot, {kFreeSpaceX + 2, kFreeSpaceY + 2}, 4, 11, sheet), "0·MB");
  EXPECT_EQ(shot.pixel(kFreeSpaceX, kFreeSpaceY) & 0xFFFFFF, 0u) << "the black margin";
  EXPECT_EQ(shot.pixel(kFreeSpaceX + 48, kFreeSpaceY) & 0xFFFFFF, 0xC0C0C0u) << "48 wide";
  EXPECT_EQ(testing::ReadLedCells(shot, {kFormatX + 2, kFormatY + 2}, 21, 11, sheet),
            "MP3:·64·Kbps,·Stereo·");
}

TEST(Gallery, GaugePageShowsTheDiskGaugeAt37Percent) {
  using namespace gallery::gauge;
  const QImage shot = Screenshot("gauge", {kWidth, kHeight});
  const int x0 = kDiskX + 4, y0 = kDiskY + 4;
  int cyan = 0, white = 0;
  for (int y = y0; y < y0 + 9; ++y)
    for (int x = x0; x < x0 + 259; ++x) {
      const QRgb p = shot.pixel(x, y) & 0xFFFFFF;
      if (x < x0 + 95) {
        ASSERT_TRUE(p == 0xFF0000 || p == 0x00FFFF) << x << "," << y;
        cyan += p == 0x00FFFF;
      } else {
        ASSERT_TRUE(p == 0 || p == 0xFFFFFF) << x << "," << y;
        white += p == 0xFFFFFF;
      }
    }
  EXPECT_GT(cyan, 0);
  EXPECT_GT(white, 0);
}

TEST(Gallery, WritesTheThreeSheetsAsDrawn) {
  testing::QtApp();
  QTemporaryDir dir;
  RunGallery({"--sheets", dir.filePath("sheets")});
  for (const char* name : {"FONT_11X13", "FONT_16X20", "FONT_11X13_BOLD"}) {
    const QImage written(dir.filePath(QString("sheets/%1.png").arg(name)));
    EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32),
              LoadPicture(name).convertToFormat(QImage::Format_RGB32))
        << name;
  }
}

}  // namespace
}  // namespace zq
