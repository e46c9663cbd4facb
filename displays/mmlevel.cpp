#include "displays/mmlevel.h"

#include <QPainter>
#include <algorithm>

#include "widgets/accessibility.h"

namespace zq {

namespace {

constexpr double kLevelFloor = 0.000001;

// Read as an indicator valued by its level in percent.
ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* level = dynamic_cast<TMMCustomLevel*>(o);
  if (level == nullptr) return nullptr;
  return new AccessibleText(
      level, [level] { return QStringLiteral("%1%").arg(level->Value()); }, QAccessible::Indicator);
});

// Ends a surface's drawing however the drawing leaves.
struct Drawing {
  explicit Drawing(TMMDIBCanvas& s) : s(s) { s.BeginDraw(); }
  ~Drawing() { s.EndDraw(); }
  TMMDIBCanvas& s;
};

}  // namespace

TMMCustomLevel::TMMCustomLevel(FramePacer& pacer, TMMSharedTimer* peakTimer, QWidget* parent,
                               TMMComponent* owner)
    : TMMDIBGraphicControl(parent, owner),
      pacer_(pacer),
      ticks_(peakTimer != nullptr ? *peakTimer : SharedTimer()),
      background_(std::make_unique<TMMDIBCanvas>(this)) {
  SetColor(clBlack);
  resize(200, 17);
  Resize();
}

TMMCustomLevel::~TMMCustomLevel() {
  DetachFromConnectors();
  ticks_.Unregister();
}

// ---- Feed -------------------------------------------------------------------------------------

void TMMCustomLevel::SetFormat(const TWaveFormatEx* format) {
  if (!IsValidPCMFormat(format)) throw EMMLevelError("Invalid WaveFormat");
  layout_.bits = format->wBitsPerSample == 16 ? b16Bit : b8Bit;
  layout_.mode = format->nChannels == 2 ? mStereo : mMono;
}

int TMMCustomLevel::BlockBytes() const {
  return static_cast<int>(BlockBytesOf(layout_));
}

void TMMCustomLevel::ProcessData(const void* data) {
  if (data == nullptr || !gate_.Open()) return;
  const std::int64_t raw = RawLevel(data, layout_);
  if (raw >= kFullScale && OnPcmOverflow) OnPcmOverflow(this);
  Update(raw);
}

void TMMCustomLevel::ResetDisplay() {
  ticks_.Take();
  peak_.Clear();
  bar_ = raw_ = 0;
  redraw_ = false;
  decay_.Clear();
  if (isVisible()) pacer_.RequestFrame(this);
}

void TMMCustomLevel::Update(std::int64_t raw) {
  ApplyTicks();
  raw_ = raw;
  if (raw == 0 && bar_ == 0 && !redraw_) return;
  const std::int64_t r = decay_.Apply(raw, false);
  std::int64_t b = MapLevel(Amplified(r, gain_), sensitivity_, logAmp_, spots_, kLevelFloor);
  if (direction_ == dirSymetric) b /= 2;
  if (b > spots_) {
    if (OnGainOverflow) OnGainOverflow(this);
    b = spots_;
  }
  if (b >= peak_.Value() && b > 0 && numPeaks_ > 0) {
    peak_.Raise(b, peakDelay_);
    redraw_ = true;
  }
  if (b == bar_ && !redraw_) return;
  redraw_ = false;
  bar_ = b;
  if (enabled_ && isVisible()) pacer_.RequestFrame(this);
}

void TMMCustomLevel::ApplyTicks() {
  const std::int64_t ticks = ticks_.Take();
  if (ticks > 0 && peak_.Tick(ticks, peakSpeed_, 1, 0)) redraw_ = true;
}

int TMMCustomLevel::PeakSpot() const {
  return static_cast<int>(peak_.Value());
}

int TMMCustomLevel::Value() const {
  return LevelPercent(bar_, spots_, gain_, sensitivity_, logAmp_);
}

void TMMCustomLevel::SetValue(int value) {
  Update(RawOfPercent(value));
}

// ---- Properties -------------------------------------------------------------------------------

void TMMCustomLevel::SetKind(TMMLevelKind value) {
  if (value == kind_) return;
  kind_ = value;
  const bool wide = width() > height();
  if ((kind_ == lkHorizontal && height() > width()) || (kind_ == lkVertical && wide))
    SetBounds(x(), y(), height(), width());
  Layout();
}

void TMMCustomLevel::SetDirection(TMMLevelDirection value) {
  if (value == direction_) return;
  direction_ = value;
  Restyle();
}

void TMMCustomLevel::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  UpdateTicking();
  UpdateGate();
  if (enabled_) Layout();
  update();
}

