#include "widgets/mmslider.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <list>

#include "widgets/accessibility.h"
#include "widgets/pictures.h"
#include "widgets/pointers.h"

namespace zq {

namespace {

constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
constexpr int kBlinkMs = 500;

// --- the shared bitmaps ---

struct BitmapEntry {
  int width, height;
  QImage image;
  int users;
};

std::unique_ptr<std::list<BitmapEntry>>& Bitmaps() {
  static std::unique_ptr<std::list<BitmapEntry>> bitmaps;
  return bitmaps;
}

// --- the blink timer: one for the process, owned by the focused slider ---

struct Blink {
  std::unique_ptr<Timer> timer;
  TMMCustomSlider* owner = nullptr;
};

Blink& TheBlink() {
  static Blink blink;
  return blink;
}

// A slider whose value assistive technology reads, and sets as the user would.
class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit SliderAccessible(TMMCustomSlider* slider)
      : QAccessibleWidget(slider, QAccessible::Slider) {}
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(slider()->Position());
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return widget()->toolTip();
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return qlonglong{slider()->Position()}; }
  void setCurrentValue(const QVariant& value) override {
    if (slider()->isEnabled()) slider()->TrackTo(value.toLongLong());
  }
  QVariant maximumValue() const override { return qlonglong{slider()->MaxValue()}; }
  QVariant minimumValue() const override { return qlonglong{slider()->MinValue()}; }
  QVariant minimumStepSize() const override { return qlonglong{slider()->LineSize()}; }

 private:
  TMMCustomSlider* slider() const { return static_cast<TMMCustomSlider*>(widget()); }
};

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* slider = dynamic_cast<TMMCustomSlider*>(o);
  return slider != nullptr ? new SliderAccessible(slider) : nullptr;
});

int Byte(int value) {
  return std::clamp(value, 0, 255);
}

bool Within(const TRect& r, QPoint p) {
  return p.x() >= r.Left && p.x() < r.Right && p.y() >= r.Top && p.y() < r.Bottom;
}

std::int64_t RoundEven(double v) {
  return static_cast<std::int64_t>(std::nearbyint(v));
}

}  // namespace

// --- TBitmapCache ---

QImage* TBitmapCache::Acquire(int width, int height) {
  auto& bitmaps = Bitmaps();
  if (!bitmaps) bitmaps = std::make_unique<std::list<BitmapEntry>>();
  for (BitmapEntry& e : *bitmaps)
    if (e.width == width && e.height == height) {
      ++e.users;
      return &e.image;
    }
  bitmaps->push_back({width, height, QImage(width, height, QImage::Format_RGB32), 1});
  return &bitmaps->back().image;
}

void TBitmapCache::Release(QImage* bitmap) {
  auto& bitmaps = Bitmaps();
  if (bitmap == nullptr || !bitmaps) return;
  for (auto it = bitmaps->begin(); it != bitmaps->end(); ++it)
    if (&it->image == bitmap) {
      if (--it->users == 0) bitmaps->erase(it);
      break;
    }
  if (bitmaps->empty()) bitmaps.reset();
}

bool TBitmapCache::Exists() {
  return Bitmaps() != nullptr;
}

int TBitmapCache::Entries() {
  return Bitmaps() ? static_cast<int>(Bitmaps()->size()) : 0;
}

int TBitmapCache::UseCount(int width, int height) {
  if (!Bitmaps()) return 0;
  for (const BitmapEntry& e : *Bitmaps())
    if (e.width == width && e.height == height) return e.users;
  return 0;
}

// --- TMMCustomSlider ---

TMMCustomSlider::TMMCustomSlider(QWidget* parent, const Services& services, TMMComponent* owner)
    : TMMCustomControl(parent, owner),
      services_(services),
      groove_(std::make_unique<TMMBevel>()),
      scale_(std::make_unique<TMMScale>()) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  Bevel().SetBorderWidth(5);
  SetColor(clWindow);
  groove_->OnChanged = [this](TMMObject*) { update(); };
  scale_->SetVisible(false);
  scale_->SetOrigin(soOuter);
  scale_->SetConnect(true);
  scale_->OnChanged = [this](TMMObject*) { update(); };
  resize(200, 40);
}

TMMCustomSlider::~TMMCustomSlider() {
  Destroying();
  EndPress();
  StopBlink();
  TBitmapCache::Release(bitmap_);
  groove_->OnChanged = nullptr;
  scale_->OnChanged = nullptr;
}

