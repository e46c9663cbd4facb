#include "displays/mmmeter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "widgets/accessibility.h"
#include "widgets/fonts.h"

namespace zq {

namespace {

constexpr double kNeedleFloor = 0.00001;
constexpr std::int64_t kPeakStep = 500;

std::int64_t RoundEven(double v) {
  return static_cast<std::int64_t>(std::nearbyint(v));
}

// Read as an indicator valued by its reading in percent.
ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* meter = dynamic_cast<TMMCustomMeter*>(o);
  if (meter == nullptr) return nullptr;
  return new AccessibleText(
      meter, [meter] { return QStringLiteral("%1%").arg(meter->Value()); }, QAccessible::Indicator);
});

}  // namespace

TMMCustomMeter::TMMCustomMeter(FramePacer& pacer, TMMSharedTimer* peakTimer, QWidget* parent,
                               TMMComponent* owner)
    : TMMGraphicControl(parent, owner),
      pacer_(pacer),
      ticks_(peakTimer != nullptr ? *peakTimer : SharedTimer()),
      font_(WindowsFont("MS Sans Serif", 8, fsBold)) {
  SetColor(clBlack);
  resize(170, 90);
  Resize();
}

TMMCustomMeter::~TMMCustomMeter() {
  DetachFromConnectors();
  ticks_.Unregister();
}

// ---- Feed -------------------------------------------------------------------------------------

void TMMCustomMeter::SetFormat(const TWaveFormatEx* format) {
  if (!IsValidPCMFormat(format)) throw EMMMeterError("Invalid WaveFormat");
  layout_.bits = format->wBitsPerSample == 16 ? b16Bit : b8Bit;
  layout_.mode = format->nChannels == 2 ? mStereo : mMono;
}

int TMMCustomMeter::BlockBytes() const {
  return static_cast<int>(BlockBytesOf(layout_));
}

void TMMCustomMeter::ProcessData(const void* data) {
  if (data == nullptr || !gate_.Open()) return;
  const std::int64_t raw = RawLevel(data, layout_);
  if (raw >= kFullScale && OnPcmOverflow) OnPcmOverflow(this);
  Update(raw);
}

void TMMCustomMeter::ResetDisplay() {
  Park();
  if (isVisible()) pacer_.RequestFrame(this);
}

void TMMCustomMeter::Park() {
  ticks_.Take();
  peak_.Clear();
  needle_ = raw_ = 0;
  redraw_ = false;
  decay_.Clear();
}

void TMMCustomMeter::Update(std::int64_t raw) {
  ApplyTicks();
  raw_ = raw;
  if (raw == 0 && needle_ == 0 && !redraw_) return;
  const std::int64_t r = decay_.Apply(raw, true);
  std::int64_t v = MapLevel(Amplified(r, gain_), sensitivity_, logAmp_, kFullScale, kNeedleFloor);
  if (v >= kFullScale) {
    if (OnGainOverflow) OnGainOverflow(this);
    v = kFullScale;
  }
  if (v > peak_.Value() && showPeak_) {
    peak_.Raise(v, peakDelay_);
    redraw_ = true;
  }
  if (v == needle_ && !redraw_) return;
  redraw_ = false;
  needle_ = v;
  if (enabled_ && isVisible()) pacer_.RequestFrame(this);
}

void TMMCustomMeter::ApplyTicks() {
  const std::int64_t ticks = ticks_.Take();
  if (ticks > 0 && peak_.Tick(ticks, peakSpeed_, kPeakStep, needle_)) redraw_ = true;
}

std::int64_t TMMCustomMeter::PeakValue() const {
  return peak_.Value();
}

int TMMCustomMeter::Value() const {
  return LevelPercent(needle_, kFullScale, gain_, sensitivity_, logAmp_);
}

void TMMCustomMeter::SetValue(int value) {
  Update(RawOfPercent(value));
}

// ---- Properties -------------------------------------------------------------------------------

void TMMCustomMeter::SetNeedleColor(TColor value) {
  if (value == needleColor_) return;
  needleColor_ = value;
  update();
}

void TMMCustomMeter::SetPeakColor(TColor value) {
  if (value == peakColor_) return;
  peakColor_ = value;
  update();
}

void TMMCustomMeter::SetNeedleOffset(int value) {
  SetFaceValue(needleOffset_, std::max(value, 0));
}

void TMMCustomMeter::SetNeedleWidth(int value) {
  value = std::max(value, 0);
  if (value == needleWidth_) return;
  needleWidth_ = value;
  update();
}

void TMMCustomMeter::SetScaleAngle(int value) {
  SetFaceValue(scaleAngle_, std::clamp(value, 45, 180));
}

void TMMCustomMeter::SetScaleTicks(int value) {
  SetFaceValue(scaleTicks_, std::clamp(value, 0, 32768));
}

