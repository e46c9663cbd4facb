#include "gallery/page_levels.h"

#include <QLabel>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "displays/framepacer.h"
#include "displays/mmlevel.h"
#include "displays/mmlevelscale.h"
#include "displays/mmmeter.h"
#include "displays/recorderlook.h"
#include "gallery/gallery.h"
#include "platform/services.h"

namespace zq::gallery {

namespace {

using namespace levels;

constexpr int kRate = 44100;

// 16-bit stereo PCM for `ms` milliseconds: a tone of 11025 Hz (its crests fall on samples) at the
// given peak levels in dB below full scale.
std::vector<std::int16_t> Tone(double leftDb, double rightDb, int ms) {
  const int frames = kRate * ms / 1000;
  std::vector<std::int16_t> pcm(2 * static_cast<std::size_t>(frames));
  const double l = 32767 * std::pow(10.0, leftDb / 20), r = 32767 * std::pow(10.0, rightDb / 20);
  for (int i = 0; i < frames; ++i) {
    const double s = std::sin(2 * std::numbers::pi * 11025 * i / kRate);
    pcm[2 * i] = static_cast<std::int16_t>(std::lround(l * s));
    pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(r * s));
  }
  return pcm;
}

// A full-scale square wave on both channels.
std::vector<std::int16_t> Overload(int ms) {
  std::vector<std::int16_t> pcm(2 * static_cast<std::size_t>(kRate * ms / 1000));
  for (std::size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = (i / 8) % 2 == 0 ? 32767 : -32768;
  return pcm;
}

template <class Display>
void Feed(Display* d, const std::vector<std::int16_t>& pcm) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
  const std::size_t size = pcm.size() * 2, block = static_cast<std::size_t>(d->BlockBytes());
  for (std::size_t at = 0; at + block <= size; at += block)
    d->ProcessData(bytes + at);
}

TMMLevel* RecorderLevel(QWidget* parent, FramePacer& pacer, TMMSharedTimer* peaks,
                        TMMChannel channel, int x, int y, int width) {
  auto* l = new TMMLevel(pacer, peaks, parent);
  ApplyRecorderLevel(*l, channel);
  l->SetBounds(x, y, width, kLevelH);
  return l;
}

TMMMeter* RecorderMeter(QWidget* parent, FramePacer& pacer, TMMSharedTimer* peaks,
                        TMMChannel channel, int x, int y, int width) {
  auto* m = new TMMMeter(pacer, peaks, parent);
  ApplyRecorderMeter(*m, channel);
  m->SetBounds(x, y, width, kNeedleH);
  return m;
}

void Note(QWidget* parent, int x, int y, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setGeometry(x, y, 600, 16);
}

// The page feeds its displays once they are shown (hidden displays take no blocks). Its frame
// pacer runs on the programs' timers; the marks hang on a shared timer of its own that never
// ticks, so held marks stay where the screenshot finds them.
class LevelsPage : public TMMCustomPanel {
 public:
  LevelsPage() : pacer_(*DefaultServices().timers) {
    setFixedSize(kWidth, kHeight);
    Bevel().SetBevelOuter(bvRaised);
    const char* captions[kStateCount] = {"At rest", "On a tone: -10 dB left, -3 dB right",
                                         "Just after the tone: the marks and peak needles held",
                                         "At overload"};
    for (int s = 0; s < kStateCount; ++s) {
      const int y = RowY(s);
      Note(this, kLevelX, y - 17, captions[s]);
      Row& row = rows_[s];
      row.levels[0] = RecorderLevel(this, pacer_, &peaks_, chLeft, kLevelX, y, kLevelW1);
      row.levels[1] =
          RecorderLevel(this, pacer_, &peaks_, chRight, kLevelX, y + kLevelH + kLevelGap, kLevelW2);
      auto* scale = new TMMLevelScale(this);
      ApplyRecorderLevelScale(*scale);
      scale->SetBounds(kLevelX, y + 2 * kLevelH + 2 * kLevelGap, kLevelW1, kScaleH);
      row.meters[0] = RecorderMeter(this, pacer_, &peaks_, chLeft, kNeedleX, y, kNeedleW1);
      row.meters[1] = RecorderMeter(this, pacer_, &peaks_, chRight,
                                    kNeedleX + kNeedleW1 + kNeedleGap, y, kNeedleW2);
    }

    const int y = RowY(kStateCount);
    Note(this, kLevelX, y - 17,
         "Vertical (2-pixel spots), reversed and symmetric bars on the tone, marks held");
    auto* vertical = new TMMLevel(pacer_, &peaks_, this);
    vertical->SetKind(lkVertical);
    vertical->SetBounds(kLevelX, y, 16, 150);
    vertical->SetSpotWidth(2);
    small_.push_back(vertical);
    auto* verticalScale = new TMMLevelScale(this);
    verticalScale->SetKind(lkVertical);
    verticalScale->SetBounds(kLevelX + 18, y, 30, 150);
    verticalScale->Scale().SetVisible(true);
    verticalScale->SetScalePos(spAboveOrLeft);

    const TMMLevelDirection directions[] = {dirReversed, dirSymetric};
    int by = y;
    for (TMMLevelDirection d : directions) {
      auto* bar = new TMMLevel(pacer_, &peaks_, this);
      bar->SetDirection(d);
      bar->SetBounds(80, by, 240, 14);
      bar->SetNumPeaks(3);
      small_.push_back(bar);
      auto* scale = new TMMLevelScale(this);
      scale->SetDirection(d);
      scale->SetBounds(80, by + 16, 240, 22);
      scale->Scale().SetVisible(true);
      scale->SetScalePos(spAboveOrLeft);
      by += 70;
    }
    for (TMMLevel* bar : small_) {
      bar->SetBitLength(b16Bit);
      bar->SetMode(mStereo);
      bar->SetChannel(chLeft);
      bar->SetSamples(99);
      bar->SetDecayMode(dmStepUp);
      bar->SetDecay(8);
    }
  }

  ~LevelsPage() override {
    // The displays go first: they leave the pacer and the timer below when they are destroyed.
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      delete child;
  }

 protected:
  void showEvent(QShowEvent* event) override {
    TMMCustomPanel::showEvent(event);
    if (fed_) return;
    fed_ = true;
    const auto tone = Tone(-10, -3, 400);
    const auto silence = Tone(-200, -200, 12);
    const auto overload = Overload(200);
    auto feed = [](Row& row, const std::vector<std::int16_t>& pcm) {
      for (TMMLevel* l : row.levels)
        Feed(l, pcm);
      for (TMMMeter* m : row.meters)
        Feed(m, pcm);
    };
    feed(rows_[kTone], tone);
    feed(rows_[kHeld], tone);
    feed(rows_[kHeld], silence);
    feed(rows_[kOverload], overload);
    for (TMMLevel* bar : small_) {
      Feed(bar, tone);
      Feed(bar, silence);
    }
  }

 private:
  struct Row {
    TMMLevel* levels[2] = {};
    TMMMeter* meters[2] = {};
  };
  FramePacer pacer_;
  TMMSharedTimer peaks_{TMMSharedTimer::TickSource::Manual};
  Row rows_[kStateCount];
  std::vector<TMMLevel*> small_;
  bool fed_ = false;
};

std::unique_ptr<QWidget> BuildLevelsPage() {
  return std::make_unique<LevelsPage>();
}

ZQ_GALLERY_PAGE("levels", 40, BuildLevelsPage);

}  // namespace

}  // namespace zq::gallery