void TMMCustomLevel::SetSpotWidth(int value) {
  const int length = kind_ == lkHorizontal ? innerW_ : innerH_;
  value = std::max(std::min(value, length / 3), 1);
  if (value == spotWidth_) return;
  spotWidth_ = value;
  Layout();
}

void TMMCustomLevel::SetSpotSpace(int value) {
  value = std::clamp(value, 0, 10);
  if (value == spotSpace_) return;
  spotSpace_ = value;
  Layout();
}

void TMMCustomLevel::SetSpotColor(int index, TColor value) {
  if (value == colors_[index]) return;
  colors_[index] = value;
  Restyle();
}

void TMMCustomLevel::SetInactiveDoted(bool value) {
  if (value == inactiveDoted_) return;
  inactiveDoted_ = value;
  Restyle();
}

void TMMCustomLevel::SetActiveDoted(bool value) {
  if (value == activeDoted_) return;
  activeDoted_ = value;
  update();
}

void TMMCustomLevel::SetPoint1(int value) {
  value = std::clamp(value, 1, 100);
  if (value == point1_) return;
  point1_ = value;
  Layout();
}

void TMMCustomLevel::SetPoint2(int value) {
  value = std::clamp(value, 1, 100);
  if (value == point2_) return;
  point2_ = value;
  Layout();
}

void TMMCustomLevel::SetBitLength(TMMBits value) {
  layout_.bits = value == b16Bit ? b16Bit : b8Bit;
}

void TMMCustomLevel::SetMode(TMMMode value) {
  if (value == mMono || value == mStereo) layout_.mode = value;
}

void TMMCustomLevel::SetChannel(TMMChannel value) {
  layout_.channel = value;
}

void TMMCustomLevel::SetSamples(int value) {
  // Held where the block size still fits an int.
  layout_.samples = std::clamp(value, 1, INT32_MAX / 4);
}

void TMMCustomLevel::SetGain(int value) {
  if (value >= -8 && value <= 32) gain_ = value;
}

void TMMCustomLevel::SetSensitivy(int value) {
  sensitivity_ = std::clamp(value, -90, -9);
}

void TMMCustomLevel::SetLogAmp(bool value) {
  logAmp_ = value;
}

void TMMCustomLevel::SetNumPeaks(int value) {
  value = std::clamp(value, 0, 5);
  if (value == numPeaks_) return;
  ApplyTicks();
  numPeaks_ = value;
  peak_.ZeroCountdown();
  UpdateTicking();
  update();
}

void TMMCustomLevel::SetPeakDelay(int value) {
  value = std::clamp(value, 0, 50);
  if (value == peakDelay_) return;
  ApplyTicks();
  peakDelay_ = value;
  peak_.ZeroCountdown();
}

void TMMCustomLevel::SetPeakSpeed(int value) {
  value = std::clamp(value, 0, 50);
  if (value == peakSpeed_) return;
  ApplyTicks();
  peakSpeed_ = value;
  peak_.ZeroCountdown();
}

void TMMCustomLevel::UpdateTicking() {
  const bool ticking = enabled_ && numPeaks_ > 0;
  if (ticking != ticks_.Ticking()) {
    ApplyTicks();
    ticks_.SetTicking(ticking);
  }
}

void TMMCustomLevel::UpdateGate() {
  gate_.Set(enabled_ && isVisible());
}

void TMMCustomLevel::SetBitsPerPixel(int value) {
  TMMDIBGraphicControl::SetBitsPerPixel(value);
  background_->SetBitsPerPixel(value);
  Restyle();
}

// ---- Geometry ---------------------------------------------------------------------------------

void TMMCustomLevel::SetBounds(int left, int top, int width, int height) {
  TMMDIBGraphicControl::SetBounds(left, top, width, height);
  BevelChanged();
}

void TMMCustomLevel::resizeEvent(QResizeEvent* event) {
  TMMDIBGraphicControl::resizeEvent(event);
  Resize();
}

void TMMCustomLevel::BevelChanged() {
  Resize();
  update();
}

void TMMCustomLevel::Resize() {
  const TRect inner = BevelClientRect();
  const int w = std::max(inner.Width(), 1), h = std::max(inner.Height(), 1);
  // The base sizes its surface to the whole widget; the bar draws inside the bevel only.
  DIBCanvas().SetSize(w, h);
  background_->SetSize(w, h);
  if (w == innerW_ && h == innerH_) return;
  innerW_ = w;
  innerH_ = h;
  Layout();
}

