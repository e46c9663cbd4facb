#pragma once
// TMMSpinButton: a pair of arrow buttons (TMMTimerSpeedButton, widgets/mmbutton.h) that step a
// 64-bit Value within MinValue ... MaxValue (no wrap-around), repeating while an arrow is held,
// and by the arrow keys while the spin button has the focus.
//
// Value, limits and Increment are 64-bit, their sums taken wider (widgets/rangemath.h); with
// crossed limits the value is MinValue. A Value write is clamped and acts only when the result
// differs: it stores, updates the arrows and fires OnChange. An arrow click steps by Increment and
// then fires OnUpClick or OnDownClick, even when the value did not move. The down arrow is
// disabled exactly at MinValue, the up arrow at MaxValue, both while the control is disabled; a
// disabled arrow does nothing, and an arrow held when it becomes disabled ends its hold.
//
// Pressing an arrow makes it the active one and gives the focus to FocusControl (when it has a
// tab stop and can take the focus), else to the spin button (when TabStop). Keys, while focused:
// Up (orVertical) or Right (orHorizontal) makes the up arrow active, shows it pressed and clicks
// it; Down or Left the same for the down arrow; releasing an arrow key shows the active arrow up.
// The desktop's auto-repeat gives the repetition; auto-repeated releases are ignored. While it
// has the focus (and without ButtonFace) the active arrow carries a focus mark in FocusColor.
//
// FocusControl: a QLineEdit given as FocusControl is hooked (an event filter takes its arrow keys:
// up/right and down/left step the value). An edit hooked by another spin button is refused with
// EMMSpinButtonError "Control is already Hooked", FocusControl left empty. Destroying either side
// releases the hook. Other widgets are only given the focus when an arrow is pressed.
//
// Glyphs: UpGlyph and DownGlyph hold UpNumGlyphs / DownNumGlyphs images (1 ... 4, others ignored;
// default 3); a null glyph restores the built-in arrows ("MMSPINUPV", "MMSPINDOWNV" for
// orVertical, "MMSPINUPH", "MMSPINDOWNH" for orHorizontal), which follow Orientation.
//
// Layout (e = BevelExtent; orVertical): every size request (SetBounds; held as the fixed size) is
// raised to at least 2e + up image width wide and 2e + both glyph heights high; the up arrow
// fills (e, e) with width W - 2e and height (H - 2e - gap) div 2, the down arrow the rest below
// it. ButtonFace puts a black one-pixel separator between the arrows (the gap) and frames each
// arrow, growing the minimum by 2 in width and 5 in height; MiddleButton puts a 4-pixel bar with
// one pixel on each side between them (the gap is 6) and grows the minimum height by 6.
// orHorizontal is the same turned, the down arrow on the left. Dragging the middle bar sets
// Value := value at the press + (MaxValue - MinValue) x travel / 100, halves to even, travel
// counted upwards (orVertical) or to the right (orHorizontal), with the split pointer over it.
//
// Loading (BeginLoading ... EndLoading): writes are stored as given, with no OnChange and no
// layout; EndLoading clamps the value, lays out and updates the arrows. Main thread only.

#include <QImage>
#include <QPointer>
#include <cstdint>
#include <stdexcept>

#include "platform/services.h"
#include "widgets/mmbutton.h"
#include "widgets/mmcontrols.h"
#include "widgets/rangemath.h"

class QLineEdit;

namespace zq {

class EMMSpinButtonError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TMMCustomSpinButton : public TMMCustomControl {
 public:
  explicit TMMCustomSpinButton(QWidget* parent = nullptr,
                               const Services& services = DefaultServices(),
                               TMMComponent* owner = nullptr);
  ~TMMCustomSpinButton() override;

  std::int64_t Value() const { return value_; }
  void SetValue(std::int64_t value) { SetValueWide(value); }
  std::int64_t MinValue() const { return minValue_; }
  void SetMinValue(std::int64_t value);
  std::int64_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int64_t value);
  std::int64_t Increment() const { return increment_; }
  void SetIncrement(std::int64_t value) { increment_ = value; }
  TMMOrientation Orientation() const { return orientation_; }
  void SetOrientation(TMMOrientation value);
  // The glyphs in use (the built-in ones unless assigned).
  const QImage& UpGlyph() const { return up_->Glyph(); }
  void SetUpGlyph(const QImage& value);
  const QImage& DownGlyph() const { return down_->Glyph(); }
  void SetDownGlyph(const QImage& value);
  int UpNumGlyphs() const { return up_->NumGlyphs(); }
  void SetUpNumGlyphs(int value);
  int DownNumGlyphs() const { return down_->NumGlyphs(); }
  void SetDownNumGlyphs(int value);
  bool ButtonFace() const { return buttonFace_; }
  void SetButtonFace(bool value);
  bool MiddleButton() const { return middleButton_; }
  void SetMiddleButton(bool value);
  TColor FocusColor() const { return focusColor_; }
  void SetFocusColor(TColor value);
  QWidget* FocusControl() const { return focusControl_; }
  void SetFocusControl(QWidget* value);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool value);

  void SetBounds(int left, int top, int width, int height) override;
  // The smallest size the layout allows now.
  QSize MinimumExtent() const;

  // The arrows and the middle bar, and the arrow the keyboard operates.
  TMMTimerSpeedButton* UpButton() const { return up_; }
  TMMTimerSpeedButton* DownButton() const { return down_; }
  TMMSpeedButton* MiddleBar() const { return middle_; }
  TMMSpeedButton* ActiveButton() const { return active_; }

  // What a click on an arrow does.
  void UpClick();
  void DownClick();

  TNotifyEvent OnChange;
  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

 protected:
  void Loaded() override;
  void BevelChanged() override;
  void Paint(TCanvas& canvas) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Places {
    QRect up, down, middle, gap;
    QSize minimum;
  };
  Places Layout(int width, int height) const;
  void Relayout();
  void SetValueWide(TWide value);
  void UpdateArrows();
  void UpdateFocusMarks();
  void SetActive(TMMSpeedButton* arrow);
  void ArrowPressed(TMMSpeedButton* arrow);
  // A key press on an arrow key: true when it was one.
  bool KeyStep(int key, bool vertical, bool horizontal);
  void LoadBuiltInGlyphs();
  void Unhook();

  TMMTimerSpeedButton* up_;
  TMMTimerSpeedButton* down_;
  TMMSpeedButton* middle_;
  TMMSpeedButton* active_;
  std::int64_t value_ = 0;
  std::int64_t minValue_ = 0;
  std::int64_t maxValue_ = 100;
  std::int64_t increment_ = 1;
  TMMOrientation orientation_ = orVertical;
  bool customUp_ = false, customDown_ = false;
  bool buttonFace_ = false;
  bool middleButton_ = false;
  TColor focusColor_ = clBlack;
  bool tabStop_ = true;
  QPointer<QWidget> focusControl_;
  QLineEdit* hooked_ = nullptr;
  QMetaObject::Connection focusControlGone_;
  // The middle bar's drag: the value and the pointer (in this control) at the press.
  std::int64_t dragValue_ = 0;
  QPoint dragFrom_;
};

class TMMSpinButton : public TMMCustomSpinButton {
 public:
  using TMMCustomSpinButton::TMMCustomSpinButton;
};

}  // namespace zq
