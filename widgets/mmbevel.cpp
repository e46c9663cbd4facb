#include "widgets/mmbevel.h"

#include <algorithm>
#include <stdexcept>

#include "widgets/classname.h"

namespace zq {

void PaintFrameRing(TCanvas& canvas, TRect& r, int w, TColor topLeft, TColor bottomRight) {
  for (int i = 0; i < w; ++i) {
    if (!r.IsEmpty()) {
      canvas.SetBrushColor(topLeft);
      canvas.FillRect({r.Left, r.Top, r.Left + 1, r.Bottom - 1});
      canvas.FillRect({r.Left, r.Top, r.Right - 1, r.Top + 1});
      canvas.SetBrushColor(bottomRight);
      canvas.FillRect({r.Right - 1, r.Top, r.Right, r.Bottom});
      canvas.FillRect({r.Left, r.Bottom - 1, r.Right, r.Bottom});
    }
    r = InflateRect(r, -1, -1);
  }
}

void TMMBevel::Assign(const TMMObject& source) {
  const auto* other = dynamic_cast<const TMMBevel*>(&source);
  if (other == nullptr)
    throw std::invalid_argument("Cannot assign a " + ClassName(source) + " to a TMMBevel");
  if (other == this) return;
  BeginUpdate();
  SetBevelInner(other->bevelInner_);
  SetBevelOuter(other->bevelOuter_);
  SetBevelInnerWidth(other->bevelInnerWidth_);
  SetBevelOuterWidth(other->bevelOuterWidth_);
  SetBorderStyle(other->borderStyle_);
  SetBorderWidth(other->borderWidth_);
  SetBorderSpace(other->borderSpace_);
  SetBorderColor(other->BorderColor());
  SetBorderSpaceColor(other->BorderSpaceColor());
  SetOuterLightColor(other->OuterLightColor());
  SetOuterShadowColor(other->OuterShadowColor());
  SetInnerLightColor(other->InnerLightColor());
  SetInnerShadowColor(other->InnerShadowColor());
  EndUpdate();
}

void TMMBevel::SetBevelInner(TBevelCut v) {
  Store(bevelInner_, v);
}
void TMMBevel::SetBevelOuter(TBevelCut v) {
  Store(bevelOuter_, v);
}
void TMMBevel::SetBevelInnerWidth(int v) {
  Store(bevelInnerWidth_, std::max(v, 1));
}
void TMMBevel::SetBevelOuterWidth(int v) {
  Store(bevelOuterWidth_, std::max(v, 1));
}
void TMMBevel::SetBorderStyle(TBorderStyle v) {
  Store(borderStyle_, v);
}
void TMMBevel::SetBorderWidth(int v) {
  Store(borderWidth_, std::max(v, 0));
}
void TMMBevel::SetBorderSpace(int v) {
  Store(borderSpace_, std::max(v, 0));
}

TColor TMMBevel::Color(int index) const {
  return index >= 0 && index < bcColorCount ? colors_[index] : clBlack;
}

void TMMBevel::SetColor(int index, TColor value) {
  if (index < 0 || index >= bcColorCount) return;
  Store(colors_[index], value);
}

int TMMBevel::BevelExtent() const {
  return borderWidth_ + borderSpace_ + (bevelOuter_ != bvNone ? bevelOuterWidth_ : 0) +
         (bevelInner_ != bvNone ? bevelInnerWidth_ : 0) + (borderStyle_ == bsSingle ? 1 : 0);
}

TRect TMMBevel::PaintBevel(TCanvas& canvas, const TRect& rect) const {
  TRect r = rect;
  auto bevel = [&](TBevelCut cut, int width, TColor light, TColor shadow) {
    switch (cut) {
      case bvLowered:
        PaintFrameRing(canvas, r, width, shadow, light);
        break;
      case bvRaised:
        PaintFrameRing(canvas, r, width, light, shadow);
        break;
      case bvSpace:
        PaintFrameRing(canvas, r, width, BorderColor(), BorderColor());
        break;
      case bvNone:
        break;
    }
  };
  if (borderStyle_ == bsSingle) PaintFrameRing(canvas, r, 1, clWindowFrame, clWindowFrame);
  bevel(bevelOuter_, bevelOuterWidth_, OuterLightColor(), OuterShadowColor());
  PaintFrameRing(canvas, r, borderWidth_, BorderColor(), BorderColor());
  bevel(bevelInner_, bevelInnerWidth_, InnerLightColor(), InnerShadowColor());
  PaintFrameRing(canvas, r, borderSpace_, BorderSpaceColor(), BorderSpaceColor());
  return r;
}

}  // namespace zq
