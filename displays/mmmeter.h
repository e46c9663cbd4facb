#pragma once
// TMMCustomMeter / TMMMeter: the analogue needle VU meter. An arc of ticks in three colour zones
// with decibel labels and a caption makes the face; a needle turns about a pivot below the face,
// and a second (peak) needle holds the highest reading for a while. The level measurement and
// decay are the level bar's (displays/levelcore.h); the needle's scale is 0 .. 32767.
//
// Feeding (TMMMeterFeed): as the level bar's; an invalid format raises EMMMeterError "Invalid
// WaveFormat". The meter wants blocks only while Enabled and visible (WantsBlocks); otherwise, or
// off the widget's thread, ProcessData does nothing.
//
// Drawing: an update never paints; a changed needle asks the frame pacer for a frame. The paint
// redraws the face image (picture or Color, scale, caption) only when something on it changed,
// copies it into the work image, draws the needles there (pen width NeedleWidth; 0 and 1 give one
// pixel) and shows the work image in one copy, then fires OnPostPaint. Both images have the size
// of the inner rectangle, at least 1 x 1; a new size parks the needles.
//
// Geometry: the pivot is (W div 2, H + NeedleOffset), the needle L = H + NeedleOffset - TopSpace
// long; a value v points at a0 + (pi - 2 a0) * v / 32767 from the left horizontal, with
// a0 = (180 - ScaleAngle) * pi / 360, and the point at radius r is
// (W div 2 - Round(cos a * r), H + NeedleOffset - Round(r * sin a)).
//
// Peak hold: the peak needle waits 2 * PeakDelay + 1 ticks of the shared 25 ms timer, then falls
// back to the needle at once (PeakSpeed 0) or by 500 every PeakSpeed ticks, never below it. The
// timer is told to stop while the meter is disabled or shows no peak needle. Main thread only,
// except WantsBlocks. The pacer and the shared timer outlive the meter.

#include <QFont>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>

#include "audio/mmdisplayfeed.h"
#include "audio/mmtimer.h"
#include "displays/feedgate.h"
#include "displays/framepacer.h"
#include "displays/levelcore.h"
#include "widgets/mmcontrols.h"
#include "widgets/mmscale.h"

namespace zq {

class EMMMeterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMMCustomMeter : public TMMGraphicControl, public TMMMeterFeed {
 public:
  using TNotifyEvent = std::function<void(TMMCustomMeter* sender)>;

  // pacer: the window's frame pacer; peakTimer: the shared timer (null: SharedTimer()).
  explicit TMMCustomMeter(FramePacer& pacer, TMMSharedTimer* peakTimer = nullptr,
                          QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMCustomMeter() override;

  // Feed.
  void SetFormat(const TWaveFormatEx* format) override;
  int BlockBytes() const override;
  void ProcessData(const void* data) override;
  void ResetDisplay() override;
  // Enabled and visible; any thread.
  bool WantsBlocks() const { return gate_.Wanted(); }

  TColor Scale1Color() const { return scaleColors_[0]; }
  void SetScale1Color(TColor value) { SetFaceValue(scaleColors_[0], value); }
  TColor Scale2Color() const { return scaleColors_[1]; }
  void SetScale2Color(TColor value) { SetFaceValue(scaleColors_[1], value); }
  TColor Scale3Color() const { return scaleColors_[2]; }
  void SetScale3Color(TColor value) { SetFaceValue(scaleColors_[2], value); }
  TColor NeedleColor() const { return needleColor_; }
  void SetNeedleColor(TColor value);
  TColor PeakColor() const { return peakColor_; }
  void SetPeakColor(TColor value);
  int NeedleOffset() const { return needleOffset_; }
  void SetNeedleOffset(int value);  // at least 0
  int NeedleWidth() const { return needleWidth_; }
  void SetNeedleWidth(int value);  // at least 0
  int ScaleAngle() const { return scaleAngle_; }
  void SetScaleAngle(int value);  // 45 .. 180
  int ScaleTicks() const { return scaleTicks_; }
  void SetScaleTicks(int value);  // 0 .. 32768; below 2 no scale is drawn
  int ScaleTicksEnlargeEvery() const { return enlargeEvery_; }
  void SetScaleTicksEnlargeEvery(int value);  // at least 0; 0: every tick long
  int ScaleTicksTextEvery() const { return textEvery_; }
  void SetScaleTicksTextEvery(int value);  // at least 0; 0: no labels
  int ScaleHeight1() const { return scaleHeight1_; }
  void SetScaleHeight1(int value);  // at least 0
  int ScaleHeight2() const { return scaleHeight2_; }
  void SetScaleHeight2(int value);  // at least 0
  TMMScaleOrigin ScaleOrigin() const { return scaleOrigin_; }
  void SetScaleOrigin(TMMScaleOrigin value) { SetFaceValue(scaleOrigin_, value); }
  bool DrawScale() const { return drawScale_; }
  void SetDrawScale(bool value) { SetFaceValue(drawScale_, value); }
  int TopSpace() const { return topSpace_; }
  void SetTopSpace(int value) { SetFaceValue(topSpace_, value); }
  int Point1() const { return point1_; }
  void SetPoint1(int value);  // 1 .. 100
  int Point2() const { return point2_; }
  void SetPoint2(int value);  // 1 .. 100
  TMMBits BitLength() const { return layout_.bits; }
  void SetBitLength(TMMBits value);
  TMMMode Mode() const { return layout_.mode; }
  void SetMode(TMMMode value);  // mMono or mStereo
  TMMChannel Channel() const { return layout_.channel; }
  void SetChannel(TMMChannel value) { layout_.channel = value; }
  int Samples() const { return layout_.samples; }
  void SetSamples(int value);  // at least 1
  int Gain() const { return gain_; }
  void SetGain(int value);  // -8 .. 32, others ignored
  int Sensitivy() const { return sensitivity_; }
  void SetSensitivy(int value);  // -90 .. -9
  bool LogAmp() const { return logAmp_; }
  void SetLogAmp(bool value) { SetFaceValue(logAmp_, value); }
  TMMDecayMode DecayMode() const { return decay_.Mode(); }
  void SetDecayMode(TMMDecayMode value) { decay_.SetMode(value); }
  int Decay() const { return decay_.Decay(); }
  void SetDecay(int value) { decay_.SetDecay(value); }  // 1 .. 16
  bool ShowPeak() const { return showPeak_; }
  void SetShowPeak(bool value);
  int PeakDelay() const { return peakDelay_; }
  void SetPeakDelay(int value);  // 0 .. 50
  int PeakSpeed() const { return peakSpeed_; }
  void SetPeakSpeed(int value);  // 0 .. 50
  std::int32_t DCOffsetL() const { return layout_.dcOffsetL; }
  void SetDCOffsetL(std::int32_t value) { layout_.dcOffsetL = value; }
  std::int32_t DCOffsetR() const { return layout_.dcOffsetR; }
  void SetDCOffsetR(std::int32_t value) { layout_.dcOffsetR = value; }
  // The needle's reading in percent; writing (clamped to 0 .. 100) moves it as a block would.
  int Value() const;
  void SetValue(int value);
  // The face picture, stretched to the face; a null image means none.
  const QImage& BackGroundDIB() const { return backGroundDIB_; }
  void SetBackGroundDIB(const QImage& value);
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& value);
  // The caption's font; its colour (FontColor) is also the labels' colour.
  const QFont& Font() const { return font_; }
  void SetFont(const QFont& value);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor value) { SetFaceValue(fontColor_, value); }
  bool Enabled() const { return enabled_; }
  // False parks both needles and stops the peak timer.
  void SetEnabled(bool value);

