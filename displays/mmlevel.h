#pragma once
// TMMCustomLevel / TMMLevel: the segmented peak-level bar. A row (or column) of spots is lit from
// one end in proportion to the loudest sample of the latest block, in three colour zones over
// dim inactive spots, with a fall-back (decay) and a peak-hold mark of up to five spots.
//
// Feeding (TMMLevelFeed, from the connector): SetFormat takes 8 or 16-bit mono or stereo PCM
// (else EMMLevelError "Invalid WaveFormat", the previous layout kept); ProcessData reads one
// block of BlockBytes bytes and updates the bar; ResetDisplay makes it dark. The level wants
// blocks only while Enabled and visible (WantsBlocks); otherwise, or when called off the widget's
// thread, ProcessData does nothing.
//
// Drawing: an update never paints. When the bar or its mark changed it asks the frame pacer for
// a frame; the paint then copies the inactive spots from a background surface in one block copy,
// draws the lit spots and the mark into the work surface and shows it in one copy. Both surfaces
// have the size of the inner rectangle (inside the bevel, at least 1 x 1). OnPaint fires at the
// start of every redraw; OnDrawBar, when set, draws the whole bar instead.
//
// Peak hold: the mark is held 2 * PeakDelay + 1 ticks of the shared 25 ms timer, then vanishes
// (PeakSpeed 0) or falls one spot every PeakSpeed ticks; it moves with the next update or paint.
// The timer is told to stop while the level is disabled or has no mark (NumPeaks 0).
//
// Ranges: writers clamp to the ranges below; Gain outside -8 .. 32 is ignored. Main thread only,
// except WantsBlocks. The pacer and the shared timer outlive the level.

#include <QPointer>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

#include "audio/mmdisplayfeed.h"
#include "audio/mmtimer.h"
#include "displays/feedgate.h"
#include "displays/framepacer.h"
#include "displays/levelcore.h"
#include "displays/mmdibcanvas.h"

namespace zq {

class EMMLevelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TMMLevelKind { lkHorizontal, lkVertical };
enum TMMLevelDirection { dirNormal, dirReversed, dirSymetric };

class TMMCustomLevel : public TMMDIBGraphicControl, public TMMLevelFeed {
 public:
  using TNotifyEvent = std::function<void(TMMCustomLevel* sender)>;
  using TMMLevelDrawBar = std::function<void(TMMCustomLevel* sender, TMMDIBCanvas& dib,
                                             const TRect& rect, int nSpots, int peak)>;