void TMMCustomMeter::SetScaleTicksEnlargeEvery(int value) {
  SetFaceValue(enlargeEvery_, std::max(value, 0));
}

void TMMCustomMeter::SetScaleTicksTextEvery(int value) {
  SetFaceValue(textEvery_, std::max(value, 0));
}

void TMMCustomMeter::SetScaleHeight1(int value) {
  SetFaceValue(scaleHeight1_, std::max(value, 0));
}

void TMMCustomMeter::SetScaleHeight2(int value) {
  SetFaceValue(scaleHeight2_, std::max(value, 0));
}

void TMMCustomMeter::SetPoint1(int value) {
  SetFaceValue(point1_, std::clamp(value, 1, 100));
}

void TMMCustomMeter::SetPoint2(int value) {
  SetFaceValue(point2_, std::clamp(value, 1, 100));
}

void TMMCustomMeter::SetBitLength(TMMBits value) {
  layout_.bits = value == b16Bit ? b16Bit : b8Bit;
}

void TMMCustomMeter::SetMode(TMMMode value) {
  if (value == mMono || value == mStereo) layout_.mode = value;
}

void TMMCustomMeter::SetSamples(int value) {
  layout_.samples = std::clamp(value, 1, INT32_MAX / 4);
}

void TMMCustomMeter::SetGain(int value) {
  if (value >= -8 && value <= 32) gain_ = value;
}

void TMMCustomMeter::SetSensitivy(int value) {
  SetFaceValue(sensitivity_, std::clamp(value, -90, -9));
}

void TMMCustomMeter::SetShowPeak(bool value) {
  if (value == showPeak_) return;
  ApplyTicks();
  showPeak_ = value;
  peak_.ZeroCountdown();
  UpdateTicking();
  update();
}

void TMMCustomMeter::SetPeakDelay(int value) {
  value = std::clamp(value, 0, 50);
  if (value == peakDelay_) return;
  ApplyTicks();
  peakDelay_ = value;
  peak_.ZeroCountdown();
}

void TMMCustomMeter::SetPeakSpeed(int value) {
  value = std::clamp(value, 0, 50);
  if (value == peakSpeed_) return;
  ApplyTicks();
  peakSpeed_ = value;
  peak_.ZeroCountdown();
}

void TMMCustomMeter::SetBackGroundDIB(const QImage& value) {
  backGroundDIB_ = value;
  Restyle();
}

void TMMCustomMeter::SetCaption(const QString& value) {
  SetFaceValue(caption_, value);
}

void TMMCustomMeter::SetFont(const QFont& value) {
  SetFaceValue(font_, value);
}

void TMMCustomMeter::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  if (!enabled_) Park();
  UpdateTicking();
  UpdateGate();
  update();
}

void TMMCustomMeter::UpdateTicking() {
  const bool ticking = enabled_ && showPeak_;
  if (ticking != ticks_.Ticking()) {
    ApplyTicks();
    ticks_.SetTicking(ticking);
  }
}

void TMMCustomMeter::UpdateGate() {
  gate_.Set(enabled_ && isVisible());
}

void TMMCustomMeter::Restyle() {
  faceStale_ = true;
  update();
}

void TMMCustomMeter::ColorChanged() {
  Restyle();
}

void TMMCustomMeter::showEvent(QShowEvent* event) {
  TMMGraphicControl::showEvent(event);
  UpdateGate();
}

void TMMCustomMeter::hideEvent(QHideEvent* event) {
  TMMGraphicControl::hideEvent(event);
  UpdateGate();
}

// ---- Geometry ---------------------------------------------------------------------------------

void TMMCustomMeter::SetBounds(int left, int top, int width, int height) {
  TMMGraphicControl::SetBounds(left, top, width, height);
  BevelChanged();
}

void TMMCustomMeter::resizeEvent(QResizeEvent* event) {
  TMMGraphicControl::resizeEvent(event);
  Resize();
}

void TMMCustomMeter::BevelChanged() {
  Resize();
  update();
}

void TMMCustomMeter::Resize() {
  const TRect inner = BevelClientRect();
  const int w = std::max(inner.Width(), 1), h = std::max(inner.Height(), 1);
  if (w == faceW_ && h == faceH_ && !face_.isNull()) return;
  faceW_ = w;
  faceH_ = h;
  face_ = QImage(w, h, QImage::Format_RGB32);
  work_ = QImage(w, h, QImage::Format_RGB32);
  faceStale_ = true;
  Park();
}

TPoint TMMCustomMeter::Pivot() const {
  return {faceW_ / 2, faceH_ + needleOffset_};
}

