#include "displays/mmmeter.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <cmath>
#include <string>
#include <thread>

#include "displays/recorderlook.h"
#include "tests/support/displays/display_fixture.h"
#include "widgets/fonts.h"

namespace zq {
namespace {

using testing::Block;
using testing::RawAt;

QRgb Rgb(TColor c) {
  return ToQColor(c).rgb() & 0xFFFFFF;
}

// Distance from (x, y) to the segment a-b.
double Distance(double x, double y, TPoint a, TPoint b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  double t = ((x - a.X) * dx + (y - a.Y) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(x - (a.X + t * dx), y - (a.Y + t * dy));
}

class MeterTest : public ::testing::Test, public testing::DisplayFixture {
 protected:
  // The recorder's left needle (a 134 x 61 face), shown when the window is.
  TMMMeter* RecorderMeter() {
    auto* m = new TMMMeter(pacer, &peaks, &window);
    ApplyRecorderMeter(*m, chLeft);
    m->SetBounds(0, 0, kRecorderNeedleWidth[0], kRecorderNeedleHeight);
    m->show();
    return m;
  }
  void Feed(TMMCustomMeter* m, std::int16_t raw) {
    const auto b = Block(m->Samples(), m->Mode() == mStereo, raw, raw);
    m->ProcessData(b.data());
  }
  // The face as shown (inside the bevel), needles included.
  QImage Shown(TMMCustomMeter* m) {
    const TRect r = m->BevelClientRect();
    return m->grab().toImage().copy(r.Left, r.Top, r.Width(), r.Height());
  }
};

TEST_F(MeterTest, TheRecorderFaceHasItsPivotAndNeedleEnds) {
  TMMMeter* m = RecorderMeter();
  EXPECT_EQ(m->FaceWidth(), 134);
  EXPECT_EQ(m->FaceHeight(), 61);
  EXPECT_EQ(m->Pivot(), (TPoint{67, 111}));
  EXPECT_EQ(m->NeedleLength(), 99);
  EXPECT_EQ(m->PointAt(0, 99), (TPoint{3, 35}));
  EXPECT_EQ(m->PointAt(32767, 99), (TPoint{131, 35}));
  EXPECT_EQ(m->PointAt(16384, 99), (TPoint{67, 12}));

  m->SetScaleAngle(200);
  EXPECT_EQ(m->ScaleAngle(), 180);
  EXPECT_EQ(m->PointAt(0, 99), (TPoint{67 - 99, 111}));
  EXPECT_EQ(m->PointAt(32767, 99), (TPoint{67 + 99, 111}));
  m->SetScaleAngle(10);
  EXPECT_EQ(m->ScaleAngle(), 45);
}

TEST_F(MeterTest, AboutMinus25DecibelsPointsTheDefaultNeedleStraightUp) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->SetDecayMode(dmNone);
  Feed(m, 1843);
  EXPECT_NEAR(m->NeedleValue(), 16384, 2);
  EXPECT_EQ(m->PointAt(m->NeedleValue(), m->NeedleLength()), (TPoint{67, 12}));
}

TEST_F(MeterTest, NeedlesLieWithinAPixelOfTheirLine) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->SetDecayMode(dmNone);
  m->SetShowPeak(false);
  struct Case {
    std::int16_t raw;
    TPoint tip;
  };
  const Case cases[] = {{0, {3, 35}}, {32767, {131, 35}}, {1843, {67, 12}}};
  const TPoint pivot{67, 111};
  for (const Case& c : cases) {
    Feed(m, c.raw);
    const QImage face = Shown(m);
    int onLine = 0;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x) {
        if ((face.pixel(x, y) & 0xFFFFFF) != Rgb(clWhite)) continue;
        ++onLine;
        EXPECT_LE(Distance(x, y, pivot, c.tip), 1.0) << "raw " << c.raw << " at " << x << "," << y;
      }
    // From the tip down to the face's bottom edge, one pixel a row at least.
    EXPECT_GE(onLine, 61 - c.tip.Y - 1) << "raw " << c.raw;
  }
}