// --- range and position ---

bool TMMCustomSlider::SetInternal(TWide v, bool rangeChanged) {
  const std::int64_t clamped = Clamp(v, minValue_, maxValue_);
  if (clamped == internal_ && !rangeChanged) return false;
  const bool changed = clamped != internal_;
  internal_ = clamped;
  if (InState(csLoading | csDesigning) || !(Layout().thumb == paintedThumb_)) update();
  if (changed && !InState(csLoading) && OnChange) OnChange(this);
  return changed;
}

void TMMCustomSlider::RangeChanged() {
  if (!InState(csLoading) && TWide{maxValue_} < TWide{minValue_} + 1) {
    if (minValue_ == kLargest) minValue_ = kLargest - 1;
    maxValue_ = minValue_ + 1;
  }
  if (!InState(csLoading)) SetInternal(internal_, true);
  update();
}

void TMMCustomSlider::SetMinValue(std::int64_t value) {
  minValue_ = value;
  RangeChanged();
}

void TMMCustomSlider::SetMaxValue(std::int64_t value) {
  maxValue_ = value;
  RangeChanged();
}

std::int64_t TMMCustomSlider::Position() const {
  const std::int64_t v = Clamp(internal_, minValue_, maxValue_);
  const TWide range = Range();
  if (!logarithmic_ || v == 0 || range <= 0) return v;
  const double r = static_cast<double>(range), s = sensitivity_;
  const double p = std::pow(10.0, (static_cast<double>(v) * -s / r + s) / 20.0) * r;
  return Clamp(RoundEven(std::min(p, 9.2e18)), minValue_, maxValue_);
}

void TMMCustomSlider::SetPosition(std::int64_t value) {
  const TWide range = Range();
  if (!logarithmic_ || value == 0 || range <= 0) {
    SetInternal(value);
    return;
  }
  // The logarithm of a position below 0 has no meaning: it stands for the lowest.
  if (value < 0) {
    SetInternal(minValue_);
    return;
  }
  const double r = static_cast<double>(range), s = sensitivity_;
  const double v = r * (20.0 * std::log10(static_cast<double>(value) / r) - s) / -s;
  SetInternal(RoundEven(std::clamp(v, -9.2e18, 9.2e18)));
}

void TMMCustomSlider::TrackTo(std::int64_t position) {
  const std::int64_t before = internal_;
  SetPosition(position);
  if (internal_ != before) Track();
  TrackEnd();
}

void TMMCustomSlider::SetLogarithmic(bool value) {
  if (value == logarithmic_) return;
  const std::int64_t p = Position();
  logarithmic_ = value;
  SetPosition(p);
}

void TMMCustomSlider::SetSensitivity(int value) {
  value = std::clamp(value, -96, -20);
  if (value == sensitivity_) return;
  const std::int64_t p = Position();
  sensitivity_ = value;
  SetPosition(p);
}

// --- properties that only repaint ---

void TMMCustomSlider::SetThumbWidth(int value) {
  thumbWidth_ = Byte(value);
  update();
}

void TMMCustomSlider::SetThumbHeight(int value) {
  thumbHeight_ = Byte(value);
  update();
}

void TMMCustomSlider::SetThumbStyle(TMMThumbStyle value) {
  thumbStyle_ = value;
  update();
}

void TMMCustomSlider::SetThumbBorder(bool value) {
  thumbBorder_ = value;
  update();
}

void TMMCustomSlider::SetGrooveSize(int value) {
  grooveSize_ = Byte(value);
  update();
}

void TMMCustomSlider::SetGrooveStyle(TMMGrooveStyle value) {
  grooveStyle_ = value;
  update();
}

void TMMCustomSlider::SetFocusAction(TMMFocusAction value) {
  if (value == focusAction_) return;
  focusAction_ = value;
  if (hasFocus() && (value == faFocusThumb || value == faAll))
    StartBlink();
  else if (TheBlink().owner == this)
    StopBlink();
  update();
}

TColor TMMCustomSlider::Colors(int index) const {
  return index >= 0 && index < scColorCount ? colors_[index] : clBlack;
}

void TMMCustomSlider::SetColors(int index, TColor value) {
  if (index < 0 || index >= scColorCount || colors_[index] == value) return;
  colors_[index] = value;
  update();
}