  void SetBounds(int left, int top, int width, int height) override;

  // Derived state.
  int FaceWidth() const { return faceW_; }
  int FaceHeight() const { return faceH_; }
  std::int64_t NeedleValue() const { return needle_; }  // V, 0 .. 32767
  std::int64_t PeakValue() const;                       // K
  std::int64_t LastRawLevel() const { return raw_; }
  TPoint Pivot() const;
  // The point at `radius` on the ray of value v (0 .. 32767).
  TPoint PointAt(std::int64_t v, int radius) const;
  int NeedleLength() const { return faceH_ + needleOffset_ - topSpace_; }
  // The face as the last paint drew it: picture or Color, ticks, labels and caption.
  const QImage& FaceImage() const { return face_; }

  TNotifyEvent OnGainOverflow;
  TNotifyEvent OnPcmOverflow;
  TNotifyEvent OnPostPaint;

 protected:
  void Paint(TCanvas& canvas) override;
  void BevelChanged() override;
  void ColorChanged() override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  template <class T>
  void SetFaceValue(T& field, T value) {
    if (field == value) return;
    field = value;
    Restyle();
  }
  void Restyle();  // the face changes
  void Update(std::int64_t raw);
  void ApplyTicks();
  void UpdateTicking();
  void UpdateGate();
  void Park();
  void Resize();
  void DrawFace();
  void DrawScaleOn(TCanvas& canvas);

  FramePacer& pacer_;
  FeedGate gate_{this};
  PeakTicks ticks_;
  LevelDecay decay_;
  PeakHold peak_;
  PcmLayout layout_{b8Bit, mMono, chBoth, 50, 0, 0};

  TColor scaleColors_[3] = {clGreen, clYellow, clRed};
  TColor needleColor_ = clWhite;
  TColor peakColor_ = clRed;
  int needleOffset_ = 30;
  int needleWidth_ = 1;
  int scaleAngle_ = 90;
  int scaleTicks_ = 41;
  int enlargeEvery_ = 4;
  int textEvery_ = 8;
  int scaleHeight1_ = 4;
  int scaleHeight2_ = 8;
  TMMScaleOrigin scaleOrigin_ = soInner;
  bool drawScale_ = true;
  int topSpace_ = 14;
  int point1_ = 60;
  int point2_ = 80;
  int gain_ = 0;
  int sensitivity_ = -50;
  bool logAmp_ = true;
  bool showPeak_ = true;
  int peakDelay_ = 20;
  int peakSpeed_ = 0;
  QImage backGroundDIB_;
  QString caption_ = QStringLiteral("dB");
  QFont font_;
  TColor fontColor_ = clSilver;
  bool enabled_ = true;

  int faceW_ = 1;
  int faceH_ = 1;
  QImage face_;
  QImage work_;
  bool faceStale_ = true;
  std::int64_t needle_ = 0;
  std::int64_t raw_ = 0;
  bool redraw_ = false;
};

class TMMMeter : public TMMCustomMeter {
 public:
  using TMMCustomMeter::TMMCustomMeter;
};

}  // namespace zq
