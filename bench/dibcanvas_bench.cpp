// One full redraw of a 256 x 128 pixel surface as a display draws a frame (background copy,
// doted bars in three zones, peak marks, a grid, a trace) and shows it with DrawTo, against a
// plain QImage filled and drawn onto the same target in the same run. Also DrawTo alone.

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <cstdio>
#include <map>
#include <string>

#include "displays/mmdibcanvas.h"
#include "tests/support/qt_app.h"

namespace {

using zq::TMMDIBCanvas;

constexpr int kW = 256, kH = 128;

// The screen: a true-colour image, as a window's backing store.
QImage& Screen() {
  static QImage screen(kW, kH, QImage::Format_RGB32);
  return screen;
}

struct Frame {
  explicit Frame(int bits) {
    s.SetBitsPerPixel(bits);
    s.SetSize(kW, kH);
    QImage picture(kW, kH, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 40));
    s.SetBackGroundBitmap(picture);
    s.BeginDraw();
    s.EndDraw();
  }
  void Draw(int phase) {
    s.BeginDraw();
    s.CopyRect(0, 0, kW, kH, 0, 0, s.BackBits());
    s.SetColor(zq::clGray);
    for (int y = 0; y < kH; y += 16)
      s.DottedHLine(0, kW, y, 1);
    for (int x = 0; x < kW; x += 32)
      s.DashedVLine(x, 0, kH);
    for (int bar = 0; bar < 32; ++bar) {
      const int height = (bar * 37 + phase * 11) % kH;
      const int x = bar * 8;
      s.SetColor(zq::clLime);
      s.FillRect({x, kH - std::min(height, kH / 2), x + 7, kH}, true);
      if (height > kH / 2) {
        s.SetColor(zq::clYellow);
        s.FillRect({x, kH - height, x + 7, kH / 2}, true);
      }
      s.SetColor(zq::clRed);
      s.HLine(x, x + 7, kH - height - 3);
    }
    s.SetColor(zq::clAqua);
    s.MoveTo(0, kH / 2);
    for (int x = 4; x <= kW; x += 4)
      s.LineTo(x, (x * 7 + phase) % kH);
    QPainter p(&Screen());
    s.DrawTo(&p, 0, 0, kW, kH, 0, 0);
    s.EndDraw();
  }
  TMMDIBCanvas s;
};

void FullRedraw(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)));
  int phase = 0;
  for (auto _ : state)
    f.Draw(++phase);
  benchmark::DoNotOptimize(Screen().constBits());
}

void DrawToOnly(benchmark::State& state) {
  Frame f(static_cast<int>(state.range(0)));
  f.Draw(0);
  for (auto _ : state) {
    QPainter p(&Screen());
    f.s.DrawTo(&p, 0, 0, kW, kH, 0, 0);
  }
  benchmark::DoNotOptimize(Screen().constBits());
}

void PlainQImage(benchmark::State& state) {
  QImage image(kW, kH, QImage::Format_RGB32);
  int phase = 0;
  for (auto _ : state) {
    image.fill(qRgb(0, 0, ++phase & 0xFF));
    QPainter p(&Screen());
    p.drawImage(0, 0, image);
  }
  benchmark::DoNotOptimize(Screen().constBits());
}

BENCHMARK(PlainQImage)->Unit(benchmark::kMicrosecond);
BENCHMARK(FullRedraw)->Arg(8)->Arg(24)->Unit(benchmark::kMicrosecond);
BENCHMARK(DrawToOnly)->Arg(8)->Arg(24)->Unit(benchmark::kMicrosecond);

class Collect : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      wall[r.benchmark_name()] = r.GetAdjustedRealTime();
      cpu[r.benchmark_name()] = r.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> wall, cpu;  // microseconds per iteration
};

void Summary(const char* kind, std::map<std::string, double>& times) {
  const double base = times["PlainQImage"];
  if (base <= 0) return;
  for (const char* bits : {"8", "24"}) {
    const double full = times[std::string("FullRedraw/") + bits];
    const double show = times[std::string("DrawToOnly/") + bits];
    std::printf(
        "%s-bit %dx%d full redraw (%s): %.1f us, %.2fx a plain QImage fill+drawImage "
        "(%.1f us); DrawTo alone %.1f us (%.2fx)\n",
        bits, kW, kH, kind, full, full / base, base, show, show / base);
  }
}

}  // namespace

int main(int argc, char** argv) {
  zq::testing::QtApp();
  benchmark::Initialize(&argc, argv);
  Collect reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  // On a busy machine the processor time is the steadier figure.
  Summary("wall", reporter.wall);
  Summary("cpu", reporter.cpu);
  benchmark::Shutdown();
  return 0;
}
