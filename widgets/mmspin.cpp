#include "widgets/mmspin.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>
#include <limits>
#include <map>

#include "widgets/accessibility.h"
#include "widgets/pictures.h"
#include "widgets/pointers.h"

namespace zq {

namespace {

// The edits hooked by a spin button, process-wide.
std::map<const QObject*, TMMCustomSpinButton*>& Hooks() {
  static std::map<const QObject*, TMMCustomSpinButton*> hooks;
  return hooks;
}

// A spin box whose value assistive technology reads and sets, and steps by its actions. Without a
// name of its own it takes the name of the control it is part of (the LED spinner's).
class SpinButtonAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit SpinButtonAccessible(TMMCustomSpinButton* spin)
      : QAccessibleWidget(spin, QAccessible::SpinBox) {}
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(spin()->Value());
    if (t == QAccessible::Name) {
      for (const QWidget* w = widget(); w != nullptr; w = w->parentWidget()) {
        if (!w->accessibleName().isEmpty()) return w->accessibleName();
        if (!w->toolTip().isEmpty()) return w->toolTip();
        if (w != widget()) break;  // only the control it is directly part of
      }
      return {};
    }
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return qlonglong{spin()->Value()}; }
  void setCurrentValue(const QVariant& value) override {
    if (spin()->isEnabled()) spin()->SetValue(value.toLongLong());
  }
  QVariant maximumValue() const override { return qlonglong{spin()->MaxValue()}; }
  QVariant minimumValue() const override { return qlonglong{spin()->MinValue()}; }
  QVariant minimumStepSize() const override { return qlonglong{spin()->Increment()}; }
  QStringList actionNames() const override {
    return {increaseAction(), decreaseAction(), setFocusAction()};
  }
  void doAction(const QString& name) override {
    if (name == increaseAction() && spin()->UpButton()->State() != bsDisabled)
      spin()->UpClick();
    else if (name == decreaseAction() && spin()->DownButton()->State() != bsDisabled)
      spin()->DownClick();
    else
      QAccessibleWidget::doAction(name);
  }

 private:
  TMMCustomSpinButton* spin() const { return static_cast<TMMCustomSpinButton*>(widget()); }
};

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* spin = dynamic_cast<TMMCustomSpinButton*>(o);
  return spin != nullptr ? new SpinButtonAccessible(spin) : nullptr;
});

}  // namespace

TMMCustomSpinButton::TMMCustomSpinButton(QWidget* parent, const Services& services,
                                         TMMComponent* owner)
    : TMMCustomControl(parent, owner),
      up_(new TMMTimerSpeedButton(this, services)),
      down_(new TMMTimerSpeedButton(this, services)),
      middle_(new TMMSpeedButton(this)),
      active_(up_) {
  setFocusPolicy(Qt::StrongFocus);
  for (TMMTimerSpeedButton* arrow : {up_, down_}) {
    arrow->SetNumGlyphs(3);
    arrow->OnPress = [this](TMMControl* b) { ArrowPressed(static_cast<TMMSpeedButton*>(b)); };
  }
  up_->OnClick = [this](TMMControl*) { UpClick(); };
  down_->OnClick = [this](TMMControl*) { DownClick(); };
  middle_->SetButtonFace(true);
  middle_->hide();
  middle_->OnPress = [this](TMMControl*) { ArrowPressed(nullptr); };
  middle_->OnMouseDown = [this](TMMControl*, TMouseButton, Qt::KeyboardModifiers, int x, int y) {
    dragValue_ = value_;
    dragFrom_ = middle_->mapTo(this, QPoint(x, y));
  };
  middle_->OnMouseMove = [this](TMMControl*, Qt::KeyboardModifiers, int x, int y) {
    const QPoint p = middle_->mapTo(this, QPoint(x, y));
    const int travel = orientation_ == orVertical ? dragFrom_.y() - p.y() : p.x() - dragFrom_.x();
    const TWide range = TWide{maxValue_} - minValue_;
    SetValueWide(dragValue_ + DivRoundEven(range * travel, 100));
  };
  LoadBuiltInGlyphs();
  SetBounds(0, 0, 21, 28);
  UpdateArrows();
}

TMMCustomSpinButton::~TMMCustomSpinButton() {
  Destroying();
  Unhook();
}

void TMMCustomSpinButton::LoadBuiltInGlyphs() {
  const bool v = orientation_ == orVertical;
  if (!customUp_) up_->SetGlyph(LoadPicture(v ? "MMSPINUPV" : "MMSPINUPH"));
  if (!customDown_) down_->SetGlyph(LoadPicture(v ? "MMSPINDOWNV" : "MMSPINDOWNH"));
  middle_->SetCursor(v ? crVSplit : crHSplit);
}

void TMMCustomSpinButton::SetValueWide(TWide value) {
  if (InState(csLoading)) {
    value_ = Clamp(value, std::numeric_limits<std::int64_t>::min(),
                   std::numeric_limits<std::int64_t>::max());
    return;
  }
  const std::int64_t v = Clamp(value, minValue_, maxValue_);
  if (v == value_) return;
  value_ = v;
  UpdateArrows();
  if (OnChange) OnChange(this);
}