TEST_F(MeterTest, WiderPensDrawWiderNeedles) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->SetShowPeak(false);
  m->SetDecayMode(dmNone);
  Feed(m, 1843);  // upright: count the needle's pixels across row 40
  auto across = [&](int width) {
    m->SetNeedleWidth(width);
    const QImage face = Shown(m);
    int n = 0;
    for (int x = 0; x < face.width(); ++x)
      n += (face.pixel(x, 40) & 0xFFFFFF) == Rgb(clWhite);
    return n;
  };
  EXPECT_EQ(across(0), 1);
  EXPECT_EQ(across(1), 1);
  EXPECT_EQ(across(3), 3);
}

TEST_F(MeterTest, TicksTakeTheirZoneColours) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->repaint();
  const QImage& face = m->FaceImage();
  const int l = m->NeedleLength();
  for (int i = 0; i < 41; ++i) {
    const TColor expected = i <= 24 ? clLime : i <= 32 ? clYellow : clRed;
    const TPoint p = m->PointAt(32767 * i / 40, l - 8);
    bool found = false;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        found = found || (face.pixel(p.X + dx, p.Y + dy) & 0xFFFFFF) == Rgb(expected);
    EXPECT_TRUE(found) << "tick " << i;
  }
}

TEST_F(MeterTest, LabelsAreTheTextTheCanvasPutsWhereTheyBelong) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->repaint();
  const QImage& face = m->FaceImage();
  const QFont font = WindowsFont("Small Fonts", 6);
  TCanvas metrics(nullptr);
  metrics.SetFont(font);
  const int labels[] = {-50, -40, -30, -20, -10, 0};
  for (int k = 0; k < 6; ++k) {
    const QString text = QString::number(labels[k]);
    const QString digits = QString::number(std::abs(labels[k]));
    const TPoint p = m->PointAt(32767 * (8 * k) / 40, m->NeedleLength() - 2);
    const int x = p.X + metrics.TextWidth(digits) / 2 - metrics.TextWidth(text) + 1;
    const int y = p.Y - metrics.TextHeight("0") - 3;
    QImage expected(face.size(), QImage::Format_RGB32);
    expected.fill(Qt::black);
    {
      QPainter painter(&expected);
      TCanvas canvas(&painter);
      canvas.SetFont(font);
      canvas.SetFontColor(clSilver);
      canvas.TextOut(x, y, text);
    }
    int inked = 0;
    for (int yy = 0; yy < face.height(); ++yy)
      for (int xx = 0; xx < face.width(); ++xx) {
        const QRgb e = expected.pixel(xx, yy) & 0xFFFFFF;
        if (e == 0) continue;
        ++inked;
        EXPECT_EQ(face.pixel(xx, yy) & 0xFFFFFF, e)
            << text.toStdString() << " at " << xx << "," << yy;
      }
    EXPECT_GT(inked, 5) << text.toStdString();
  }
}

TEST_F(MeterTest, OneTickDrawsNoScaleAndTheCaptionSitsAboveTheBottom) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->SetScaleTicks(1);
  m->SetCaption("");
  m->repaint();
  QImage face = m->FaceImage();
  for (int y = 0; y < face.height(); ++y)
    for (int x = 0; x < face.width(); ++x)
      ASSERT_EQ(face.pixel(x, y) & 0xFFFFFF, 0u) << x << "," << y;

  m->SetCaption("dB");
  m->repaint();
  face = m->FaceImage();
  // The caption's band: from 61 - 3 - height("W") to 61 - 3.
  TCanvas metrics(nullptr);
  metrics.SetFont(m->Font());
  const int bottom = 61 - 61 / 16, top = bottom - metrics.TextHeight("W");
  int inside = 0, outside = 0;
  for (int y = 0; y < face.height(); ++y)
    for (int x = 0; x < face.width(); ++x)
      if ((face.pixel(x, y) & 0xFFFFFF) != 0) ++(y >= top && y < bottom ? inside : outside);
  EXPECT_GT(inside, 20);
  EXPECT_EQ(outside, 0);
}

TEST_F(MeterTest, FontsAreTheMappedFacesAtTheirPixelSizes) {
  TMMMeter* m = RecorderMeter();
  const QFontInfo caption(m->Font());
  EXPECT_EQ(caption.family(), "DejaVu Sans");
  EXPECT_EQ(caption.pixelSize(), 11);
  EXPECT_TRUE(caption.bold());
  const QFontInfo labels(WindowsFont("Small Fonts", 6));
  EXPECT_EQ(labels.family(), "DejaVu Sans");
  EXPECT_EQ(labels.pixelSize(), 8);
  EXPECT_EQ(QFontInfo(WindowsFont("ms sans serif", 8)).pixelSize(), 11);
}

