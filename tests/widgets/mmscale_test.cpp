#include "widgets/mmscale.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

#include "tests/support/qt_app.h"
#include "widgets/mmbevel.h"

namespace zq {
namespace {

// A scale drawing on a white image.
class ScaleTest : public ::testing::Test {
 protected:
  ScaleTest() : img(120, 70, QImage::Format_RGB32) {
    testing::QtApp();
    img.fill(Qt::white);
    painter = std::make_unique<QPainter>(&img);
    canvas = std::make_unique<TCanvas>(painter.get());
    scale.SetCanvas(canvas.get());
  }
  const QImage& Done() {
    painter->end();
    return img;
  }
  TColor At(int x, int y) {
    const QRgb p = img.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
  }
  // Rows of each column holding `color`.
  std::map<int, std::set<int>> Columns(TColor color) {
    Done();
    std::map<int, std::set<int>> cols;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (At(x, y) == color) cols[x].insert(y);
    return cols;
  }
  static std::set<int> Range(int from, int to) {  // from <= v < to
    std::set<int> s;
    for (int v = from; v < to; ++v)
      s.insert(v);
    return s;
  }

  QImage img;
  std::unique_ptr<QPainter> painter;
  std::unique_ptr<TCanvas> canvas;
  TMMScale scale;
};

TEST_F(ScaleTest, HorizontalTicksStandEveryTenthPixelWithLongOnesEveryFifth) {
  scale.DrawLinear({10, 20, 110, 30}, true);  // above the content, soInner: on the bottom edge
  std::map<int, std::set<int>> expected;
  for (int c = 0; c <= 10; ++c)
    expected[10 + 10 * c] = Range(c % 5 == 0 ? 23 : 27, 30);
  EXPECT_EQ(Columns(clBlack), expected);
}

TEST_F(ScaleTest, OriginAndOwnerSideChooseTheEdge) {
  scale.SetTickCount(2);
  scale.SetEnlargeEvery(1);
  scale.SetOrigin(soOuter);
  scale.DrawLinear({10, 20, 110, 30}, true);  // outer side of a scale above: the top edge
  EXPECT_EQ(Columns(clBlack),
            (std::map<int, std::set<int>>{{10, Range(20, 27)}, {110, Range(20, 27)}}));
}

TEST_F(ScaleTest, VerticalTicksRoundHalvesToEven) {
  // len 45, 11 ticks: y = Round(5 + 4.5 c); below or right of the content with soInner: left edge.
  scale.DrawLinear({10, 5, 20, 50}, false);
  Done();
  for (int c = 0; c <= 10; ++c) {
    const int y = static_cast<int>(std::nearbyint(5 + 4.5 * c));
    const int m = c % 5 == 0 ? 7 : 3;
    for (int x = 8; x < 22; ++x)
      EXPECT_EQ(At(x, y) == clBlack, x >= 10 && x < 10 + m) << "tick " << c << " x " << x;
  }
  EXPECT_EQ(At(10, 10), clBlack);  // 9.5 rounds to 10
  EXPECT_EQ(At(10, 18), clBlack);  // 18.5 rounds to 18
  EXPECT_EQ(At(10, 19), clWhite);
}

TEST_F(ScaleTest, KnobScalePutsTheMiddleTickStraightUp) {
  scale.SetAngles(225, 315);
  scale.DrawCircular({10, 10, 50, 50});  // centre (30, 30), radius 20
  Done();
  // Tick 5 (long): from radius 13 to 20 at 90 degrees, the outer end not set.
  for (int y = 8; y < 30; ++y)
    EXPECT_EQ(At(30, y) == clBlack, y >= 11 && y <= 17) << y;
  // Tick 0 at 225 degrees runs from (21, 39) toward (16, 44); tick 10 at 315 from (39, 39).
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(At(21 - i, 39 + i), clBlack) << i;
    EXPECT_EQ(At(39 + i, 39 + i), clBlack) << i;
  }
  EXPECT_EQ(At(16, 44), clWhite);
  EXPECT_EQ(At(44, 44), clWhite);
}

TEST_F(ScaleTest, ShortKnobTicksStandOnTheirOriginSide) {
  scale.SetAngles(225, 315);
  scale.SetTickCount(3);  // ticks at 225, 90, 315
  scale.SetEnlargeEvery(2);
  scale.DrawCircular({10, 10, 50, 50});
  std::set<int> inner = Columns(clBlack)[30];
  EXPECT_EQ(inner, Range(13, 18));  // radius 13 to 17.5: rows 17..13, row 12.5 not reached
  img.fill(Qt::white);
  painter->begin(&img);
  scale.SetOrigin(soOuter);
  scale.DrawCircular({10, 10, 50, 50});
  EXPECT_EQ(Columns(clBlack)[30], Range(11, 15));  // radius 16.5 (row 13.5 rounds to 14) to 20
}

TEST_F(ScaleTest, ZonesColourTheTicksPastTheirLimits) {
  scale.SetZoneColors(clLime, clRed);
  scale.SetZoneLimits(3, 7);  // z1 = 27.3, z2 = 63.6 of 100
  scale.DrawLinear({10, 20, 110, 30}, true);
  Done();
  for (int c = 0; c <= 10; ++c) {
    const TColor expected = c <= 2 ? clBlack : c <= 6 ? clLime : clRed;
    EXPECT_EQ(At(10 + 10 * c, 29), expected) << c;
  }
}

TEST_F(ScaleTest, ZonesAreIgnoredOutsideTheirConditions) {
  struct Case {
    int limit1, limit2;
    TMMScaleStyle style;
  } cases[] = {{7, 3, stColor}, {-1, 3, stColor}, {3, 12, stColor}};
  for (const Case& c : cases) {
    img.fill(Qt::white);
    if (!painter->isActive()) painter->begin(&img);
    scale.SetStyle(c.style);
    scale.SetZoneColors(clLime, clRed);
    scale.SetZoneLimits(c.limit1, c.limit2);
    scale.DrawLinear({10, 20, 110, 30}, true);
    Done();
    for (int t = 0; t <= 10; ++t)
      EXPECT_EQ(At(10 + 10 * t, 29), clBlack) << c.limit1 << " " << t;
  }
  // Writing Color resets both zone colours.
  scale.SetColor(clBlue);
  EXPECT_EQ(scale.Color2(), clBlue);
  EXPECT_EQ(scale.Color3(), clBlue);
}

TEST_F(ScaleTest, EngravedLinesPairBlackWithAShiftedWhiteLine) {
  scale.SetStyle(stLowered);
  scale.SetTickCount(2);
  scale.SetEnlargeEvery(1);
  scale.DrawLinear({10, 20, 110, 30}, true);  // vertical ticks: white one pixel to the right
  scale.SetStyle(stRaised);
  scale.DrawLinear({2, 35, 12, 65}, false);  // horizontal ticks: black one pixel down
  Done();
  EXPECT_EQ(At(10, 25), clBlack);
  EXPECT_EQ(At(11, 25), clWhite);
  EXPECT_EQ(At(110, 25), clBlack);
  // Raised: white first, then black one row lower (and painted over nothing white).
  EXPECT_EQ(At(2, 35), clWhite);
  EXPECT_EQ(At(2, 36), clBlack);
  EXPECT_EQ(At(8, 36), clBlack);
  EXPECT_EQ(At(9, 36), clWhite);  // 7 pixels long: columns 2..8
}

TEST_F(ScaleTest, ConnectDrawsTheBaseLineBeyondTheFarEdge) {
  scale.SetConnect(true);
  scale.SetTickCount(2);
  scale.DrawLinear({10, 20, 110, 30}, true);
  const auto cols = Columns(clBlack);
  for (int x = 10; x <= 110; ++x)
    EXPECT_TRUE(cols.at(x).count(30)) << x;
  EXPECT_FALSE(cols.count(111));
  EXPECT_FALSE(cols.count(9));
}

TEST(TMMScale, ClampsNotifiesAndSizesItself) {
  TMMScale s;
  int changes = 0;
  s.OnChanged = [&](TMMObject*) { ++changes; };
  s.SetTickCount(1);
  s.SetSize(0);
  s.SetEnlargeEvery(-4);
  EXPECT_EQ(s.TickCount(), 2);
  EXPECT_EQ(s.Size(), 1);
  EXPECT_EQ(s.EnlargeEvery(), 1);
  EXPECT_EQ(changes, 3);
  s.SetTickCount(0);  // clamps to the stored 2: no change
  s.SetZoneColors(clRed, clRed);
  s.SetZoneLimits(1, 2);
  s.SetAngles(0, 90);
  EXPECT_EQ(changes, 3);

  struct Case {
    bool connect;
    TMMScaleStyle style;
    int total;
  } cases[] = {{false, stColor, 7},
               {true, stColor, 8},
               {true, stLowered, 9},
               {true, stRaised, 9},
               {false, stLowered, 7}};
  for (const Case& c : cases) {
    TMMScale t;
    t.SetConnect(c.connect);
    t.SetStyle(c.style);
    EXPECT_EQ(t.TotalSize(), c.total);
  }
}

TEST(TMMScale, AssignCopiesThePublishedValuesOnce) {
  TMMScale a, b;
  a.SetVisible(false);
  a.SetColor(clRed);
  a.SetStyle(stRaised);
  a.SetTickCount(6);
  a.SetEnlargeEvery(2);
  a.SetSize(9);
  a.SetOrigin(soOuter);
  a.SetConnect(true);
  int changes = 0;
  b.OnChanged = [&](TMMObject*) { ++changes; };
  b.Assign(a);
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(b.Visible());
  EXPECT_EQ(b.Color(), clRed);
  EXPECT_EQ(b.Style(), stRaised);
  EXPECT_EQ(b.TickCount(), 6);
  EXPECT_EQ(b.EnlargeEvery(), 2);
  EXPECT_EQ(b.Size(), 9);
  EXPECT_EQ(b.Origin(), soOuter);
  EXPECT_TRUE(b.Connect());
  TMMBevel bevel;
  EXPECT_THROW(b.Assign(bevel), std::invalid_argument);
}

TEST(TMMScale, RefusesToDrawWithoutACanvas) {
  TMMScale s;
  for (int circular = 0; circular < 2; ++circular) {
    try {
      if (circular)
        s.DrawCircular({0, 0, 10, 10});
      else
        s.DrawLinear({0, 0, 10, 10}, true);
      ADD_FAILURE() << "no error";
    } catch (const EMMScaleError& e) {
      EXPECT_STREQ(e.what(), "Canvas needed for this operation");
    }
  }
}

}  // namespace
}  // namespace zq