void TMMCustomLevel::Layout() {
  const int length = kind_ == lkHorizontal ? innerW_ : innerH_;
  spotWidth_ = std::max(spotWidth_, 1);
  const int step = spotWidth_ + spotSpace_;
  spots_ = std::max((length + spotSpace_) / step, 1);
  margin_ = (length - (spots_ * step - spotSpace_)) / 2;
  p1_ = point1_ * spots_ / 100;
  p2_ = point2_ * spots_ / 100;
  peak_.Clear();
  if (InState(csDesigning) && enabled_) {  // a sample bar to place it by
    const int n = spots_;
    bar_ = p2_ < n ? p2_ + (n - p2_) / 2 : p1_ < n ? p1_ + (n - p1_) / 2 : n - n / 4;
  } else {
    bar_ = 0;
  }
  Restyle();
}

void TMMCustomLevel::Restyle() {
  backgroundStale_ = true;
  update();
}

void TMMCustomLevel::ColorChanged() {
  Restyle();
}

void TMMCustomLevel::Loaded() {
  TMMDIBGraphicControl::Loaded();
  Restyle();
}

void TMMCustomLevel::showEvent(QShowEvent* event) {
  TMMDIBGraphicControl::showEvent(event);
  UpdateGate();
}

void TMMCustomLevel::hideEvent(QHideEvent* event) {
  TMMDIBGraphicControl::hideEvent(event);
  UpdateGate();
}

// ---- Drawing ----------------------------------------------------------------------------------

TRect TMMCustomLevel::SpotRect(int i) const {
  const int step = spotWidth_ + spotSpace_;
  const int along = (i - 1) * step;
  const bool fromFar = direction_ != dirNormal;
  if (kind_ == lkHorizontal) {
    const int left = fromFar ? innerW_ - margin_ - spotWidth_ - along : margin_ + along;
    return {left, 0, left + spotWidth_, innerH_};
  }
  const int top = fromFar ? margin_ + along : innerH_ - margin_ - spotWidth_ - along;
  return {0, top, innerW_, top + spotWidth_};
}

TColor TMMCustomLevel::ZoneColor(std::int64_t spot, bool inactive) const {
  const int zone = spot <= p1_ ? 0 : spot <= p2_ ? 1 : 2;
  return colors_[zone + (inactive ? 3 : 0)];
}

void TMMCustomLevel::DrawBackground() {
  TMMDIBCanvas& b = *background_;
  Drawing drawing(b);
  b.SetColor(Color());
  b.Clear();
  for (int i = 1; i <= spots_; ++i) {
    b.SetColor(ZoneColor(i, true));
    b.FillRect(SpotRect(i), inactiveDoted_);
  }
  backgroundStale_ = false;
}

void TMMCustomLevel::DrawBar(TMMDIBCanvas& s) {
  auto spot = [&](std::int64_t i, TColor color) {
    if (i < 1 || i > spots_) return;  // no spot outside the row
    s.SetColor(color);
    s.FillRect(SpotRect(static_cast<int>(i)), activeDoted_);
  };
  std::int64_t b = bar_;
  std::int64_t last;  // the last spot position drawn
  if (direction_ == dirSymetric) {
    // A five-spot cursor in the zone colour of its centre.
    b = std::clamp<std::int64_t>(b, 1, spots_);
    const TColor color = ZoneColor(b, false);
    for (std::int64_t i = b - 2; i <= b + 2; ++i)
      spot(i, color);
    last = b + 2;
  } else {
    for (std::int64_t i = 1; i <= b; ++i)
      spot(i, ZoneColor(i, false));
    last = b;
  }
  const std::int64_t k = peak_.Value();
  if (numPeaks_ == 0 || k <= b) return;
  const std::int64_t first = last + 1 + (k - b - 1);
  for (int j = 0; j < numPeaks_; ++j)
    spot(first - j, ZoneColor(k - j, false));
}

void TMMCustomLevel::Paint(TCanvas& canvas) {
  if (BevelExtent() > 0) Bevel().PaintBevel(canvas, {0, 0, width(), height()});
  ApplyTicks();
  if (OnPaint) OnPaint(this);
  TMMDIBCanvas& s = DIBCanvas();
  Drawing drawing(s);
  if (OnDrawBar) {
    OnDrawBar(this, s, {0, 0, innerW_, innerH_}, static_cast<int>(bar_), PeakSpot());
  } else {
    if (backgroundStale_) DrawBackground();
    TMMDIBCanvas& b = *background_;
    if (b.Bits() != nullptr && b.Width() == s.Width() && b.Height() == s.Height() &&
        b.BitsPerPixel() == s.BitsPerPixel()) {
      s.CopyRect(0, 0, innerW_, innerH_, 0, 0, b.Bits());
    } else {
      s.SetColor(Color());
      s.Clear();
    }
    if (enabled_) DrawBar(s);
  }
  const TRect inner = BevelClientRect();
  s.DrawTo(canvas.Handle(), inner.Left, inner.Top, innerW_, innerH_, 0, 0);
}

}  // namespace zq
