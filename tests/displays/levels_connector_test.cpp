// The recorder's two level bars and two needle meters fed through a connector (RealTime False,
// so each buffer is delivered while it is handed on), shown offscreen.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstring>
#include <numbers>
#include <set>
#include <vector>

#include "audio/mmconnector.h"
#include "displays/recorderlook.h"
#include "tests/support/audio/log_stages.h"
#include "tests/support/displays/display_fixture.h"

namespace zq {
namespace {

using testing::Device;
using testing::Pixels;

// What the bar and the needle show for a raw level, worked out afresh from their definitions.
int BarFor(double raw) {
  const float db = static_cast<float>(20 * std::log10(std::max(raw / 32767, 0.000001)));
  const double b = std::nearbyint((db + 35.0) * 127 / 35);
  return static_cast<int>(std::clamp(b, 0.0, 127.0));
}
int NeedleFor(double raw) {
  const float db = static_cast<float>(20 * std::log10(std::max(raw / 32767, 0.00001)));
  const double v = std::nearbyint((db + 50.0) * 32767 / 50);
  return static_cast<int>(std::clamp(v, 0.0, 32767.0));
}
TPoint TipFor(int v) {
  const auto a0 = static_cast<float>(100 * std::numbers::pi / 360);
  const double a = a0 + (std::numbers::pi - 2 * a0) * v / 32767;
  return {67 - static_cast<int>(std::nearbyint(std::cos(a) * 99)),
          111 - static_cast<int>(std::nearbyint(99 * std::sin(a)))};
}

double Distance(double x, double y, TPoint a, TPoint b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double t = std::clamp(((x - a.X) * dx + (y - a.Y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(x - (a.X + t * dx), y - (a.Y + t * dy));
}

// A 4096-byte buffer of 44100 Hz stereo: a tone of 11025 Hz, so its crests fall on samples, at
// `left` on the left and `right` on the right.
struct Buffer {
  Buffer(int left, int right) : bytes(4096) {
    static const int shape[4] = {0, 1, 0, -1};
    for (int i = 0; i < 1024; ++i) {
      const std::int16_t s[2] = {static_cast<std::int16_t>(left * shape[i % 4]),
                                 static_cast<std::int16_t>(right * shape[i % 4])};
      std::memcpy(bytes.data() + 4 * i, s, 4);
    }
    hdr.lpData = bytes.data();
    hdr.dwBufferLength = hdr.dwBytesRecorded = 4096;
  }
  std::vector<char> bytes;
  TWaveHdr hdr{};
};

class RecorderMetersTest : public ::testing::Test, public testing::DisplayFixture {
 protected:
  RecorderMetersTest() {
    for (int i = 0; i < 2; ++i) {
      const TMMChannel channel = i == 0 ? chLeft : chRight;
      levels[i] = new TMMLevel(pacer, &peaks, &window);
      ApplyRecorderLevel(*levels[i], channel);
      levels[i]->SetBounds(0, 30 * i, kRecorderLevelWidth[i], kRecorderLevelHeight);
      meters[i] = new TMMMeter(pacer, &peaks, &window);
      ApplyRecorderMeter(*meters[i], channel);
      meters[i]->SetBounds(300 + 140 * i, 0, kRecorderNeedleWidth[i], kRecorderNeedleHeight);
    }
    Show();
    TWaveFormatEx cd{};
    BuildPCMFormat(cd, 16, 2, 44100);
    connector.SetRealTime(false);
    connector.SetSynchronize(false);
    connector.SetLevel1(levels[0]);
    connector.SetLevel2(levels[1]);
    connector.SetMeter1(meters[0]);
    connector.SetMeter2(meters[1]);
    device.SetOutput(&connector);
    connector.SetOutput(&sink);
    device.SetBufferSize(4096);
    device.SetWaveFormat(&cd);
    device.ChainOpened();
    device.ChainStarted();
  }
  ~RecorderMetersTest() override {
    device.ChainStopped();
    device.ChainClosed();
  }
  void Push(int left, int right, int buffers = 1) {
    for (int i = 0; i < buffers; ++i) {
      Buffer b(left, right);
      device.BufferReady(&b.hdr);
    }
  }
  void Reset() {
    for (int i = 0; i < 2; ++i) {
      levels[i]->ResetDisplay();
      meters[i]->ResetDisplay();
    }
  }
  // The last spot of a bar that shows a lit colour, and that colour, read from its surface.
  std::pair<int, TColor> LastLit(TMMLevel* l) {
    l->repaint();
    TMMDIBCanvas& s = l->DIBCanvas();
    const auto p = Pixels(s);
    int last = 0;
    TColor color = clBlack;
    for (int i = 1; i <= l->Spots(); ++i)
      for (TColor c : {clLime, clYellow, clRed})
        if (p[static_cast<std::size_t>(l->SpotRect(i).Left)] ==
            static_cast<std::int32_t>(Device(s, c))) {
          last = i;
          color = c;
        }
    return {last, color};
  }
  // Every pixel of the needle's colour on the face lies within a pixel of the line to `tip`.
  void ExpectNeedleOn(TMMMeter* m, TPoint tip, const std::string& what) {
    const QImage face = m->grab().toImage().copy(2, 2, 134, 61);
    int pixels = 0;
    for (int y = 0; y < face.height(); ++y)
      for (int x = 0; x < face.width(); ++x)
        if ((face.pixel(x, y) & 0xFFFFFF) == 0xFFFFFF) {
          ++pixels;
          EXPECT_LE(Distance(x, y, {67, 111}, tip), 1.0) << what << " at " << x << "," << y;
        }
    EXPECT_GE(pixels, 61 - std::max(tip.Y, 0) - 1) << what;
  }

  testing::QueuedMainThread mainThread;
  testing::RecordedMessages messages;
  Services services{&time, &time, &mainThread, &messages, nullptr, nullptr};
  testing::Log log;
  testing::LogDevice device{"dev", &log};
  TMMConnector connector{services, nullptr, &peaks};
  testing::LogStage sink{"enc", &log};
  TMMLevel* levels[2] = {};
  TMMMeter* meters[2] = {};
};

TEST_F(RecorderMetersTest, TonesFromFullScalePastEachSensitivityShowWhereTheDefinitionsSay) {
  struct Case {
    const char* what;
    int raw;
  };
  const Case cases[] = {{"0 dBFS", 32767},  {"-3 dBFS", 23197}, {"-10 dBFS", 10362},
                        {"-25 dBFS", 1843}, {"raw 593", 593},   {"raw 592", 592},
                        {"-40 dBFS", 328},  {"-60 dBFS", 33}};
  const int right = 3277;  // -20 dBFS on the right all along
  for (const Case& c : cases) {
    Reset();
    Push(c.raw, right, 3);
    EXPECT_EQ(levels[0]->LastRawLevel(), c.raw) << c.what;
    EXPECT_EQ(levels[0]->BarLength(), BarFor(c.raw)) << c.what;
    EXPECT_EQ(levels[1]->BarLength(), BarFor(right)) << c.what;
    EXPECT_EQ(meters[0]->NeedleValue(), NeedleFor(c.raw)) << c.what;
    EXPECT_EQ(meters[1]->NeedleValue(), NeedleFor(right)) << c.what;

    const auto [last, color] = LastLit(levels[0]);
    const int b = BarFor(c.raw);
    EXPECT_EQ(last, b) << c.what;
    if (b > 0) {
      EXPECT_EQ(color, b <= 63 ? clLime : b <= 101 ? clYellow : clRed) << c.what;
    }
    ExpectNeedleOn(meters[0], TipFor(NeedleFor(c.raw)), c.what);
  }
  // The ends of the recorder's face.
  EXPECT_EQ(TipFor(0), (TPoint{3, 35}));
  EXPECT_EQ(TipFor(32767), (TPoint{131, 35}));
  EXPECT_EQ(TipFor(NeedleFor(1843)), (TPoint{67, 12}));
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(RecorderMetersTest, ALouderToneHoldsTheMarkAndThePeakNeedleUntilTheHoldPasses) {
  Push(23197, 23197, 2);
  Push(1843, 1843, 20);
  const int loud = BarFor(23197), quiet = BarFor(1843);
  EXPECT_EQ(levels[0]->BarLength(), quiet);
  EXPECT_EQ(levels[0]->PeakSpot(), loud);
  EXPECT_EQ(meters[0]->PeakValue(), NeedleFor(23197));
  std::set<int> lit;
  {
    levels[0]->repaint();
    TMMDIBCanvas& s = levels[0]->DIBCanvas();
    const auto p = Pixels(s);
    const auto red = static_cast<std::int32_t>(Device(s, clRed));
    for (int i = 1; i <= 127; ++i)
      if (p[static_cast<std::size_t>(levels[0]->SpotRect(i).Left)] == red) lit.insert(i);
  }
  EXPECT_EQ(lit, (std::set<int>{loud - 1, loud})) << "a two-spot mark in the red zone";

  Tick(40);
  Push(1843, 1843);
  EXPECT_EQ(levels[0]->PeakSpot(), loud);
  EXPECT_EQ(meters[0]->PeakValue(), NeedleFor(23197));
  Tick(1);
  Push(1843, 1843);
  EXPECT_EQ(levels[0]->PeakSpot(), quiet) << "gone: back with the bar, where it is not drawn";
  EXPECT_EQ(meters[0]->PeakValue(), NeedleFor(23197) - 500) << "the needle's slides down";
}

}  // namespace
}  // namespace zq