void TMMCustomSpinButton::SetMinValue(std::int64_t value) {
  if (value == minValue_) return;
  minValue_ = value;
  SetValueWide(value_);
  UpdateArrows();
}

void TMMCustomSpinButton::SetMaxValue(std::int64_t value) {
  if (value == maxValue_) return;
  maxValue_ = value;
  SetValueWide(value_);
  UpdateArrows();
}

void TMMCustomSpinButton::UpClick() {
  SetValueWide(TWide{value_} + increment_);
  if (OnUpClick) OnUpClick(this);
}

void TMMCustomSpinButton::DownClick() {
  SetValueWide(TWide{value_} - increment_);
  if (OnDownClick) OnDownClick(this);
}

void TMMCustomSpinButton::UpdateArrows() {
  if (InState(csLoading)) return;
  const bool enabled = isEnabled();
  down_->SetEnabledState(enabled && value_ != minValue_);
  up_->SetEnabledState(enabled && value_ != maxValue_);
}

void TMMCustomSpinButton::SetOrientation(TMMOrientation value) {
  if (value == orientation_) return;
  orientation_ = value;
  LoadBuiltInGlyphs();
  Relayout();
}

void TMMCustomSpinButton::SetUpGlyph(const QImage& value) {
  customUp_ = !value.isNull();
  if (customUp_) up_->SetGlyph(value);
  LoadBuiltInGlyphs();
  Relayout();
}

void TMMCustomSpinButton::SetDownGlyph(const QImage& value) {
  customDown_ = !value.isNull();
  if (customDown_) down_->SetGlyph(value);
  LoadBuiltInGlyphs();
  Relayout();
}

void TMMCustomSpinButton::SetUpNumGlyphs(int value) {
  up_->SetNumGlyphs(value);
  Relayout();
}

void TMMCustomSpinButton::SetDownNumGlyphs(int value) {
  down_->SetNumGlyphs(value);
  Relayout();
}

void TMMCustomSpinButton::SetButtonFace(bool value) {
  if (value == buttonFace_) return;
  buttonFace_ = value;
  up_->SetButtonFace(value);
  down_->SetButtonFace(value);
  UpdateFocusMarks();
  Relayout();
}

void TMMCustomSpinButton::SetMiddleButton(bool value) {
  if (value == middleButton_) return;
  middleButton_ = value;
  middle_->setVisible(value);
  Relayout();
}

void TMMCustomSpinButton::SetFocusColor(TColor value) {
  if (value == focusColor_) return;
  focusColor_ = value;
  UpdateFocusMarks();
}

void TMMCustomSpinButton::SetTabStop(bool value) {
  tabStop_ = value;
  setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus);
}

TMMCustomSpinButton::Places TMMCustomSpinButton::Layout(int width, int height) const {
  const int e = BevelExtent();
  const QSize iu = up_->ImageSize(), id = down_->ImageSize();
  const int frame = buttonFace_ ? 2 : 0;  // each arrow's own frame, both sides
  const int gap = middleButton_ ? 6 : (buttonFace_ ? 1 : 0);
  Places p;
  if (orientation_ == orVertical) {
    p.minimum = {2 * e + iu.width() + frame, 2 * e + iu.height() + id.height() + gap + 2 * frame};
    width = std::max(width, p.minimum.width());
    height = std::max(height, p.minimum.height());
    const int w = width - 2 * e, h = height - 2 * e;
    const int upHeight = (h - gap) / 2;
    p.up = QRect(e, e, w, upHeight);
    p.gap = QRect(e, e + upHeight, w, gap);
    p.middle = QRect(e, e + upHeight + 1, w, 4);
    p.down = QRect(e, e + upHeight + gap, w, h - upHeight - gap);
  } else {
    p.minimum = {2 * e + iu.width() + id.width() + gap + 2 * frame, 2 * e + iu.height() + frame};
    width = std::max(width, p.minimum.width());
    height = std::max(height, p.minimum.height());
    const int w = width - 2 * e, h = height - 2 * e;
    const int downWidth = (w - gap) / 2;
    p.down = QRect(e, e, downWidth, h);
    p.gap = QRect(e + downWidth, e, gap, h);
    p.middle = QRect(e + downWidth + 1, e, 4, h);
    p.up = QRect(e + downWidth + gap, e, w - downWidth - gap, h);
  }
  return p;
}

QSize TMMCustomSpinButton::MinimumExtent() const {
  return Layout(0, 0).minimum;
}

void TMMCustomSpinButton::SetBounds(int left, int top, int width, int height) {
  if (!InState(csLoading)) {
    const Places p = Layout(width, height);
    width = std::max(width, p.minimum.width());
    height = std::max(height, p.minimum.height());
    up_->setGeometry(p.up);
    down_->setGeometry(p.down);
    middle_->setGeometry(p.middle);
  }
  setFixedSize(width, height);
  setGeometry(left, top, width, height);
  update();
}

