#include "displays/mmlevelscale.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "displays/recorderlook.h"
#include "tests/support/qt_app.h"
#include "widgets/fonts.h"

namespace zq {
namespace {

struct Label {
  const char* text;
  int edge;  // where the label starts, or ends when `ends`
  bool ends;
  TColor color;
};

// A horizontal strip of width x height, black, with the labels put by the canvas in the scale's
// font, centred vertically.
QImage Expected(int width, int height, const std::vector<Label>& labels) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  TCanvas canvas(&painter);
  canvas.SetFont(WindowsFont("Small Fonts", 6));
  const int y = (height - canvas.TextHeight("W")) / 2;
  for (const Label& l : labels) {
    canvas.SetFontColor(l.color);
    const int x = l.ends ? l.edge - canvas.TextWidth(l.text) : l.edge;
    canvas.TextOut(x, y, l.text);
  }
  return image;
}

QImage Shown(TMMLevelScale& s) {
  return s.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Where a label of n ticks along a strip of `length` stands (n counted from the left).
int Along(int n, int length, int ticks) {
  return (n * (length - 1) + (ticks - 1) / 2) / (ticks - 1);
}

TEST(TMMLevelScale, TheRecorderScaleLabelsZeroToMinusThirtyAndDropsMinusThirtyFive) {
  testing::QtApp();
  TMMLevelScale s;
  ApplyRecorderLevelScale(s);
  s.resize(254, 12);
  // Right-aligned to the ticks at 36, 72 ... 253; -35 would end at 0.
  const QImage expected = Expected(254, 12,
                                   {{"0", 253, true, clRed},
                                    {"-5", 217, true, clRed},
                                    {"-10", 181, true, clWhite},
                                    {"-15", 145, true, clWhite},
                                    {"-20", 108, true, clWhite},
                                    {"-25", 72, true, clWhite},
                                    {"-30", 36, true, clWhite}});
  EXPECT_EQ(Shown(s), expected);
  EXPECT_EQ(s.LabelStep(), 1);
}

TEST(TMMLevelScale, LabelsThatDoNotFitAreThinnedFromTheZeroDecibelEnd) {
  testing::QtApp();
  TCanvas metrics(nullptr);
  metrics.SetFont(WindowsFont("Small Fonts", 6));
  const int width = 4 * metrics.TextWidth("-35");  // room for 3 of the 7 gaps
  struct Case {
    TMMLevelDirection direction;
    std::vector<Label> labels;
  };
  // Every second label from 0 dB: 0, -10, -20; -30 would run past the end (n counted from the
  // left).
  const Case cases[] = {
      {dirNormal,
       {{"0", Along(7, width, 8), true, clRed},
        {"-10", Along(5, width, 8), true, clWhite},
        {"-20", Along(3, width, 8), true, clWhite}}},
      {dirReversed,
       {{"0", Along(0, width, 8), false, clRed},
        {"-10", Along(2, width, 8), false, clWhite},
        {"-20", Along(4, width, 8), false, clWhite}}},
  };
  for (const Case& c : cases) {
    TMMLevelScale s;
    s.Bevel().SetBevelOuter(bvNone);
    s.SetPoint2(80);
    s.SetDirection(c.direction);
    s.resize(width, 12);
    EXPECT_EQ(s.LabelStep(), 2);
    EXPECT_EQ(Shown(s), Expected(width, 12, c.labels)) << "direction " << c.direction;
  }
}

TEST(TMMLevelScale, SymmetricLabelsRunFromTheMiddleWithPlusCopiesOnTheLeft) {
  testing::QtApp();
  TMMLevelScale s;
  s.Bevel().SetBevelOuter(bvNone);
  s.SetDirection(dirSymetric);
  s.SetScaleTicks(3);
  s.SetSensitivy(-20);
  s.resize(200, 12);
  TCanvas metrics(nullptr);
  metrics.SetFont(s.Font());
  // Half is 100: -10 stands 50 from the middle, -20 99 from it, where neither copy fits.
  const QImage expected = Expected(200, 12,
                                   {{"0", 100 - metrics.TextWidth("0") / 2, false, clRed},
                                    {"-10", 150, false, clWhite},
                                    {"+10", 50, true, clWhite}});
  EXPECT_EQ(Shown(s), expected);
}

// The colours of the ticks in drawing order (left to right, or top to bottom), read along the
// line `at` pixels in from the strip's top or left edge.
std::vector<QRgb> TickColours(const QImage& image, bool horizontal, int at) {
  std::vector<QRgb> colours;
  const int n = horizontal ? image.width() : image.height();
  for (int i = 0; i < n; ++i) {
    const QRgb c = (horizontal ? image.pixel(i, at) : image.pixel(at, i)) & 0xFFFFFF;
    if (c != 0) colours.push_back(c);
  }
  return colours;
}

TEST(TMMLevelScale, AReversedScaleIsTheNormalOneTurnedEndForEnd) {
  testing::QtApp();
  struct Case {
    int point1, point2, ticks;
  };
  // With the borders on an end tick too (1, 99 and 100 percent).
  const Case cases[] = {{50, 85, 11}, {50, 80, 11}, {30, 60, 8}, {10, 90, 21},   {60, 61, 11},
                        {2, 99, 41},  {1, 100, 11}, {1, 1, 11},  {100, 100, 60}, {70, 20, 11}};
  for (const Case& c : cases) {
    auto make = [&](TMMLevelKind kind, TMMLevelDirection direction) {
      auto s = std::make_unique<TMMLevelScale>();
      s->Bevel().SetBevelOuter(bvNone);
      s->SetKind(kind);
      s->SetDirection(direction);
      s->SetPoint1(c.point1);
      s->SetPoint2(c.point2);
      s->SetScale2Color(clYellow);
      s->Scale().SetVisible(true);
      s->Scale().SetTickCount(c.ticks);
      s->Scale().SetEnlargeEvery(1);  // every tick long, so one line meets them all
      s->SetScalePos(spAboveOrLeft);
      // Exactly the ticks' depth: no room is left for labels.
      if (kind == lkHorizontal)
        s->resize(420, 7);
      else
        s->resize(7, 420);
      return TickColours(Shown(*s), kind == lkHorizontal, 6);
    };
    const std::vector<QRgb> normal = make(lkHorizontal, dirNormal);
    ASSERT_EQ(normal.size(), static_cast<std::size_t>(c.ticks));
    const std::vector<QRgb> reversed = make(lkHorizontal, dirReversed);
    EXPECT_EQ(reversed, std::vector<QRgb>(normal.rbegin(), normal.rend()))
        << c.point1 << "/" << c.point2 << ", " << c.ticks << " ticks";
    EXPECT_EQ(make(lkVertical, dirNormal), reversed) << "a column has its loud end on top";
    EXPECT_EQ(make(lkVertical, dirReversed), normal);
    EXPECT_EQ(normal.front(), 0xFFFFFFu) << "Scale1Color at the quiet end";
  }
}

}  // namespace
}  // namespace zq