void TMMCustomSlider::SetHandCursor(bool value) {
  handCursor_ = value;
  ShowPointer(overThumb_);
}

void TMMCustomSlider::SetThumbCursor(int value) {
  thumbCursor_ = value;
  ShowPointer(overThumb_);
}

void TMMCustomSlider::SetScalePosition(TMMScalePos value) {
  scalePosition_ = value;
  update();
}

void TMMCustomSlider::SetScaleDistance(int value) {
  scaleDistance_ = value;
  update();
}

void TMMCustomSlider::SetPicLeft(const QImage& value) {
  picLeft_ = value;
  keyedLeft_ =
      value.isNull() ? QImage() : KeyedPicture(value, PixelColor(value, 0, value.height() - 1));
  update();
}

void TMMCustomSlider::SetPicRight(const QImage& value) {
  picRight_ = value;
  keyedRight_ =
      value.isNull() ? QImage() : KeyedPicture(value, PixelColor(value, 0, value.height() - 1));
  update();
}

void TMMCustomSlider::SetTabStop(bool value) {
  tabStop_ = value;
  setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

// --- geometry ---

TMMCustomSlider::Geometry TMMCustomSlider::Layout() const {
  Geometry g;
  const bool horizontal = orientation_ == orHorizontal;
  TRect t = BevelClientRect();
  if (horizontal) {
    t.Left += picLeft_.width();
    t.Right -= picRight_.width();
  } else {
    t.Top += picLeft_.height();
    t.Bottom -= picRight_.height();
  }
  g.track = t;
  const int along = horizontal ? thumbWidth_ : thumbHeight_;
  g.length = (horizontal ? t.Width() : t.Height()) - along;
  const TWide range = Range();
  TWide offset = 0;
  if (g.length > 0 && range > 0) {
    offset = DivRoundEven((TWide{internal_} - minValue_) * g.length, range);
    offset = std::clamp<TWide>(offset, 0, g.length);
  }
  const bool scale = scale_->Visible();
  const bool after = scale && scalePosition_ == spBelowOrRight;  // below or right
  const bool before = scale && scalePosition_ == spAboveOrLeft;  // above or left
  if (horizontal) {
    const int x = t.Left + static_cast<int>(offset);
    const int y = after    ? t.Top
                  : before ? t.Bottom - thumbHeight_
                           : t.Top + t.Height() / 2 - thumbHeight_ / 2;
    g.thumb = {x, y, x + thumbWidth_, y + thumbHeight_};
    const int ge = groove_->BevelExtent();
    const int top = y + thumbHeight_ / 2 - ge - grooveSize_ / 2;
    g.groove = {t.Left, top, t.Right, top + 2 * ge + grooveSize_};
  } else {
    const int y = t.Top + std::max(0, g.length - static_cast<int>(offset));
    const int x = after    ? t.Left
                  : before ? t.Right - thumbWidth_
                           : t.Left + t.Width() / 2 - thumbWidth_ / 2;
    g.thumb = {x, y, x + thumbWidth_, y + thumbHeight_};
    const int ge = groove_->BevelExtent();
    const int left = x + thumbWidth_ / 2 - ge - grooveSize_ / 2;
    g.groove = {left, t.Top, left + 2 * ge + grooveSize_, t.Bottom};
  }
  return g;
}

TRect TMMCustomSlider::TrackRect() const {
  return Layout().track;
}

TRect TMMCustomSlider::ThumbRect() const {
  return Layout().thumb;
}

TRect TMMCustomSlider::GrooveRect() const {
  return Layout().groove;
}

std::int64_t TMMCustomSlider::ValueAt(QPoint p) const {
  const Geometry g = Layout();
  if (g.length <= 0) return internal_;
  const TWide travel = orientation_ == orHorizontal
                           ? p.x() - g.track.Left - thumbWidth_ / 2
                           : g.track.Bottom - thumbHeight_ + thumbHeight_ / 2 - p.y();
  return Clamp(DivRoundEven(travel * Range(), g.length) + minValue_, minValue_, maxValue_);
}

// --- tracking ---

void TMMCustomSlider::Track() {
  tracking_ = true;
  if (OnTrack) OnTrack(this);
}

void TMMCustomSlider::TrackEnd() {
  if (!tracking_) return;
  tracking_ = false;
  if (OnTrackEnd) OnTrackEnd(this);
}

void TMMCustomSlider::EndPress() {
  if (!pressed_) return;
  pressed_ = false;
  dragging_ = false;
  if (!InState(csDestroying)) update();
  TrackEnd();
}

void TMMCustomSlider::mousePressEvent(QMouseEvent* event) {
  TMMCustomControl::mousePressEvent(event);
  setFocus(Qt::MouseFocusReason);
  const QPoint p = event->position().toPoint();
  const Geometry g = Layout();
  const bool onThumb = Within(g.thumb, p);
  if (onThumb) ShowPointer(true);
  if (event->button() != Qt::LeftButton) return;
  pressed_ = true;
  dragging_ = onThumb;
  dragFrom_ = orientation_ == orHorizontal ? p.x() : p.y();
  dragPosition_ = internal_;
  if (!onThumb && !SetInternal(ValueAt(p))) update();
  Track();
}

void TMMCustomSlider::mouseMoveEvent(QMouseEvent* event) {
  TMMCustomControl::mouseMoveEvent(event);
  const QPoint p = event->position().toPoint();
  if (!dragging_) {
    ShowPointer(Within(Layout().thumb, p));
    return;
  }
  const Geometry g = Layout();
  if (g.length <= 0) return;
  // Travel counts positive to the right or upwards.
  const int travel = orientation_ == orHorizontal ? p.x() - dragFrom_ : dragFrom_ - p.y();
  const TWide moved = MulDivRoundWide(travel, Range(), g.length);
  if (SetInternal(TWide{dragPosition_} + moved)) Track();
}

void TMMCustomSlider::mouseReleaseEvent(QMouseEvent* event) {
  TMMCustomControl::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) EndPress();
}