void TMMCustomSpinButton::Relayout() {
  if (InState(csLoading)) return;
  SetBounds(x(), y(), width(), height());
}

void TMMCustomSpinButton::BevelChanged() {
  Relayout();
}

void TMMCustomSpinButton::Loaded() {
  TMMCustomControl::Loaded();
  value_ = Clamp(value_, minValue_, maxValue_);
  Relayout();
  UpdateArrows();
}

void TMMCustomSpinButton::Paint(TCanvas& canvas) {
  TMMCustomControl::Paint(canvas);
  if (!buttonFace_) return;
  // The separator between the arrows (and beside the middle bar).
  const QRect gap = Layout(width(), height()).gap;
  canvas.SetBrushColor(clBlack);
  canvas.FillRect({gap.left(), gap.top(), gap.right() + 1, gap.bottom() + 1});
}

void TMMCustomSpinButton::SetActive(TMMSpeedButton* arrow) {
  if (arrow == active_) return;
  active_->ShowPressed(false);
  active_ = arrow;
  UpdateFocusMarks();
}

void TMMCustomSpinButton::UpdateFocusMarks() {
  const bool marked = hasFocus() && !buttonFace_;
  up_->SetFocusMark(marked && active_ == up_, focusColor_);
  down_->SetFocusMark(marked && active_ == down_, focusColor_);
}

void TMMCustomSpinButton::ArrowPressed(TMMSpeedButton* arrow) {
  if (arrow != nullptr) SetActive(arrow);
  QWidget* target = focusControl_;
  const bool takes = target != nullptr && (target->focusPolicy() & Qt::TabFocus) != 0 &&
                     target->isEnabled() && target->isVisible();
  if (takes)
    target->setFocus(Qt::MouseFocusReason);
  else if (tabStop_)
    setFocus(Qt::MouseFocusReason);
}

bool TMMCustomSpinButton::KeyStep(int key, bool vertical, bool horizontal) {
  TMMTimerSpeedButton* arrow = nullptr;
  if ((vertical && key == Qt::Key_Up) || (horizontal && key == Qt::Key_Right)) arrow = up_;
  if ((vertical && key == Qt::Key_Down) || (horizontal && key == Qt::Key_Left)) arrow = down_;
  if (arrow == nullptr) return false;
  SetActive(arrow);
  if (arrow->State() == bsDisabled) return true;
  arrow->ShowPressed(true);
  arrow->Click();
  return true;
}

void TMMCustomSpinButton::keyPressEvent(QKeyEvent* event) {
  const bool v = orientation_ == orVertical;
  if (!KeyStep(event->key(), v, !v)) TMMCustomControl::keyPressEvent(event);
}

namespace {

bool ArrowKey(int key) {
  return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
}

}  // namespace

void TMMCustomSpinButton::keyReleaseEvent(QKeyEvent* event) {
  if (!ArrowKey(event->key())) {
    TMMCustomControl::keyReleaseEvent(event);
    return;
  }
  // Desktops deliver a release between the auto-repeated presses of a held key.
  if (!event->isAutoRepeat()) active_->ShowPressed(false);
}

void TMMCustomSpinButton::focusInEvent(QFocusEvent* event) {
  TMMCustomControl::focusInEvent(event);
  UpdateFocusMarks();
}

void TMMCustomSpinButton::focusOutEvent(QFocusEvent* event) {
  TMMCustomControl::focusOutEvent(event);
  UpdateFocusMarks();
}

void TMMCustomSpinButton::changeEvent(QEvent* event) {
  TMMCustomControl::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) UpdateArrows();
}

void TMMCustomSpinButton::SetFocusControl(QWidget* value) {
  if (value == focusControl_) return;
  Unhook();
  if (value == nullptr) return;
  if (auto* edit = qobject_cast<QLineEdit*>(value)) {
    auto& hooks = Hooks();
    if (hooks.count(edit) != 0) throw EMMSpinButtonError("Control is already Hooked");
    hooks[edit] = this;
    edit->installEventFilter(this);
    hooked_ = edit;
  }
  focusControl_ = value;
  focusControlGone_ = connect(value, &QObject::destroyed, this, [this](QObject* gone) {
    Hooks().erase(gone);
    hooked_ = nullptr;
    focusControl_ = nullptr;
  });
}

void TMMCustomSpinButton::Unhook() {
  if (focusControlGone_) disconnect(focusControlGone_);
  focusControlGone_ = {};
  if (hooked_ != nullptr) {
    hooked_->removeEventFilter(this);
    Hooks().erase(hooked_);
    hooked_ = nullptr;
  }
  focusControl_ = nullptr;
}

bool TMMCustomSpinButton::eventFilter(QObject* watched, QEvent* event) {
  if (watched != hooked_ || !isEnabled()) return TMMCustomControl::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (KeyStep(key, true, true)) return true;
  } else if (event->type() == QEvent::KeyRelease) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (ArrowKey(key->key())) {
      if (!key->isAutoRepeat()) active_->ShowPressed(false);
      return true;
    }
  }
  return TMMCustomControl::eventFilter(watched, event);
}

}  // namespace zq