TEST_F(MeterTest, APeakAt30000FallsToTheNeedleAtRestIn60Steps) {
  Show();
  TMMMeter* m = RecorderMeter();
  m->SetDecayMode(dmNone);
  Feed(m, RawAt(30000, -50, 32767, 0.00001));
  const std::int64_t peak = m->PeakValue();
  ASSERT_GE(peak, 30000);
  ASSERT_LT(peak, 30010);
  Feed(m, 0);
  ASSERT_EQ(m->NeedleValue(), 0);
  Tick(41 + 2 * 59);
  Feed(m, 0);
  EXPECT_EQ(m->PeakValue(), peak - 60 * 500) << "60 steps of 500 bring 30000 down to the needle";
  Tick(2);
  Feed(m, 0);
  EXPECT_EQ(m->PeakValue(), 0) << "never below the needle";

  // Held at a louder reading, the peak needle is drawn under the needle in its own colour.
  Feed(m, 32767);
  Feed(m, 1843);
  const QImage face = Shown(m);
  int red = 0;
  for (int x = 110; x < 126; ++x)  // inside the ticks' arc, on the way to full scale
    red += (face.pixel(x, 50) & 0xFFFFFF) == Rgb(clRed);
  EXPECT_EQ(red, 1) << "the peak needle on its way to full scale";
}

TEST_F(MeterTest, HiddenDisabledAndForeignThreadBlocksAreIgnored) {
  Show();
  TMMMeter* m = RecorderMeter();
  Feed(m, 20000);
  EXPECT_EQ(pacer.Waiting(), 1);
  Frame();
  int paints = 0;
  m->OnPostPaint = [&](TMMCustomMeter*) { ++paints; };
  for (int raw : {1000, 2000, 3000})
    Feed(m, static_cast<std::int16_t>(raw));
  Frame();
  EXPECT_EQ(paints, 1);

  m->hide();
  EXPECT_FALSE(m->WantsBlocks());
  Feed(m, 9000);
  EXPECT_EQ(m->LastRawLevel(), 3000);
  m->show();
  m->SetEnabled(false);
  EXPECT_FALSE(m->WantsBlocks());
  EXPECT_EQ(m->NeedleValue(), 0) << "disabling parks the needle";
  EXPECT_EQ(m->PeakValue(), 0);
  Feed(m, 9000);
  EXPECT_EQ(m->LastRawLevel(), 0);
  m->SetEnabled(true);
  std::thread capture([&] { Feed(m, 9000); });
  capture.join();
  EXPECT_EQ(m->LastRawLevel(), 0);
  EXPECT_EQ(pacer.Waiting(), 0);
  Feed(m, 9000);
  EXPECT_EQ(m->LastRawLevel(), 9000);
}

TEST_F(MeterTest, FormatsGainValueAndATinyFace) {
  TMMMeter* m = RecorderMeter();
  EXPECT_EQ(m->BlockBytes(), 80);
  TWaveFormatEx bad{};
  BuildPCMFormat(bad, 16, 2, 200000);
  try {
    m->SetFormat(&bad);
    ADD_FAILURE() << "200 kHz accepted";
  } catch (const EMMMeterError& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid WaveFormat");
  }
  EXPECT_EQ(m->BlockBytes(), 80);
  m->SetGain(33);
  EXPECT_EQ(m->Gain(), 0);

  Show();
  m->SetDecayMode(dmNone);
  int overflows = 0;
  m->OnGainOverflow = [&](TMMCustomMeter*) { ++overflows; };
  Feed(m, 32767);
  EXPECT_EQ(overflows, 1) << "full scale reaches the stop";
  EXPECT_EQ(m->Value(), 100);
  m->SetGain(-8);
  EXPECT_EQ(m->Value(), 0);
  m->SetGain(0);
  m->SetValue(50);
  EXPECT_EQ(m->Value(), 50);

  m->SetBounds(0, 0, 3, 3);
  EXPECT_EQ(m->FaceWidth(), 1);
  EXPECT_EQ(m->FaceHeight(), 1);
  EXPECT_EQ(m->NeedleValue(), 0) << "a new size parks the needle";
  m->repaint();
  EXPECT_EQ(m->FaceImage().size(), QSize(1, 1));
}

}  // namespace
}  // namespace zq
