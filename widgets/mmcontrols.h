#pragma once
// The base classes of the system's widgets. All are QWidgets and TMMComponents (for the loading
// bracket and design state); the Qt parent owns the widget. Main thread only.
//
// TMMControl: what every widget has: a background Color (TColor; a change calls ColorChanged,
// which repaints), SetBounds, the programmatic way to place it (subclasses that snap their size
// override it), a Cursor by the forms' pointer numbers (widgets/pointers.h), and the mouse events
// of a plain control: OnMouseDown, OnMouseMove, OnMouseUp, OnClick (a left press and release on
// the control, fired before OnMouseUp), OnDblClick. Subclasses that handle the mouse themselves
// call the base's handlers first. Making the first widget installs the accessibility factory
// (widgets/accessibility.h).
//
// TMMBevelControl: owns a TMMBevel, published as Bevel, for its whole life: created with the
// defaults, hooked so that a change calls BevelChanged (default: repaint), unhooked before it is
// freed. SetBevel copies values into the owned bevel and never replaces it. The widget is opaque:
// Paint draws the frame over the whole rectangle and fills the inside with Color; subclasses
// call it first and then draw into BevelClientRect. Canvas() is the canvas of the paint in
// progress and null outside one. RepaintNow paints at once with a drawing of the caller's in
// place of Paint (only while the widget is visible; an exception from it reaches the caller).
//
// TMMGraphicControl (windowless), TMMCustomControl (windowed): bevel controls that add nothing.
// TMMCustomPanel: adds a one-line Caption drawn centred vertically inside the frame and aligned by
// Alignment (default taCenter), and lays children out inside the frame (its contents margins are
// the bevel's extent, so any layout set on it keeps off the frame). TMMWinControl: a windowed
// control with no bevel and no painting of its own.

#include <QString>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>

#include "platform/mmobject.h"
#include "widgets/graphics.h"
#include "widgets/mmbevel.h"

namespace zq {

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TMMOrientation { orVertical, orHorizontal };

class TMMControl : public QWidget, public TMMComponent {
 public:
  using TNotifyEvent = std::function<void(TMMControl* sender)>;
  using TMouseEvent = std::function<void(TMMControl* sender, TMouseButton button,
                                         Qt::KeyboardModifiers shift, int x, int y)>;
  using TMouseMoveEvent =
      std::function<void(TMMControl* sender, Qt::KeyboardModifiers shift, int x, int y)>;

  explicit TMMControl(QWidget* parent = nullptr, TMMComponent* owner = nullptr);

  TColor Color() const { return color_; }
  void SetColor(TColor value);
  virtual void SetBounds(int left, int top, int width, int height);
  // The pointer over the control, by number; a number without a shape shows the arrow. A change
  // calls CursorChanged, which shows it.
  int Cursor() const { return cursor_; }
  void SetCursor(int value);

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

 protected:
  virtual void ColorChanged();
  // Shows the pointer of Cursor(); a control that shows another over parts of itself overrides it.
  virtual void CursorChanged();
  // Fires OnClick.
  virtual void Click();
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TColor color_ = clBtnFace;
  int cursor_ = 0;
  bool clickArmed_ = false;
};

class TMMBevelControl : public TMMControl {
 public:
  explicit TMMBevelControl(QWidget* parent = nullptr, TMMComponent* owner = nullptr);
  ~TMMBevelControl() override;

  TMMBevel& Bevel() { return *bevel_; }
  const TMMBevel& Bevel() const { return *bevel_; }
  void SetBevel(const TMMBevel& value) { bevel_->Assign(value); }
  int BevelExtent() const { return bevel_->BevelExtent(); }
  // (0, 0, width, height) shrunk by BevelExtent on every side.
  TRect BevelClientRect() const;

 protected:
  virtual void BevelChanged();
  virtual void Paint(TCanvas& canvas);
  TCanvas* Canvas() const { return canvas_; }
  void RepaintNow(const std::function<void(TCanvas&)>& draw);
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<TMMBevel> bevel_;
  TCanvas* canvas_ = nullptr;
  const std::function<void(TCanvas&)>* drawNow_ = nullptr;
  std::exception_ptr drawNowError_;
};

class TMMGraphicControl : public TMMBevelControl {
 public:
  using TMMBevelControl::TMMBevelControl;
};

class TMMCustomControl : public TMMBevelControl {
 public:
  using TMMBevelControl::TMMBevelControl;
};

class TMMCustomPanel : public TMMBevelControl {
 public:
  explicit TMMCustomPanel(QWidget* parent = nullptr, TMMComponent* owner = nullptr);

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor value);

 protected:
  void BevelChanged() override;
  void Paint(TCanvas& canvas) override;

 private:
  QString caption_;
  TAlignment alignment_ = taCenter;
  TColor fontColor_ = clWindowText;
};

class TMMWinControl : public TMMControl {
 public:
  using TMMControl::TMMControl;
};

}  // namespace zq