  // pacer: the window's frame pacer; peakTimer: the shared timer (null: SharedTimer()).
  explicit TMMCustomLevel(FramePacer& pacer, TMMSharedTimer* peakTimer = nullptr,
                          QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMCustomLevel() override;

  // Feed.
  void SetFormat(const TWaveFormatEx* format) override;
  int BlockBytes() const override;
  void ProcessData(const void* data) override;
  void ResetDisplay() override;
  // Enabled and visible; any thread.
  bool WantsBlocks() const { return gate_.Wanted(); }

  TMMLevelKind Kind() const { return kind_; }
  // Also swaps Width and Height when the shape does not suit the new orientation.
  void SetKind(TMMLevelKind value);
  TMMLevelDirection Direction() const { return direction_; }
  void SetDirection(TMMLevelDirection value);
  bool Enabled() const { return enabled_; }
  // False makes the bar dark and stops the peak timer; true lays out afresh.
  void SetEnabled(bool value);
  int SpotWidth() const { return spotWidth_; }
  void SetSpotWidth(int value);  // 1 .. inner length div 3
  int SpotSpace() const { return spotSpace_; }
  void SetSpotSpace(int value);  // 0 .. 10
  TColor Bar1Color() const { return colors_[0]; }
  void SetBar1Color(TColor value) { SetSpotColor(0, value); }
  TColor Bar2Color() const { return colors_[1]; }
  void SetBar2Color(TColor value) { SetSpotColor(1, value); }
  TColor Bar3Color() const { return colors_[2]; }
  void SetBar3Color(TColor value) { SetSpotColor(2, value); }
  TColor Inactive1Color() const { return colors_[3]; }
  void SetInactive1Color(TColor value) { SetSpotColor(3, value); }
  TColor Inactive2Color() const { return colors_[4]; }
  void SetInactive2Color(TColor value) { SetSpotColor(4, value); }
  TColor Inactive3Color() const { return colors_[5]; }
  void SetInactive3Color(TColor value) { SetSpotColor(5, value); }
  bool InactiveDoted() const { return inactiveDoted_; }
  void SetInactiveDoted(bool value);
  bool ActiveDoted() const { return activeDoted_; }
  void SetActiveDoted(bool value);
  int Point1() const { return point1_; }
  void SetPoint1(int value);  // 1 .. 100
  int Point2() const { return point2_; }
  void SetPoint2(int value);  // 1 .. 100
  TMMBits BitLength() const { return layout_.bits; }
  void SetBitLength(TMMBits value);
  TMMMode Mode() const { return layout_.mode; }
  void SetMode(TMMMode value);  // mMono or mStereo
  TMMChannel Channel() const { return layout_.channel; }
  void SetChannel(TMMChannel value);
  int Samples() const { return layout_.samples; }
  void SetSamples(int value);  // at least 1
  int Gain() const { return gain_; }
  void SetGain(int value);  // -8 .. 32, others ignored
  int Sensitivy() const { return sensitivity_; }
  void SetSensitivy(int value);  // -90 .. -9
  bool LogAmp() const { return logAmp_; }
  void SetLogAmp(bool value);
  TMMDecayMode DecayMode() const { return decay_.Mode(); }
  void SetDecayMode(TMMDecayMode value) { decay_.SetMode(value); }
  int Decay() const { return decay_.Decay(); }
  void SetDecay(int value) { decay_.SetDecay(value); }  // 1 .. 16
  int NumPeaks() const { return numPeaks_; }
  void SetNumPeaks(int value);  // 0 .. 5
  int PeakDelay() const { return peakDelay_; }
  void SetPeakDelay(int value);  // 0 .. 50
  int PeakSpeed() const { return peakSpeed_; }
  void SetPeakSpeed(int value);  // 0 .. 50
  std::int32_t DCOffsetL() const { return layout_.dcOffsetL; }
  void SetDCOffsetL(std::int32_t value) { layout_.dcOffsetL = value; }
  std::int32_t DCOffsetR() const { return layout_.dcOffsetR; }
  void SetDCOffsetR(std::int32_t value) { layout_.dcOffsetR = value; }
  // The shown level in percent; writing (clamped to 0 .. 100) updates the bar as a block would.
  int Value() const;
  void SetValue(int value);

  void SetBitsPerPixel(int value) override;  // both surfaces
  void SetBounds(int left, int top, int width, int height) override;

  // Derived state.
  int InnerWidth() const { return innerW_; }
  int InnerHeight() const { return innerH_; }
  int Spots() const { return spots_; }                      // N
  int Margin() const { return margin_; }                    // before the first spot
  int ZoneBorder1() const { return p1_; }                   // P1, in spots
  int ZoneBorder2() const { return p2_; }                   // P2
  int BarLength() const { return static_cast<int>(bar_); }  // B, spots lit
  int PeakSpot() const;                                     // K, 0 for none
  std::int64_t LastRawLevel() const { return raw_; }
  // Spot i (1-based from where the bar starts) on the surface; spots outside 1 .. N lie beyond
  // the row.
  TRect SpotRect(int i) const;

  TNotifyEvent OnPaint;
  TMMLevelDrawBar OnDrawBar;
  TNotifyEvent OnPcmOverflow;
  TNotifyEvent OnGainOverflow;

 protected:
  void Paint(TCanvas& canvas) override;
  void BevelChanged() override;
  void ColorChanged() override;
  void Loaded() override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void SetSpotColor(int index, TColor value);
  void Update(std::int64_t raw);
  void ApplyTicks();
  void UpdateTicking();
  void UpdateGate();
  void Layout();
  void Resize();
  void Restyle();  // the inactive spots change
  TColor ZoneColor(std::int64_t spot, bool inactive) const;
  void DrawBackground();
  void DrawBar(TMMDIBCanvas& s);

  FramePacer& pacer_;
  FeedGate gate_{this};
  PeakTicks ticks_;
  LevelDecay decay_;
  PeakHold peak_;
  PcmLayout layout_{b8Bit, mMono, chBoth, 50, 0, 0};
  std::unique_ptr<TMMDIBCanvas> background_;
  bool backgroundStale_ = true;

  TMMLevelKind kind_ = lkHorizontal;
  TMMLevelDirection direction_ = dirNormal;
  bool enabled_ = true;
  int spotWidth_ = 1;
  int spotSpace_ = 1;
  TColor colors_[6] = {clAqua, clAqua, clRed, clTeal, clTeal, clMaroon};
  bool inactiveDoted_ = false;
  bool activeDoted_ = false;
  int point1_ = 50;
  int point2_ = 85;
  int gain_ = 0;
  int sensitivity_ = -35;
  bool logAmp_ = true;
  int numPeaks_ = 1;
  int peakDelay_ = 20;
  int peakSpeed_ = 0;

  int innerW_ = 1;
  int innerH_ = 1;
  int spots_ = 1;
  int margin_ = 0;
  int p1_ = 0;
  int p2_ = 0;
  std::int64_t bar_ = 0;
  std::int64_t raw_ = 0;
  bool redraw_ = false;
};

class TMMLevel : public TMMCustomLevel {
 public:
  using TMMCustomLevel::TMMCustomLevel;
};

}  // namespace zq