void TMMCustomSlider::hideEvent(QHideEvent* event) {
  EndPress();
  TMMCustomControl::hideEvent(event);
}

void TMMCustomSlider::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    if (!isEnabled()) EndPress();
    update();
  }
  TMMCustomControl::changeEvent(event);
}

bool TMMCustomSlider::event(QEvent* event) {
  // Qt passes a window's deactivation on to every widget in it.
  if (event->type() == QEvent::WindowDeactivate) EndPress();
  return TMMCustomControl::event(event);
}

// --- keyboard ---

void TMMCustomSlider::keyPressEvent(QKeyEvent* event) {
  int key = event->key();
  if (OnKeyDown) OnKeyDown(this, key, event->modifiers());
  const bool horizontal = orientation_ == orHorizontal;
  const TWide now = internal_;
  TWide v = now;
  bool handled = true;
  switch (key) {
    case Qt::Key_PageUp:
      v = std::min<TWide>(now + pageSize_, maxValue_);
      break;
    case Qt::Key_PageDown:
      v = std::max<TWide>(now - pageSize_, minValue_);
      break;
    case Qt::Key_End:
      v = horizontal ? maxValue_ : minValue_;
      break;
    case Qt::Key_Home:
      v = horizontal ? minValue_ : maxValue_;
      break;
    case Qt::Key_Up:
    case Qt::Key_Right:
      if (now < maxValue_) v = now + lineSize_;
      break;
    case Qt::Key_Left:
    case Qt::Key_Down:
      if (now > minValue_) v = now - lineSize_;
      break;
    default:
      handled = false;
      break;
  }
  if (handled && SetInternal(v)) Track();
  QString text = event->text();
  if (OnKeyPress && text.size() == 1) {
    QChar c = text.front();
    OnKeyPress(this, c);
  }
  if (!handled) TMMCustomControl::keyPressEvent(event);
}

void TMMCustomSlider::keyReleaseEvent(QKeyEvent* event) {
  // Desktops deliver a release between the auto-repeated presses of a held key.
  if (event->isAutoRepeat()) return;
  int key = event->key();
  if (OnKeyUp) OnKeyUp(this, key, event->modifiers());
  TrackEnd();
}

// --- focus, pointer, blinking ---

void TMMCustomSlider::focusInEvent(QFocusEvent* event) {
  TMMCustomControl::focusInEvent(event);
  const Qt::FocusReason r = event->reason();
  if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason && OnEnter) OnEnter(this);
  if (OnGetFocus) OnGetFocus(this);
  if (focusAction_ == faFocusThumb || focusAction_ == faAll) StartBlink();
  if (focusAction_ != faNone) update();
}

