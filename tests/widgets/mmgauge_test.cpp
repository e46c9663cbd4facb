#include "widgets/mmgauge.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QImage>
#include <limits>
#include <set>

#include "tests/support/qt_app.h"
#include "widgets/fonts.h"

namespace zq {
namespace {

constexpr QRgb kRed = 0xFF0000, kBlack = 0, kWhite = 0xFFFFFF, kCyan = 0x00FFFF;

QRgb At(const QImage& img, int x, int y) {
  return img.pixel(x, y) & 0xFFFFFF;
}

// The area inside the gauge's frame, as painted.
QImage Area(TMMGauge& g) {
  const TRect r = g.BevelClientRect();
  return g.grab().toImage().copy(r.Left, r.Top, r.Width(), r.Height());
}

class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// The recorder's disk gauge: 267 x 17, lowered 2 and raised 2, so a 259 x 9 area.
void DiskGauge(TMMGauge& g) {
  g.resize(267, 17);
  g.Bevel().SetBevelOuterWidth(2);
  g.Bevel().SetBevelInner(bvRaised);
  g.Bevel().SetBevelInnerWidth(2);
  g.SetForeColor(clRed);
  g.SetBackColor(clBlack);
  g.SetCaption(QString::fromUtf8("ESPAÇO OCUPADO"));
  g.SetFont(WindowsFont("Arial", -9, fsBold));
}

TEST(TMMGauge, DiskGaugeAt37PercentIsRedOver95ColumnsWithTheTextInverted) {
  testing::QtApp();
  TMMGauge g;
  DiskGauge(g);
  g.SetProgress(37);
  EXPECT_EQ(g.Text(), QString::fromUtf8("ESPAÇO OCUPADO 37%"));
  const QImage area = Area(g);
  ASSERT_EQ(area.size(), QSize(259, 9));
  int white = 0, cyan = 0;
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 259; ++x) {
      const QRgb p = At(area, x, y);
      if (x < 95) {
        ASSERT_TRUE(p == kRed || p == kCyan) << x << "," << y << " " << std::hex << p;
        cyan += p == kCyan;
      } else {
        ASSERT_TRUE(p == kBlack || p == kWhite) << x << "," << y << " " << std::hex << p;
        white += p == kWhite;
      }
    }
  EXPECT_GT(cyan, 10) << "the text begins over the red part";
  EXPECT_GT(white, 50);
  for (int y = 0; y < 9; ++y) {
    EXPECT_EQ(At(area, 0, y), kRed);
    EXPECT_EQ(At(area, 258, y), kBlack);
  }
}

TEST(TMMGauge, ProgressRepaintsOnlyWhenThePercentageChanges) {
  testing::QtApp();
  TMMGauge g;
  g.SetMaxValue(1000);
  g.SetProgress(370);
  g.show();
  QApplication::processEvents();
  PaintCounter counter(&g);
  g.SetProgress(371);
  QApplication::processEvents();
  EXPECT_EQ(counter.paints, 0);
  g.SetProgress(380);
  EXPECT_EQ(counter.paints, 1) << "a new percentage paints at once";
  g.SetProgress(5000);
  EXPECT_EQ(g.Progress(), 1000) << "clamped to the range";
}

TEST(TMMGauge, PercentageCoversEmptyAndWidestRangesAndAProgressLeftOutsideTheRange) {
  testing::QtApp();
  TMMGauge g;
  g.SetMinValue(5);
  g.SetMaxValue(5);
  g.SetProgress(5);
  EXPECT_EQ(g.Percent(), 0);
  EXPECT_EQ(g.Text(), "0%");

  const int top = std::numeric_limits<int>::max();
  g.SetMinValue(std::numeric_limits<int>::min());
  EXPECT_EQ(g.MinValue(), -top);
  g.SetMaxValue(top);
  g.SetProgress(0);
  EXPECT_EQ(g.Percent(), 50);
  g.SetProgress(top);
  EXPECT_EQ(g.Percent(), 100);
  g.SetProgress(-top);
  EXPECT_EQ(g.Percent(), 0);

  // A range narrowed under the progress leaves it there: the drawing stops at a full gauge.
  TMMGauge pie;
  pie.SetKind(gkPie);
  pie.SetForeColor(clRed);
  pie.SetBackColor(clWhite);
  pie.resize(60, 60);
  pie.SetMaxValue(1000);
  pie.SetProgress(1000);
  const QImage full = Area(pie);
  pie.SetMaxValue(400);
  EXPECT_EQ(pie.Progress(), 1000);
  EXPECT_EQ(pie.Percent(), 250);
  EXPECT_EQ(pie.Text(), "100%");
  EXPECT_EQ(Area(pie), full);
  pie.SetMinValue(-3000);
  pie.SetMaxValue(-2000);
  EXPECT_EQ(pie.Text(), "100%");
  pie.SetMaxValue(3000);
  pie.SetMinValue(2000);
  EXPECT_EQ(pie.Percent(), -100);
  EXPECT_EQ(pie.Text(), "0%");
}

// The kinds without text, on a gauge without a frame.
QImage Kind(TMMGaugeKind kind, int percent, int w, int h) {
  TMMGauge g;
  g.Bevel().SetBevelOuter(bvNone);
  g.SetShowText(false);
  g.SetKind(kind);
  g.SetForeColor(clRed);
  g.SetBackColor(clWhite);
  g.SetColor(clBlack);
  g.resize(w, h);
  g.SetProgress(percent);
  return g.grab().toImage();
}

TEST(TMMGauge, BarsFillTruncatedShares) {
  testing::QtApp();
  for (int p : {0, 1, 33, 99, 100}) {
    const QImage bar = Kind(gkHorizontalBar, p, 70, 5);
    const int red = 70 * p / 100;
    for (int x = 0; x < 70; ++x)
      EXPECT_EQ(At(bar, x, 2), x < red ? kRed : kWhite) << p << "% column " << x;
    const QImage column = Kind(gkVerticalBar, p, 5, 70);
    for (int y = 0; y < 70; ++y)
      EXPECT_EQ(At(column, 2, y), y >= 70 - red ? kRed : kWhite) << p << "% row " << y;
  }
  const QImage text = Kind(gkText, 50, 20, 5);
  EXPECT_EQ(At(text, 0, 0), kWhite);
  EXPECT_EQ(At(text, 19, 4), kWhite);
}

TEST(TMMGauge, PieGrowsClockwiseFromTwelveOClock) {
  testing::QtApp();
  const int n = 41;  // centre (20, 20)
  struct Case {
    int percent;
    // Points well inside the disc, by quadrant: upper right, lower right, lower left, upper left.
    bool red[4];
  } cases[] = {{0, {false, false, false, false}},
               {25, {true, false, false, false}},
               {50, {true, true, false, false}},
               {75, {true, true, true, false}},
               {100, {true, true, true, true}}};
  const QPoint probes[4] = {{28, 12}, {28, 28}, {12, 28}, {12, 12}};
  for (const Case& c : cases) {
    const QImage pie = Kind(gkPie, c.percent, n, n);
    for (int q = 0; q < 4; ++q)
      EXPECT_EQ(At(pie, probes[q].x(), probes[q].y()), c.red[q] ? kRed : kWhite)
          << c.percent << "% quadrant " << q;
    EXPECT_EQ(At(pie, 0, 0), kBlack) << "the corners keep the control's colour";
    EXPECT_EQ(At(pie, n / 2, 0), kRed) << "the outline reaches the top";
    EXPECT_EQ(At(pie, n - 1, n / 2), kRed) << "and the last column";
    EXPECT_EQ(At(pie, n / 2, n - 1), kRed) << "and the last row";
  }
}

TEST(TMMGauge, NeedlePointsLeftAtZeroUpAtHalfAndRight) {
  testing::QtApp();
  const int w = 41, h = 21;  // the needle stands on (20, 20)
  const QImage half = Kind(gkNeedle, 50, w, h);
  for (int y = 2; y < h - 1; ++y)
    EXPECT_EQ(At(half, 20, y), kRed) << "row " << y;
  EXPECT_EQ(At(half, 10, 10), kWhite);
  EXPECT_EQ(At(half, 0, 0), kBlack);
  for (int x = 0; x < w; ++x)
    EXPECT_EQ(At(half, x, h - 1), kRed) << "the bottom line at " << x;

  const QImage none = Kind(gkNeedle, 0, w, h);
  EXPECT_EQ(At(none, 20, 10), kWhite) << "no needle at 0 %";
  const QImage quarter = Kind(gkNeedle, 25, w, h);
  EXPECT_EQ(At(quarter, 13, 13), kRed) << "up and to the left";
  EXPECT_EQ(At(quarter, 27, 13), kWhite);
}

TEST(TMMGauge, BlackAndWhiteTextTakesTheFontColourOverEachPart) {
  testing::QtApp();
  TMMGauge g;
  g.Bevel().SetBevelOuter(bvNone);
  g.resize(120, 20);
  g.SetForeColor(clNavy);
  g.SetBackColor(clWhite);
  g.SetFontColor(clRed);
  g.SetBWText(true);
  g.SetProgress(50);
  const QImage img = g.grab().toImage();
  std::set<QRgb> left, right;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 120; ++x)
      (x < 60 ? left : right).insert(At(img, x, y));
  EXPECT_EQ(left, (std::set<QRgb>{0x000080, 0x00FFFF}));  // navy, red xor white
  EXPECT_EQ(right, (std::set<QRgb>{kWhite, kRed}));
}

}  // namespace
}  // namespace zq
