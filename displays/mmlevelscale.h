#pragma once
// TMMLevelScale: the strip of decibel labels, and optional ticks, drawn beside level bars. It is
// not linked to a level: the window gives both the same Sensitivy, Point1, Point2, Kind and
// Direction. Any change repaints. Main thread only.
//
// Ticks (Scale, a TMMLevScale, invisible by default): drawn along the edges ScalePos names,
// inset at both ends by half a label, coloured by zone: Scale1Color up to the tick
// MulDiv(Point1 - 1, ticks, 100), Scale2Color up to MulDiv(Point2 - 1, ticks, 100), Scale3Color
// beyond. Where the loud end of the bar lies at the left or top (a horizontal dirReversed scale,
// a vertical dirNormal one) the colours run the other way, starting with Scale3Color, and the
// borders are those same two tick numbers counted from the other end (TickCount - border): a
// reversed scale is the normal one turned end for end, tick for tick.
//
// Labels: ScaleTicks labels from 0 dB to Sensitivy (or their linear equivalents), placed along
// the length with the 0 dB label at the bar's loud end. When they do not all fit, only every i-th
// is drawn, i the smallest step that fits, counted from the 0 dB label, so 0 dB is always
// labelled. A label that would not fit wholly inside the strip is left out (at a normal
// horizontal scale the Sensitivy label, right-aligned to the left end, falls off).
//
// dirSymetric: 0 dB in the middle and Sensitivy at both ends; the labels on the side where the
// bar's spots start (right, or top) read as they are, their copies on the other side carry "+"
// and the absolute value; the 0 dB label is drawn once, centred.

#include <QFont>

#include "displays/mmlevel.h"
#include "widgets/mmcontrols.h"
#include "widgets/mmscale.h"

namespace zq {

// The tick scale of a level scale: publishes Visible (default false), TickCount, EnlargeEvery,
// Size, Origin and Connect. Its colour is the level scale's to set.
class TMMLevScale : public TMMCustomScale {
 public:
  TMMLevScale();

  using TMMCustomScale::Connect;
  using TMMCustomScale::EnlargeEvery;
  using TMMCustomScale::Origin;
  using TMMCustomScale::SetConnect;
  using TMMCustomScale::SetEnlargeEvery;
  using TMMCustomScale::SetOrigin;
  using TMMCustomScale::SetSize;
  using TMMCustomScale::SetTickCount;
  using TMMCustomScale::SetVisible;
  using TMMCustomScale::Size;
  using TMMCustomScale::TickCount;
  using TMMCustomScale::Visible;

 private:
  friend class TMMLevelScale;
};

class TMMLevelScale : public TMMGraphicControl {
 public:
  explicit TMMLevelScale(QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMLevelScale() override;

  int ScaleTicks() const { return scaleTicks_; }
  void SetScaleTicks(int value);  // at least 2
  int Point1() const { return point1_; }
  void SetPoint1(int value);  // 1 .. 100
  int Point2() const { return point2_; }
  void SetPoint2(int value);  // 1 .. 100
  TColor Scale1Color() const { return colors_[0]; }
  void SetScale1Color(TColor value) { Store(colors_[0], value); }
  TColor Scale2Color() const { return colors_[1]; }
  void SetScale2Color(TColor value) { Store(colors_[1], value); }
  TColor Scale3Color() const { return colors_[2]; }
  void SetScale3Color(TColor value) { Store(colors_[2], value); }
  int Sensitivy() const { return sensitivity_; }
  void SetSensitivy(int value);  // -90 .. -9
  bool LogAmp() const { return logAmp_; }
  void SetLogAmp(bool value) { Store(logAmp_, value); }
  TMMLevelKind Kind() const { return kind_; }
  void SetKind(TMMLevelKind value) { Store(kind_, value); }
  TMMLevelDirection Direction() const { return direction_; }
  void SetDirection(TMMLevelDirection value) { Store(direction_, value); }
  TMMLevScale& Scale() { return *scale_; }
  // Copies the published values of another tick scale.
  void SetScale(const TMMCustomScale& value) { scale_->Assign(value); }
  TMMScalePos ScalePos() const { return scalePos_; }
  void SetScalePos(TMMScalePos value) { Store(scalePos_, value); }
  const QFont& Font() const { return font_; }
  void SetFont(const QFont& value) { Store(font_, value); }

  // The label step the strip uses now (1: every label), for the current font and size.
  int LabelStep() const;

 protected:
  void Paint(TCanvas& canvas) override;

 private:
  template <class T>
  void Store(T& field, T value) {
    if (field == value) return;
    field = value;
    update();
  }
  int LabelStep(const TCanvas& canvas) const;
  void DrawTicks(TCanvas& canvas, TRect& labels, int inset);
  void DrawLabels(TCanvas& canvas, const TRect& area);

  int scaleTicks_ = 8;
  int point1_ = 50;
  int point2_ = 85;
  TColor colors_[3] = {clWhite, clWhite, clRed};
  int sensitivity_ = -35;
  bool logAmp_ = true;
  TMMLevelKind kind_ = lkHorizontal;
  TMMLevelDirection direction_ = dirNormal;
  std::unique_ptr<TMMLevScale> scale_;
  TMMScalePos scalePos_ = spBoth;
  QFont font_;
  bool painting_ = false;
};

}  // namespace zq
