#include "widgets/graphics.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <functional>
#include <set>
#include <utility>
#include <vector>

#include "tests/support/qt_app.h"
#include "widgets/linetrace.h"

namespace zq {
namespace {

TColor PixelAt(const QImage& img, int x, int y) {
  const QRgb p = img.pixel(x, y);
  return RGB(qRed(p), qGreen(p), qBlue(p));
}

TEST(ColorToRGB, ResolvesSystemColoursToClassicValuesAndPassesRgbThrough) {
  struct Case {
    TColor color, rgb;
  } cases[] = {
      {clBtnFace, clSilver},
      {clBtnShadow, clGray},
      {clBtnHighlight, clWhite},
      {clWindowFrame, clBlack},
      {clWindow, clWhite},
      {clActiveCaption, clNavy},
      {clInfoText, clBlack},
      {clSystemColor | 200, clBlack},
      {clRed, clRed},
      {0x00123456, 0x123456},
      {0x7F123456, 0x123456},  // stray bits above the RGB value are not a colour
  };
  for (const Case& c : cases)
    EXPECT_EQ(ColorToRGB(c.color), c.rgb) << std::hex << c.color;
  EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
}

std::vector<std::pair<int, int>> Trace(int x1, int y1, int x2, int y2, const TRect& clip) {
  std::vector<std::pair<int, int>> points;
  TraceLine(x1, y1, x2, y2, clip, [&](int x, int y) { points.emplace_back(x, y); });
  return points;
}

TEST(TraceLine, StopsBeforeTheEndPointAndStepsAlongTheMajorAxis) {
  const TRect all{-100, -100, 100, 100};
  using P = std::vector<std::pair<int, int>>;
  EXPECT_EQ(Trace(0, 0, 4, 0, all), (P{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
  EXPECT_EQ(Trace(4, 0, 0, 0, all), (P{{4, 0}, {3, 0}, {2, 0}, {1, 0}}));
  EXPECT_EQ(Trace(0, 0, 3, 3, all), (P{{0, 0}, {1, 1}, {2, 2}}));
  EXPECT_EQ(Trace(0, 0, 4, 2, all), (P{{0, 0}, {1, 1}, {2, 1}, {3, 2}}));
  EXPECT_EQ(Trace(0, 0, -1, -4, all), (P{{0, 0}, {0, -1}, {-1, -2}, {-1, -3}}));
  EXPECT_TRUE(Trace(5, 5, 5, 5, all).empty());
}

// Clipping is computed rather than searched: whatever the line, the clipped trace must be the
// unclipped one with the outside pixels left out.
TEST(TraceLine, ClippedTraceIsTheFullTraceRestrictedToTheClip) {
  const TRect clip{2, 3, 9, 8};
  const int lines[][4] = {
      {-20, -7, 30, 19}, {30, 19, -20, -7}, {5, -50, 6, 60},  {-3, 5, 40, 5}, {0, 0, 10, 10},
      {12, 0, 0, 12},    {5, 5, 5, 100},    {2, 3, 9, 8},     {8, 7, 2, 3},   {-1, 2, 9, 2},
      {1, 1, 100, 2},    {9, 9, 2, 3},      {-7, 15, 15, -7}, {3, 3, 3, 3},   {40, 0, 0, 40},
  };
  const TRect huge{-1000, -1000, 1000, 1000};
  for (const auto& l : lines) {
    std::vector<std::pair<int, int>> expected;
    for (auto p : Trace(l[0], l[1], l[2], l[3], huge))
      if (p.first >= clip.Left && p.first < clip.Right && p.second >= clip.Top &&
          p.second < clip.Bottom)
        expected.push_back(p);
    EXPECT_EQ(Trace(l[0], l[1], l[2], l[3], clip), expected)
        << l[0] << "," << l[1] << " -> " << l[2] << "," << l[3];
  }
  // A line across the whole integer range costs only the pixels inside the clip.
  const auto far = Trace(-2000000000, 5, 2000000000, 6, clip);
  EXPECT_EQ(far.size(), 7u);
}

TEST(TCanvas, LineToLeavesTheEndPointAndFillRectKeepsItsExclusiveEdges) {
  testing::QtApp();
  QImage img(10, 10, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    TCanvas c(&p);
    c.SetPenColor(clRed);
    c.MoveTo(1, 1);
    c.LineTo(5, 1);  // x = 1..4
    c.LineTo(5, 5);  // y = 1..4 in column 5
    c.LineTo(1, 9);  // diagonal, (1, 9) not set
    EXPECT_EQ(c.PenPos(), (TPoint{1, 9}));
    c.SetBrushColor(clBlue);
    c.FillRect({7, 7, 9, 8});
    c.FillRect({9, 9, 8, 8});  // inverted: nothing
  }
  std::set<std::pair<int, int>> red, blue;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) {
      if (PixelAt(img, x, y) == clRed) red.insert({x, y});
      if (PixelAt(img, x, y) == clBlue) blue.insert({x, y});
    }
  std::set<std::pair<int, int>> expectedRed = {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {5, 2},
                                               {5, 3}, {5, 4}, {5, 5}, {4, 6}, {3, 7}, {2, 8}};
  EXPECT_EQ(red, expectedRed);
  EXPECT_EQ(blue, (std::set<std::pair<int, int>>{{7, 7}, {8, 7}}));
}

TEST(TCanvas, ArcRunsCounterClockwiseFromStartRayToEndRay) {
  testing::QtApp();
  QImage img(21, 21, QImage::Format_RGB32);
  img.fill(Qt::white);
  {
    QPainter p(&img);
    TCanvas c(&p);
    c.SetPenColor(clBlack);
    // The upper half: from the ray pointing right to the ray pointing left.
    c.Arc(0, 0, 21, 21, 20, 10, 0, 10);
  }
  EXPECT_EQ(PixelAt(img, 10, 0), clBlack);   // top of the circle
  EXPECT_EQ(PixelAt(img, 10, 20), clWhite);  // bottom left out
  int upper = 0, lower = 0;
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 21; ++x)
      if (PixelAt(img, x, y) == clBlack) {
        upper += y < 9;
        lower += y > 11;
      }
  EXPECT_GT(upper, 20);
  EXPECT_EQ(lower, 0);
}

TEST(TCanvas, TextOutDrawsWithinItsMeasuredBoxWithoutBackground) {
  testing::QtApp();
  QImage img(60, 30, QImage::Format_RGB32);
  img.fill(Qt::white);
  int w = 0, h = 0;
  {
    QPainter p(&img);
    TCanvas c(&p);
    c.SetFontColor(clBlue);
    w = c.TextWidth("Wq");
    h = c.TextHeight("Wq");
    c.TextOut(10, 5, "Wq");
  }
  int inside = 0, outside = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      if (PixelAt(img, x, y) == clWhite) continue;
      (x >= 10 && x < 10 + w && y >= 5 && y < 5 + h ? inside : outside)++;
    }
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);
}

// Ellipse and Pie take the box Arc takes: right and bottom exclusive, so the outline ends on the
// box's last column and row.
TEST(TCanvas, EllipseAndPieOutlineTheBoxUpToItsLastColumnAndRow) {
  testing::QtApp();
  auto draw = [](const std::function<void(TCanvas&)>& f) {
    QImage img(24, 24, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    TCanvas c(&p);
    c.SetPenColor(clRed);
    c.SetBrushColor(clBlue);
    f(c);
    p.end();
    return img;
  };
  auto extent = [](const QImage& img, TColor color) {
    QRect r;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (PixelAt(img, x, y) == color) r |= QRect(x, y, 1, 1);
    return r;
  };
  const QImage ellipse = draw([](TCanvas& c) { c.Ellipse(2, 3, 22, 17); });
  EXPECT_EQ(extent(ellipse, clRed), QRect(QPoint(2, 3), QPoint(21, 16)));
  EXPECT_EQ(PixelAt(ellipse, 12, 10), clBlue);
  EXPECT_EQ(extent(ellipse, clBlue) & QRect(QPoint(2, 3), QPoint(21, 16)), extent(ellipse, clBlue));

  // Equal rays: the whole ellipse.
  EXPECT_EQ(draw([](TCanvas& c) { c.Pie(2, 3, 22, 17, 12, 3, 12, 3); }), ellipse);

  // From three o'clock counter-clockwise to twelve: the upper right quarter.
  const QImage quarter = draw([](TCanvas& c) { c.Pie(0, 0, 21, 21, 20, 10, 10, 0); });
  const QRect fill = extent(quarter, clBlue), line = extent(quarter, clRed);
  EXPECT_FALSE(fill.isEmpty());
  EXPECT_GE(fill.left(), 10);
  EXPECT_LE(fill.bottom(), 10);
  EXPECT_EQ(line, QRect(QPoint(10, 0), QPoint(20, 10)));
}

}  // namespace
}  // namespace zq
