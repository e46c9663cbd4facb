#include "widgets/mmbevel.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QVBoxLayout>
#include <functional>
#include <stdexcept>
#include <vector>

#include "tests/support/qt_app.h"
#include "widgets/mmcontrols.h"
#include "widgets/mmscale.h"

namespace zq {
namespace {

TColor PixelAt(const QImage& img, int x, int y) {
  const QRgb p = img.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

class CountingControl : public TMMGraphicControl {
 public:
  int bevelChanges = 0;

 protected:
  void BevelChanged() override {
    ++bevelChanges;
    TMMGraphicControl::BevelChanged();
  }
};

struct Ring {
  TColor topLeft, bottomRight;  // RGB values
};

// Checks every pixel: ring k's top row and left column (short of the far corners) in topLeft, its
// right column and bottom row in bottomRight, and everything inside the rings in `fill`.
void ExpectFrame(const QImage& img, const std::vector<Ring>& rings, TColor fill) {
  const int w = img.width(), h = img.height();
  for (int k = 0; k < static_cast<int>(rings.size()); ++k) {
    const int l = k, t = k, r = w - 1 - k, b = h - 1 - k;
    for (int x = l; x < r; ++x)
      EXPECT_EQ(PixelAt(img, x, t), rings[k].topLeft) << k << " top " << x;
    for (int y = t; y < b; ++y)
      EXPECT_EQ(PixelAt(img, l, y), rings[k].topLeft) << k << " left " << y;
    for (int y = t; y <= b; ++y)
      EXPECT_EQ(PixelAt(img, r, y), rings[k].bottomRight) << k << " right " << y;
    for (int x = l; x <= r; ++x)
      EXPECT_EQ(PixelAt(img, x, b), rings[k].bottomRight) << k << " bottom " << x;
  }
  const int n = static_cast<int>(rings.size());
  for (int y = n; y < h - n; ++y)
    for (int x = n; x < w - n; ++x)
      EXPECT_EQ(PixelAt(img, x, y), fill) << x << "," << y;
}

TEST(TMMBevel, PaintsTheFramesTheFormsUse) {
  testing::QtApp();
  const Ring sunken{clGray, clWhite}, black{clBlack, clBlack};
  struct Case {
    const char* name;
    std::function<void(TMMBevel&)> setup;
    int extent;
    std::vector<Ring> rings;
  } cases[] = {
      {"default", [](TMMBevel&) {}, 1, {sunken}},
      {"LED readout",
       [](TMMBevel& b) {
         b.SetBevelOuter(bvNone);
         b.SetBorderSpace(2);
       },
       2,
       {black, black}},
      {"player readout", [](TMMBevel& b) { b.SetBorderSpace(2); }, 3, {sunken, black, black}},
      {"inner width without inner bevel",
       [](TMMBevel& b) { b.SetBevelInnerWidth(2); },
       1,
       {sunken}},
      {"everything",
       [](TMMBevel& b) {
         b.SetBorderStyle(bsSingle);
         b.SetBevelOuter(bvRaised);
         b.SetBevelOuterWidth(2);
         b.SetBorderWidth(1);
         b.SetBorderColor(clRed);
         b.SetBevelInner(bvLowered);
         b.SetInnerLightColor(clYellow);
         b.SetInnerShadowColor(clNavy);
         b.SetBorderSpace(1);
         b.SetBorderSpaceColor(clLime);
       },
       6,
       {black,
        {clWhite, clGray},
        {clWhite, clGray},
        {clRed, clRed},
        {clNavy, clYellow},
        {clLime, clLime}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMMGraphicControl w;
    w.resize(16, 14);
    w.SetColor(clTeal);
    c.setup(w.Bevel());
    EXPECT_EQ(w.BevelExtent(), c.extent);
    EXPECT_EQ(w.BevelClientRect(), (TRect{c.extent, c.extent, 16 - c.extent, 14 - c.extent}));
    ExpectFrame(w.grab().toImage(), c.rings, clTeal);
  }
}

TEST(TMMBevel, ReservedSpaceIsCountedAndPaintedAlike) {
  testing::QtApp();
  TMMGraphicControl w;
  w.resize(10, 10);
  w.SetColor(clWhite);
  w.Bevel().SetBevelOuter(bvSpace);
  w.Bevel().SetBevelOuterWidth(2);
  w.Bevel().SetBorderColor(clMaroon);
  EXPECT_EQ(w.BevelExtent(), 2);
  ExpectFrame(w.grab().toImage(), {{clMaroon, clMaroon}, {clMaroon, clMaroon}}, clWhite);
}

TEST(TMMBevel, AssignNotifiesOnceAndEqualWritesNotAtAll) {
  testing::QtApp();
  CountingControl w;
  TMMBevel other;
  other.SetBevelInner(bvRaised);
  other.SetBevelOuter(bvRaised);
  other.SetBevelInnerWidth(3);
  other.SetBevelOuterWidth(2);
  other.SetBorderStyle(bsSingle);
  other.SetBorderWidth(4);
  other.SetBorderSpace(5);
  for (int i = 0; i < TMMBevel::bcColorCount; ++i)
    other.SetColor(i, RGB(i, 10 * i, 7));
  w.SetBevel(other);
  EXPECT_EQ(w.bevelChanges, 1);
  const TMMBevel& b = w.Bevel();
  EXPECT_EQ(b.BevelInner(), bvRaised);
  EXPECT_EQ(b.BevelOuterWidth(), 2);
  EXPECT_EQ(b.BorderSpace(), 5);
  for (int i = 0; i < TMMBevel::bcColorCount; ++i)
    EXPECT_EQ(b.Color(i), RGB(i, 10 * i, 7));
  EXPECT_EQ(w.BevelExtent(), 1 + 2 + 4 + 3 + 5);

  // Values equal to the stored ones, also after clamping, notify nothing.
  w.bevelChanges = 0;
  TMMBevel& bv = w.Bevel();
  bv.SetBevelInner(bvRaised);
  bv.SetBevelInnerWidth(3);
  bv.SetBorderWidth(4);
  bv.SetBorderColor(RGB(0, 0, 7));
  bv.SetColor(TMMBevel::bcColorCount, clRed);  // no such colour
  bv.SetBevelOuterWidth(2);
  bv.Assign(bv);
  EXPECT_EQ(w.bevelChanges, 0);
  bv.SetBevelOuterWidth(0);  // clamped to 1: a change
  EXPECT_EQ(bv.BevelOuterWidth(), 1);
  bv.SetBorderWidth(-3);
  EXPECT_EQ(bv.BorderWidth(), 0);
  EXPECT_EQ(w.bevelChanges, 2);

  TMMScale scale;
  EXPECT_THROW(bv.Assign(scale), std::invalid_argument);
}

TEST(TMMCustomPanel, DrawsItsCaptionInsideTheFrameAndKeepsChildrenOffIt) {
  testing::QtApp();
  struct Case {
    TAlignment alignment;
  } cases[] = {{taLeftJustify}, {taRightJustify}, {taCenter}};
  for (const Case& c : cases) {
    TMMCustomPanel p;
    p.resize(120, 40);
    p.SetColor(clWhite);
    p.SetFontColor(clBlack);
    p.Bevel().SetBorderWidth(3);  // extent 4
    p.SetCaption("Wi\tW");
    p.SetAlignment(c.alignment);
    const QImage img = p.grab().toImage();
    const int h = QFontMetrics(p.font()).height();
    const int top = (4 + 36 - h) / 2;
    int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
    for (int y = 4; y < 36; ++y)
      for (int x = 4; x < 116; ++x)
        if (PixelAt(img, x, y) != clWhite) {
          minX = std::min(minX, x), maxX = std::max(maxX, x);
          minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    ASSERT_GE(maxX, 0) << "no caption drawn";
    EXPECT_GE(minY, top);
    EXPECT_LT(maxY, top + h);
    if (c.alignment == taLeftJustify) {
      EXPECT_LE(minX, 4 + 2);
    }
    if (c.alignment == taRightJustify) {
      EXPECT_GE(maxX, 116 - 3);
    }
    if (c.alignment == taCenter) {
      EXPECT_NEAR((minX + maxX) / 2.0, 60, 3);
    }
  }

  TMMCustomPanel p;
  p.resize(100, 60);
  auto* layout = new QVBoxLayout(&p);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* child = new QWidget(&p);
  layout->addWidget(child);
  p.Bevel().SetBorderSpace(5);  // extent 6
  p.show();
  QApplication::processEvents();
  EXPECT_EQ(child->geometry(), QRect(6, 6, 88, 48));
}

}  // namespace
}  // namespace zq
