#pragma once
// TdxfShapedForm: the picture control that gives its window the outline of the picture (the
// skin) and lets the window be dragged from any point of it.
//
// The key colour is the picture's pixel (0, 0). Shaping (Active true) makes the window frameless
// and cuts it down to the picture's pixels that differ from the key, placed where the control
// lies in the window; a picture without such pixels leaves the window whole. Unshaping (Active
// false) gives the window back its full rectangle and the frame it had when it was first shaped.
// Both happen on every write of Active (not in design state).
//
// A left press, when Active, on a pixel of CaptionColor or anywhere when AlwaysMove is set, moves
// the window: the window manager moves it (QWindow::startSystemMove); where it declines (no
// window manager, a compositor that refuses) the window follows the pointer until the button is
// released. A press outside the picture matches no colour.
//
// On X11 the mask is the window's shape and input shape, so the desktop shows through the cut-away
// parts and clicks there reach the windows beneath. Wayland has no window shapes: there the mask
// is the input region, the window is made translucent and the key-coloured pixels are not painted.
// Without either the window shows its full rectangle and the program goes on.
//
// The control shows the picture at its top-left corner, unscaled; with Transparent the key-coloured
// pixels are not painted; with AutoSize it takes the picture's size. Main thread only.

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <stdexcept>
#include <vector>

#include "widgets/mmcontrols.h"

namespace zq {

class EdxfShapedFormError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The picture's runs of pixels that differ from its pixel (0, 0), row by row from the top and
// left to right, each a rectangle one row high moved by `offset`. A run reaching the right edge
// ends there.
std::vector<QRect> PictureRuns(const QImage& picture, QPoint offset = {});
// The union of the runs.
QRegion PictureRegion(const QImage& picture, QPoint offset = {});

class TdxfShapedForm : public TMMControl {
 public:
  // owner: the top-level window the control shapes and moves; anything else is refused with
  // EdxfShapedFormError. parent: the widget the control lies on, the owner or a widget inside it
  // (the owner when null).
  explicit TdxfShapedForm(QWidget* owner, QWidget* parent = nullptr);

  QWidget* Owner() const { return owner_; }
  bool Active() const { return active_; }
  void SetActive(bool value);
  TColor CaptionColor() const { return captionColor_; }
  void SetCaptionColor(TColor value) { captionColor_ = value; }
  bool AlwaysMove() const { return alwaysMove_; }
  void SetAlwaysMove(bool value) { alwaysMove_ = value; }
  const QImage& Picture() const { return picture_; }
  void SetPicture(const QImage& value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);

  // True from a press that moves the window until its release, while the window follows the
  // pointer because the window manager declined to move it.
  bool Following() const { return following_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Shape();
  void Unshape();
  void SetFrameless(bool frameless);
  void SetTranslucent(bool translucent);
  bool MovesFrom(QPoint p) const;

  QWidget* owner_;
  bool active_ = false;
  TColor captionColor_ = clBlack;
  bool alwaysMove_ = true;
  QImage picture_;
  QImage keyed_;  // the picture with its key-coloured pixels transparent
  bool autoSize_ = true;
  bool transparent_ = false;
  bool shaped_ = false;
  bool frameless_;  // the owner's frame before the first shaping
  bool translucent_ = false;
  bool following_ = false;
  QPoint grab_;  // the pointer's place in the window while following
};

}  // namespace zq
