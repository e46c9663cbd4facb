#include "widgets/mmbutton.h"

#include <QAccessibleActionInterface>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

#include "widgets/accessibility.h"
#include "widgets/mmbevel.h"
#include "widgets/pictures.h"

namespace zq {

namespace {

// A push button that assistive technology can press.
class SpeedButtonAccessible : public QAccessibleWidget {
 public:
  explicit SpeedButtonAccessible(TMMSpeedButton* button)
      : QAccessibleWidget(button, QAccessible::Button) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return widget()->toolTip();
    return QAccessibleWidget::text(t);
  }
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (button()->State() == bsDisabled) s.disabled = true;
    if (button()->State() == bsDown) s.pressed = true;
    return s;
  }
  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    if (name == pressAction() && button()->State() != bsDisabled) button()->Click();
  }

 private:
  TMMSpeedButton* button() const { return static_cast<TMMSpeedButton*>(widget()); }
};

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* button = dynamic_cast<TMMSpeedButton*>(o);
  return button != nullptr ? new SpeedButtonAccessible(button) : nullptr;
});

}  // namespace

TMMSpeedButton::TMMSpeedButton(QWidget* parent, TMMComponent* owner) : TMMControl(parent, owner) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TMMSpeedButton::~TMMSpeedButton() = default;

void TMMSpeedButton::SetGlyph(const QImage& value) {
  glyph_ = value;
  keyed_ =
      value.isNull() ? QImage() : KeyedPicture(value, PixelColor(value, 0, value.height() - 1));
  update();
}

void TMMSpeedButton::SetNumGlyphs(int value) {
  if (value < 1 || value > 4 || value == numGlyphs_) return;
  numGlyphs_ = value;
  update();
}

QSize TMMSpeedButton::ImageSize() const {
  return {glyph_.width() / numGlyphs_, glyph_.height()};
}

void TMMSpeedButton::SetButtonFace(bool value) {
  if (value == buttonFace_) return;
  buttonFace_ = value;
  update();
}

void TMMSpeedButton::SetState(TButtonState value) {
  if (value == state_) return;
  state_ = value;
  update();
}

void TMMSpeedButton::SetEnabledState(bool enabled) {
  if (enabled) {
    if (state_ == bsDisabled) SetState(bsUp);
    return;
  }
  EndHold();
  SetState(bsDisabled);
}

void TMMSpeedButton::ShowPressed(bool pressed) {
  if (state_ == bsDisabled) return;
  SetState(pressed ? bsDown : bsUp);
}

void TMMSpeedButton::SetFocusMark(bool on, TColor color) {
  if (on == focusMark_ && color == focusColor_) return;
  focusMark_ = on;
  focusColor_ = color;
  update();
}

void TMMSpeedButton::Click() {
  TMMControl::Click();
}

void TMMSpeedButton::EndHold() {
  if (!held_) return;
  held_ = false;
  if (state_ == bsDown) SetState(bsUp);
  HoldEnded();
}

void TMMSpeedButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || state_ == bsDisabled) return;
  held_ = true;
  SetState(bsDown);
  if (OnPress) OnPress(this);
  const QPoint p = event->position().toPoint();
  if (held_ && OnMouseDown) OnMouseDown(this, mbLeft, event->modifiers(), p.x(), p.y());
  // The owner may have disabled or hidden the button, ending the hold.
  if (held_) HoldStarted();
}

void TMMSpeedButton::mouseMoveEvent(QMouseEvent* event) {
  if (!held_) return;
  const QPoint p = event->position().toPoint();
  SetState(rect().contains(p) ? bsDown : bsUp);
  if (OnMouseMove) OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TMMSpeedButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !held_) return;
  const QPoint p = event->position().toPoint();
  const bool over = rect().contains(p) && state_ == bsDown;
  EndHold();
  if (over) Click();
  if (OnMouseUp) OnMouseUp(this, mbLeft, event->modifiers(), p.x(), p.y());
}

void TMMSpeedButton::mouseDoubleClickEvent(QMouseEvent* event) {
  mousePressEvent(event);
}

void TMMSpeedButton::hideEvent(QHideEvent* event) {
  EndHold();
  TMMControl::hideEvent(event);
}

void TMMSpeedButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange && !isEnabled()) EndHold();
  TMMControl::changeEvent(event);
}

bool TMMSpeedButton::event(QEvent* event) {
  // Qt passes a window's deactivation on to every widget in it.
  if (event->type() == QEvent::WindowDeactivate) EndHold();
  return TMMControl::event(event);
}

void TMMSpeedButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(&painter);
  TRect r{0, 0, width(), height()};
  canvas.SetBrushColor(clBtnFace);
  canvas.FillRect(r);
  const bool down = state_ == bsDown || state_ == bsExclusive;
  int shift = 0;
  if (buttonFace_) {
    TRect frame = r;
    if (down) {
      PaintFrameRing(canvas, frame, 1, clBtnShadow, clBtnFace);
      shift = 1;
    } else {
      PaintFrameRing(canvas, frame, 1, clBtnHighlight, clBtnShadow);
    }
  }
  if (!keyed_.isNull()) {
    int index = static_cast<int>(state_);
    if (index >= numGlyphs_) index = 0;
    const QSize image = ImageSize();
    const int x = (width() - image.width()) / 2 + shift;
    const int y = (height() - image.height()) / 2 + shift;
    painter.drawImage(x, y, keyed_, index * image.width(), 0, image.width(), image.height());
  }
  if (focusMark_) {
    painter.setPen(ToQColor(focusColor_));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(1, 1, width() - 3, height() - 3);
  }
}

TMMTimerSpeedButton::TMMTimerSpeedButton(QWidget* parent, const Services& services,
                                         TMMComponent* owner)
    : TMMSpeedButton(parent, owner), timer_(services.timers->CreateTimer()) {
  timer_->SetOnTimer([this] { Tick(); });
}

TMMTimerSpeedButton::~TMMTimerSpeedButton() {
  timer_->Stop();
}

void TMMTimerSpeedButton::HoldStarted() {
  if (!repeat_) return;
  timer_->SetInterval(kFirstDelayMs);
  timer_->Start();
}

void TMMTimerSpeedButton::HoldEnded() {
  timer_->Stop();
}

void TMMTimerSpeedButton::Tick() {
  timer_->SetInterval(kRepeatMs);
  if (State() == bsDown && Held()) Click();
}

}  // namespace zq
