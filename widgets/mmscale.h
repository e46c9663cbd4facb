#pragma once
// TMMCustomScale: a row of tick marks along a straight edge (DrawLinear) or around an arc
// (DrawCircular), owned by a control as its Scale. The owner sets the canvas, the zone colours
// and limits and the angles before it draws (those writes do not notify, so setting them from a
// paint causes no repaint); every published property writer acts only on a change, clamps to its
// limit and fires OnChanged, which the owner hooks to repaint. Assign from another scale copies
// the eight published properties and notifies once. Drawing without a canvas raises
// EMMScaleError; the canvas is not owned and must outlive the drawing. Main thread only.
//
// TMMScale publishes every property; other owners may publish fewer.

#include <stdexcept>

#include "platform/mmobject.h"
#include "widgets/graphics.h"

namespace zq {

class EMMScaleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum TMMScaleStyle { stColor, stLowered, stRaised };
enum TMMScaleOrigin { soInner, soOuter };
enum TMMScalePos { spAboveOrLeft, spBelowOrRight, spBoth };

class TMMCustomScale : public TMMObject {
 public:
  TMMCustomScale() = default;

  // Copies Visible, Color, Style, TickCount, EnlargeEvery, Size, Origin and Connect; any source
  // that is not a scale is refused with std::invalid_argument.
  void Assign(const TMMObject& source);

  // The thickness the scale needs across its edge.
  int TotalSize() const;
  // Ticks along the longer side of rect. ownerSide: the scale lies on the top or left side of
  // its owner's content (false: bottom or right).
  void DrawLinear(const TRect& rect, bool ownerSide);
  // Ticks around the circle inscribed in rect, from StartAngle clockwise to EndAngle.
  void DrawCircular(const TRect& rect);

  // Set by the owner; not notified.
  TCanvas* Canvas() const { return canvas_; }
  void SetCanvas(TCanvas* canvas) { canvas_ = canvas; }
  // The second and third colours of a three-zone linear scale, and the tick numbers where they
  // begin. Zones apply only when they differ from Color, 0 <= limit1 <= limit2 <= TickCount and
  // the style is stColor.
  TColor Color2() const { return color2_; }
  TColor Color3() const { return color3_; }
  void SetZoneColors(TColor color2, TColor color3);
  int Point1() const { return point1_; }
  int Point2() const { return point2_; }
  void SetZoneLimits(int limit1, int limit2);
  // Degrees, counter-clockwise from the positive x axis.
  double StartAngle() const { return startAngle_; }
  double EndAngle() const { return endAngle_; }
  void SetAngles(double start, double end);

 protected:
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  TColor Color() const { return color_; }
  // Also sets both zone colours.
  void SetColor(TColor value);
  TMMScaleStyle Style() const { return style_; }
  void SetStyle(TMMScaleStyle value);
  int TickCount() const { return tickCount_; }
  void SetTickCount(int value);  // at least 2
  int EnlargeEvery() const { return enlargeEvery_; }
  void SetEnlargeEvery(int value);  // at least 1
  int Size() const { return size_; }
  void SetSize(int value);  // at least 1
  TMMScaleOrigin Origin() const { return origin_; }
  void SetOrigin(TMMScaleOrigin value);
  bool Connect() const { return connect_; }
  void SetConnect(bool value);

 private:
  template <class T>
  void Store(T& field, T value) {
    if (field == value) return;
    field = value;
    Changed();
  }
  TCanvas& RequireCanvas() const;
  void StyledLine(TCanvas& canvas, int x1, int y1, int x2, int y2, TColor color) const;

  bool visible_ = true;
  TColor color_ = clBlack;
  TMMScaleStyle style_ = stColor;
  int tickCount_ = 11;
  int enlargeEvery_ = 5;
  int size_ = 7;
  TMMScaleOrigin origin_ = soInner;
  bool connect_ = false;

  TColor color2_ = clBlack;
  TColor color3_ = clBlack;
  int point1_ = 0;
  int point2_ = 0;
  double startAngle_ = 225;
  double endAngle_ = 315;
  TCanvas* canvas_ = nullptr;
};

class TMMScale : public TMMCustomScale {
 public:
  using TMMCustomScale::Color;
  using TMMCustomScale::Connect;
  using TMMCustomScale::EnlargeEvery;
  using TMMCustomScale::Origin;
  using TMMCustomScale::SetColor;
  using TMMCustomScale::SetConnect;
  using TMMCustomScale::SetEnlargeEvery;
  using TMMCustomScale::SetOrigin;
  using TMMCustomScale::SetSize;
  using TMMCustomScale::SetStyle;
  using TMMCustomScale::SetTickCount;
  using TMMCustomScale::SetVisible;
  using TMMCustomScale::Size;
  using TMMCustomScale::Style;
  using TMMCustomScale::TickCount;
  using TMMCustomScale::Visible;
};

}  // namespace zq
