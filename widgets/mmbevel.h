#pragma once
// TMMBevel: the frame a widget draws around its content, from the outside in: an optional
// one-pixel window-frame line, the outer bevel, a solid border, the inner bevel and a solid
// margin. Each widget owns one and publishes it as its Bevel; the owner hooks OnChanged (via the
// update bracket of TMMObject, an Assign notifies once). Writers act only when the value changes;
// widths are clamped (bevel widths to at least 1, border and margin to at least 0). Main thread
// only.
//
// bvSpace reserves its width as a solid ring in the border colour: the extent counts it, so the
// frame painted and the room it takes always agree.

#include <array>

#include "platform/mmobject.h"
#include "widgets/graphics.h"

namespace zq {

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TBorderStyle { bsNone, bsSingle };

class TMMBevel : public TMMObject {
 public:
  // The indexed colour family.
  enum {
    bcBorderColor,
    bcBorderSpaceColor,
    bcInnerLightColor,
    bcInnerShadowColor,
    bcOuterLightColor,
    bcOuterShadowColor,
    bcColorCount
  };

  TMMBevel() = default;

  // Copies the thirteen values of another bevel (notifying once); assigning a bevel to itself does
  // nothing. Any other source is refused with std::invalid_argument.
  void Assign(const TMMObject& source);

  TBevelCut BevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut value);
  TBevelCut BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut value);
  int BevelInnerWidth() const { return bevelInnerWidth_; }
  void SetBevelInnerWidth(int value);
  int BevelOuterWidth() const { return bevelOuterWidth_; }
  void SetBevelOuterWidth(int value);
  TBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle value);
  int BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(int value);
  int BorderSpace() const { return borderSpace_; }
  void SetBorderSpace(int value);

  // One writer serves the six colours; an index outside 0..5 is ignored (and reads as black).
  TColor Color(int index) const;
  void SetColor(int index, TColor value);
  TColor BorderColor() const { return Color(bcBorderColor); }
  void SetBorderColor(TColor v) { SetColor(bcBorderColor, v); }
  TColor BorderSpaceColor() const { return Color(bcBorderSpaceColor); }
  void SetBorderSpaceColor(TColor v) { SetColor(bcBorderSpaceColor, v); }
  TColor InnerLightColor() const { return Color(bcInnerLightColor); }
  void SetInnerLightColor(TColor v) { SetColor(bcInnerLightColor, v); }
  TColor InnerShadowColor() const { return Color(bcInnerShadowColor); }
  void SetInnerShadowColor(TColor v) { SetColor(bcInnerShadowColor, v); }
  TColor OuterLightColor() const { return Color(bcOuterLightColor); }
  void SetOuterLightColor(TColor v) { SetColor(bcOuterLightColor, v); }
  TColor OuterShadowColor() const { return Color(bcOuterShadowColor); }
  void SetOuterShadowColor(TColor v) { SetColor(bcOuterShadowColor, v); }

  // The room the frame takes on each side.
  int BevelExtent() const;
  // Paints the frame into rect and returns the rectangle left inside it.
  TRect PaintBevel(TCanvas& canvas, const TRect& rect) const;

 private:
  template <class T>
  void Store(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
  }

  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvLowered;
  int bevelInnerWidth_ = 1;
  int bevelOuterWidth_ = 1;
  TBorderStyle borderStyle_ = bsNone;
  int borderWidth_ = 0;
  int borderSpace_ = 0;
  std::array<TColor, bcColorCount> colors_ = {clBtnFace,   clBlack,        clBtnHighlight,
                                              clBtnShadow, clBtnHighlight, clBtnShadow};
};

// A frame ring of width w: the left column and top row in `topLeft` (each one pixel short of the
// far corner), the right column and bottom row in `bottomRight`; then r shrinks by one on every
// side, w times. Width 0 paints nothing and leaves r as it is.
void PaintFrameRing(TCanvas& canvas, TRect& r, int w, TColor topLeft, TColor bottomRight);

}  // namespace zq
