#include "widgets/mmcontrols.h"

#include <QMouseEvent>
#include <QPainter>
#include <utility>

#include "widgets/accessibility.h"
#include "widgets/pointers.h"

namespace zq {

namespace {

bool ToMouseButton(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton:
      out = mbLeft;
      return true;
    case Qt::RightButton:
      out = mbRight;
      return true;
    case Qt::MiddleButton:
      out = mbMiddle;
      return true;
    default:
      return false;
  }
}

}  // namespace

TMMControl::TMMControl(QWidget* parent, TMMComponent* owner)
    : QWidget(parent), TMMComponent(owner) {
  InstallAccessibleFactory();
}

void TMMControl::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  ColorChanged();
}

void TMMControl::ColorChanged() {
  update();
}

void TMMControl::SetBounds(int left, int top, int width, int height) {
  setGeometry(left, top, width, height);
}

void TMMControl::SetCursor(int value) {
  cursor_ = value;
  CursorChanged();
}

void TMMControl::CursorChanged() {
  setCursor(PointerShape(cursor_));
}

void TMMControl::Click() {
  if (OnClick) OnClick(this);
}

void TMMControl::mousePressEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!ToMouseButton(event->button(), button)) return;
  if (button == mbLeft) clickArmed_ = true;
  const QPoint p = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(this, button, event->modifiers(), p.x(), p.y());
}

void TMMControl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(this, event->modifiers(), p.x(), p.y());
}

void TMMControl::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!ToMouseButton(event->button(), button)) return;
  const QPoint p = event->position().toPoint();
  if (button == mbLeft && std::exchange(clickArmed_, false) && rect().contains(p)) Click();
  if (OnMouseUp) OnMouseUp(this, button, event->modifiers(), p.x(), p.y());
}

void TMMControl::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
  mousePressEvent(event);
}

TMMBevelControl::TMMBevelControl(QWidget* parent, TMMComponent* owner)
    : TMMControl(parent, owner), bevel_(std::make_unique<TMMBevel>()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  bevel_->OnChanged = [this](TMMObject*) { BevelChanged(); };
}

TMMBevelControl::~TMMBevelControl() {
  bevel_->OnChanged = nullptr;
}

TRect TMMBevelControl::BevelClientRect() const {
  const int e = BevelExtent();
  return {e, e, width() - e, height() - e};
}

void TMMBevelControl::BevelChanged() {
  update();
}

void TMMBevelControl::Paint(TCanvas& canvas) {
  const TRect inner = bevel_->PaintBevel(canvas, {0, 0, width(), height()});
  canvas.SetBrushColor(Color());
  canvas.FillRect(inner);
}

void TMMBevelControl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  TCanvas canvas(&painter);
  canvas.SetFont(font());
  struct Reset {
    TCanvas*& c;
    ~Reset() { c = nullptr; }
  } reset{canvas_};
  canvas_ = &canvas;
  if (drawNow_ == nullptr) {
    Paint(canvas);
    return;
  }
  // The error is carried back to RepaintNow rather than to the application's handler.
  try {
    (*drawNow_)(canvas);
  } catch (...) {
    drawNowError_ = std::current_exception();
  }
}

void TMMBevelControl::RepaintNow(const std::function<void(TCanvas&)>& draw) {
  if (!isVisible() || visibleRegion().isEmpty()) return;
  drawNow_ = &draw;
  drawNowError_ = nullptr;
  repaint();
  drawNow_ = nullptr;
  if (drawNowError_) std::rethrow_exception(std::exchange(drawNowError_, nullptr));
}

TMMCustomPanel::TMMCustomPanel(QWidget* parent, TMMComponent* owner)
    : TMMBevelControl(parent, owner) {
  const int e = BevelExtent();
  setContentsMargins(e, e, e, e);
}

void TMMCustomPanel::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  update();
}

void TMMCustomPanel::SetAlignment(TAlignment value) {
  if (value == alignment_) return;
  alignment_ = value;
  update();
}

void TMMCustomPanel::SetFontColor(TColor value) {
  if (value == fontColor_) return;
  fontColor_ = value;
  update();
}

void TMMCustomPanel::BevelChanged() {
  const int e = BevelExtent();
  setContentsMargins(e, e, e, e);
  TMMBevelControl::BevelChanged();
}

void TMMCustomPanel::Paint(TCanvas& canvas) {
  TMMBevelControl::Paint(canvas);
  if (caption_.isEmpty()) return;
  const TRect inner = BevelClientRect();
  canvas.SetFontColor(fontColor_);
  const int h = canvas.TextHeight("W");
  const int top = (inner.Top + inner.Bottom - h) / 2;
  canvas.TextRect({inner.Left, top, inner.Right, top + h}, caption_, alignment_);
}

}  // namespace zq