TPoint TMMCustomMeter::PointAt(std::int64_t v, int radius) const {
  const auto a0 = static_cast<float>((180 - scaleAngle_) * std::numbers::pi / 360);
  const double a = a0 + (std::numbers::pi - 2.0 * a0) * static_cast<double>(v) / kFullScale;
  const TPoint p = Pivot();
  return {p.X - static_cast<int>(RoundEven(std::cos(a) * radius)),
          p.Y - static_cast<int>(RoundEven(radius * std::sin(a)))};
}

// ---- Drawing ----------------------------------------------------------------------------------

void TMMCustomMeter::DrawScaleOn(TCanvas& canvas) {
  const int ticks = scaleTicks_;
  if (ticks < 2) return;
  const int length = NeedleLength();
  const int inner = length - scaleHeight2_ - 2;  // soInner's start, soOuter's end
  const int shortEnd = length + scaleHeight1_ - scaleHeight2_ - 2;
  const double border1 = point1_ * double(kFullScale) / 100;
  const double border2 = point2_ * double(kFullScale) / 100;
  canvas.SetPenWidth(1);
  canvas.SetFont(WindowsFont("Small Fonts", 6));
  canvas.SetFontColor(fontColor_);
  const float t = static_cast<float>(kFullScale / std::pow(10.0, -sensitivity_ / 20.0));
  const int digitsHeight = canvas.TextHeight("0");
  for (int i = 0; i < ticks; ++i) {
    const std::int64_t a = kFullScale * i / (ticks - 1);
    const bool isShort = enlargeEvery_ > 0 && i != ticks - 1 && i % enlargeEvery_ != 0;
    int from, to;
    if (scaleOrigin_ == soOuter) {
      from = length - 2;
      to = isShort ? shortEnd : inner;
    } else {
      from = inner;
      to = isShort ? shortEnd : length - 2;
    }
    canvas.SetPenColor(a > border2   ? scaleColors_[2]
                       : a > border1 ? scaleColors_[1]
                                     : scaleColors_[0]);
    const TPoint p1 = PointAt(a, from), p2 = PointAt(a, to);
    canvas.MoveTo(p1.X, p1.Y);
    canvas.LineTo(p2.X, p2.Y);
    if (textEvery_ <= 0 || i % textEvery_ != 0) continue;
    std::int64_t number;
    if (logAmp_) {
      number = std::int64_t{ticks - i - 1} * sensitivity_ / (ticks - 1);
    } else {
      number = RoundEven(
          20 * std::log10((t + (kFullScale - t) * double(i) / (ticks - 1)) / double(kFullScale)));
    }
    const QString text = QString::number(number);
    const QString digits = QString::number(number < 0 ? -number : number);
    // The digits are centred on the point; a minus sign sticks out to the left.
    const TPoint p = PointAt(a, length - 2);
    const int x = p.X + canvas.TextWidth(digits) / 2 - canvas.TextWidth(text) + 1;
    canvas.TextOut(x, p.Y - digitsHeight - 3, text);
  }
}

void TMMCustomMeter::DrawFace() {
  QPainter painter(&face_);
  TCanvas canvas(&painter);
  if (!backGroundDIB_.isNull()) {
    painter.drawImage(QRect(0, 0, faceW_, faceH_), backGroundDIB_);
  } else {
    canvas.SetBrushColor(Color());
    canvas.FillRect({0, 0, faceW_, faceH_});
  }
  if (drawScale_) DrawScaleOn(canvas);
  if (!caption_.isEmpty()) {
    canvas.SetFont(font_);
    canvas.SetFontColor(fontColor_);
    const int bottom = faceH_ - faceH_ / 16;
    canvas.TextRect({0, bottom - canvas.TextHeight("W"), faceW_, bottom}, caption_, taCenter);
  }
  faceStale_ = false;
}

void TMMCustomMeter::Paint(TCanvas& canvas) {
  if (BevelExtent() > 0) Bevel().PaintBevel(canvas, {0, 0, width(), height()});
  ApplyTicks();
  if (faceStale_) DrawFace();
  std::memcpy(work_.bits(), face_.constBits(), static_cast<std::size_t>(face_.sizeInBytes()));
  {
    QPainter painter(&work_);
    TCanvas needles(&painter);
    needles.SetPenWidth(needleWidth_);
    const TPoint pivot = Pivot();
    const int length = NeedleLength();
    auto needle = [&](std::int64_t v, TColor color) {
      const TPoint tip = PointAt(v, length);
      needles.SetPenColor(color);
      needles.MoveTo(pivot.X, pivot.Y);
      needles.LineTo(tip.X, tip.Y);
    };
    if (showPeak_) needle(peak_.Value(), peakColor_);
    needle(needle_, needleColor_);
  }
  const TRect inner = BevelClientRect();
  canvas.Handle()->drawImage(QPoint(inner.Left, inner.Top), work_);
  if (OnPostPaint) OnPostPaint(this);
}

}  // namespace zq