void TMMCustomSlider::focusOutEvent(QFocusEvent* event) {
  TMMCustomControl::focusOutEvent(event);
  if (TheBlink().owner == this) StopBlink();
  if (OnLostFocus) OnLostFocus(this);
  const Qt::FocusReason r = event->reason();
  if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason && OnExit) OnExit(this);
  if (focusAction_ != faNone) update();
}

void TMMCustomSlider::enterEvent(QEnterEvent* event) {
  TMMCustomControl::enterEvent(event);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TMMCustomSlider::leaveEvent(QEvent* event) {
  TMMCustomControl::leaveEvent(event);
  ShowPointer(false);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TMMCustomSlider::ShowPointer(bool overThumb) {
  overThumb_ = overThumb;
  setCursor(PointerShape(overThumb ? ThumbPointer() : Cursor()));
}

void TMMCustomSlider::CursorChanged() {
  ShowPointer(overThumb_);
}

void TMMCustomSlider::StartBlink() {
  Blink& blink = TheBlink();
  if (blink.owner == this) return;
  if (blink.owner != nullptr) blink.owner->StopBlink();
  blink.timer = services_.timers->CreateTimer();
  blink.owner = this;
  blink.timer->SetInterval(kBlinkMs);
  blink.timer->SetOnTimer([this] { BlinkTick(); });
  blink.timer->Start();
}

void TMMCustomSlider::StopBlink() {
  Blink& blink = TheBlink();
  if (blink.owner != this) return;
  blink.timer.reset();
  blink.owner = nullptr;
  blink_ = false;
  if (!InState(csDestroying)) update();
}

void TMMCustomSlider::BlinkTick() {
  blink_ = dragging_ ? true : !blink_;
  update();
}

// --- loading, size and painting ---

void TMMCustomSlider::Loaded() {
  TMMCustomControl::Loaded();
  RangeChanged();
  AcquireBitmap();
}

void TMMCustomSlider::resizeEvent(QResizeEvent* event) {
  TMMCustomControl::resizeEvent(event);
  orientation_ = width() >= height() ? orHorizontal : orVertical;
  if (!InState(csLoading)) AcquireBitmap();
  update();
}

void TMMCustomSlider::AcquireBitmap() {
  if (bitmap_ != nullptr && bitmap_->size() == size()) return;
  QImage* previous = bitmap_;
  bitmap_ = TBitmapCache::Acquire(width(), height());
  TBitmapCache::Release(previous);
}

void TMMCustomSlider::paintEvent(QPaintEvent*) {
  if (bitmap_ == nullptr || bitmap_->size() != size()) AcquireBitmap();
  Compose(*bitmap_);
  QPainter painter(this);
  painter.drawImage(0, 0, *bitmap_);
}

void TMMCustomSlider::Compose(QImage& bitmap) {
  QPainter painter(&bitmap);
  TCanvas canvas(&painter);
  const Geometry g = Layout();
  const bool horizontal = orientation_ == orHorizontal;

  // 1. Frame and background.
  const TRect client = Bevel().PaintBevel(canvas, {0, 0, width(), height()});
  canvas.SetBrushColor(Color());
  canvas.FillRect(client);

  // 2. The end pictures, centred across the track.
  if (!keyedLeft_.isNull()) {
    if (horizontal)
      painter.drawImage(g.track.Left - keyedLeft_.width(),
                        g.track.Top + (g.track.Height() - keyedLeft_.height()) / 2, keyedLeft_);
    else
      painter.drawImage(g.track.Left + (g.track.Width() - keyedLeft_.width()) / 2,
                        g.track.Top - keyedLeft_.height(), keyedLeft_);
  }
  if (!keyedRight_.isNull()) {
    if (horizontal)
      painter.drawImage(g.track.Right, g.track.Top + (g.track.Height() - keyedRight_.height()) / 2,
                        keyedRight_);
    else
      painter.drawImage(g.track.Left + (g.track.Width() - keyedRight_.width()) / 2, g.track.Bottom,
                        keyedRight_);
  }

  // 3. The scale, from the thumb centre at MinValue to that at MaxValue.
  if (scale_->Visible() && g.length > scale_->TotalSize()) {
    scale_->SetCanvas(&canvas);
    const int size = scale_->TotalSize();
    const bool above = scalePosition_ != spBelowOrRight;
    const bool below = scalePosition_ != spAboveOrLeft;
    if (horizontal) {
      const int x0 = g.track.Left + thumbWidth_ / 2, x1 = x0 + g.length;
      if (above) {
        const int bottom = g.thumb.Top - scaleDistance_;
        scale_->DrawLinear({x0, bottom - size, x1, bottom}, true);
      }
      if (below) {
        const int top = g.thumb.Bottom + scaleDistance_;
        scale_->DrawLinear({x0, top, x1, top + size}, false);
      }
    } else {
      const int y0 = g.track.Top + thumbHeight_ / 2, y1 = y0 + g.length;
      if (above) {
        const int right = g.thumb.Left - scaleDistance_;
        scale_->DrawLinear({right - size, y0, right, y1}, true);
      }
      if (below) {
        const int left = g.thumb.Right + scaleDistance_;
        scale_->DrawLinear({left, y0, left + size, y1}, false);
      }
    }
    scale_->SetCanvas(nullptr);
  }

  // 4. The groove, and the focus.
  const bool focused = hasFocus();
  if (grooveStyle_ == gsOwnerDraw) {
    TRect inner = InflateRect(g.groove, -groove_->BevelExtent(), -groove_->BevelExtent());
    if (OnDrawGroove) OnDrawGroove(this, canvas, inner);
  } else {
    const TRect inner = groove_->PaintBevel(canvas, g.groove);
    const bool colour = focused && (focusAction_ == faFocusColor || focusAction_ == faAll);
    canvas.SetBrushColor(colour ? FocusColor() : GrooveColor());
    canvas.FillRect(inner);
  }
  if (focused && (focusAction_ == faFocusRect || focusAction_ == faAll)) {
    const TMMBevel& b = Bevel();
    const bool larger = (b.BorderWidth() > 0 && b.BevelInner() == bvNone) || b.BorderSpace() > 0;
    const TRect r = larger ? InflateRect(g.track, 1, 1) : g.track;
    // A dotted rectangle, every other pixel inverted.
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    auto dot = [&](int x, int y) {
      if (((x + y) & 1) == 0) painter.fillRect(x, y, 1, 1, Qt::white);
    };
    for (int x = r.Left; x < r.Right; ++x) {
      dot(x, r.Top);
      dot(x, r.Bottom - 1);
    }
    for (int y = r.Top + 1; y < r.Bottom - 1; ++y) {
      dot(r.Left, y);
      dot(r.Right - 1, y);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  }

  // 5. The thumb.
  if (thumbStyle_ == tsOwnerDraw) {
    if (OnDrawThumb) OnDrawThumb(this, canvas, g.thumb, dragging_, blink_);
  } else {
    PaintThumb(canvas, g.thumb);
  }
  paintedThumb_ = g.thumb;
}

void TMMCustomSlider::PaintThumb(TCanvas& canvas, const TRect& thumb) {
  TRect r = thumb;
  if (r.IsEmpty()) return;
  if (thumbBorder_) {
    PaintFrameRing(canvas, r, 1, clWindowFrame, clWindowFrame);
  } else {
    canvas.SetBrushColor(clWindowFrame);
    canvas.FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    canvas.FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
    r.Right -= 1;
    r.Bottom -= 1;
  }
  if (r.IsEmpty()) return;
  // A raised edge whose top-right and bottom-left corners are light.
  canvas.SetBrushColor(clBtnShadow);
  canvas.FillRect({r.Left + 1, r.Bottom - 1, r.Right, r.Bottom});
  canvas.FillRect({r.Right - 1, r.Top + 1, r.Right, r.Bottom});
  canvas.SetBrushColor(clBtnHighlight);
  canvas.FillRect({r.Left, r.Top, r.Right, r.Top + 1});
  canvas.FillRect({r.Left, r.Top, r.Left + 1, r.Bottom});
  const TRect inside = InflateRect(r, -1, -1);
  canvas.SetBrushColor(ThumbColor());
  canvas.FillRect(inside);
  // Disabled, or blinking: every pixel whose row and column have the same parity.
  const bool disabled = !isEnabled();
  if (!disabled && !blink_) return;
  const TColor pattern = disabled ? DisabledColor() : clBlack;
  for (int y = thumb.Top; y < thumb.Bottom; ++y)
    for (int x = thumb.Left; x < thumb.Right; ++x)
      if (((x + y) & 1) == 0) canvas.SetPixel(x, y, pattern);
}

}  // namespace zq
