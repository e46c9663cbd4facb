#pragma once
// TMMSpeedButton: a button drawn from a glyph, the spin button's arrows and middle bar. The glyph
// holds NumGlyphs images side by side (normal, disabled, pressed, held down); a state whose image
// the glyph lacks shows the normal one. The glyph is drawn centred and transparent: pixels of the
// colour of its bottom-left pixel are not painted, so the button face shows there.
//
// The button fills its rectangle with the button face colour. With ButtonFace it also draws a
// raised one-pixel frame, or a sunken one when pressed, with the image moved one pixel right and
// down. A focus mark (set by the owner) outlines it one pixel inside its edge.
//
// Mouse (left button): the press shows the pressed image at once and fires OnPress (then
// OnMouseDown; OnMouseMove and OnMouseUp follow while the button is held); Qt's implicit
// grab keeps the mouse with the button until the release, so moving off it shows it up and back
// on shows it pressed, and a release over it performs one click (Click fires OnClick), a release
// off it none. A double-click event counts as a press. A disabled button (State bsDisabled)
// ignores the mouse. The hold ends without a click when the mouse is lost without a release: the
// button is hidden, disabled (by SetEnabledState or by Qt), or its window deactivated.
//
// TMMTimerSpeedButton repeats its click while held: a timer from the services given to the
// constructor runs from the press, 400 ms to its first tick, then 50 ms; each tick performs a
// click while the button is shown pressed. The timer stops when the hold ends. Main thread only.

#include <QImage>
#include <functional>
#include <memory>

#include "platform/services.h"
#include "widgets/mmcontrols.h"

namespace zq {

enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

class TMMSpeedButton : public TMMControl {
 public:
  explicit TMMSpeedButton(QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMSpeedButton() override;

  const QImage& Glyph() const { return glyph_; }
  void SetGlyph(const QImage& value);
  // 1 ... 4; other values are ignored.
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int value);
  // The size of one image of the glyph.
  QSize ImageSize() const;
  bool ButtonFace() const { return buttonFace_; }
  void SetButtonFace(bool value);
  TButtonState State() const { return state_; }
  // Enables or disables the button (bsUp or bsDisabled); disabling ends a hold.
  void SetEnabledState(bool enabled);
  // Shows the button pressed or up, as a key does (not while disabled).
  void ShowPressed(bool pressed);
  bool Held() const { return held_; }
  void SetFocusMark(bool on, TColor color);

  // Performs one click: fires OnClick.
  void Click() override;

  TNotifyEvent OnPress;

 protected:
  // Called at the press of a hold, and when the hold ends (with or without a release).
  virtual void HoldStarted() {}
  virtual void HoldEnded() {}
  void EndHold();
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void SetState(TButtonState value);

  QImage glyph_;
  QImage keyed_;  // the glyph with its transparent colour see-through
  int numGlyphs_ = 1;
  bool buttonFace_ = false;
  TButtonState state_ = bsUp;
  bool held_ = false;
  bool focusMark_ = false;
  TColor focusColor_ = clBlack;
};

class TMMTimerSpeedButton : public TMMSpeedButton {
 public:
  static constexpr int kFirstDelayMs = 400;
  static constexpr int kRepeatMs = 50;

  explicit TMMTimerSpeedButton(QWidget* parent = nullptr,
                               const Services& services = DefaultServices(),
                               TMMComponent* owner = nullptr);
  ~TMMTimerSpeedButton() override;

  // Whether the click repeats while held (default true).
  bool Repeat() const { return repeat_; }
  void SetRepeat(bool value) { repeat_ = value; }
  bool Repeating() const { return timer_->Enabled(); }

 protected:
  void HoldStarted() override;
  void HoldEnded() override;

 private:
  void Tick();

  std::unique_ptr<Timer> timer_;
  bool repeat_ = true;
};

}  // namespace zq
