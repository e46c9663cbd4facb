#include "widgets/mmscale.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "widgets/classname.h"

namespace zq {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;

// A coordinate of a point on the circle: truncated at or beyond the centre, rounded before it.
int CircleCoord(double v, double centre) {
  return static_cast<int>(v >= centre ? std::trunc(v) : std::nearbyint(v));
}

TPoint OnCircle(double cx, double cy, double r, double degrees) {
  return {CircleCoord(cx + r * std::cos(degrees * kDegree), cx),
          CircleCoord(cy - r * std::sin(degrees * kDegree), cy)};
}

}  // namespace

void TMMCustomScale::Assign(const TMMObject& source) {
  const auto* other = dynamic_cast<const TMMCustomScale*>(&source);
  if (other == nullptr)
    throw std::invalid_argument("Cannot assign a " + ClassName(source) + " to a " +
                                ClassName(*this));
  if (other == this) return;
  BeginUpdate();
  SetVisible(other->visible_);
  SetColor(other->color_);
  SetStyle(other->style_);
  SetTickCount(other->tickCount_);
  SetEnlargeEvery(other->enlargeEvery_);
  SetSize(other->size_);
  SetOrigin(other->origin_);
  SetConnect(other->connect_);
  EndUpdate();
}

void TMMCustomScale::SetZoneColors(TColor color2, TColor color3) {
  color2_ = color2;
  color3_ = color3;
}

void TMMCustomScale::SetZoneLimits(int limit1, int limit2) {
  point1_ = limit1;
  point2_ = limit2;
}

void TMMCustomScale::SetAngles(double start, double end) {
  startAngle_ = start;
  endAngle_ = end;
}

void TMMCustomScale::SetVisible(bool value) {
  Store(visible_, value);
}

void TMMCustomScale::SetColor(TColor value) {
  if (value == color_) return;
  color_ = color2_ = color3_ = value;
  Changed();
}

void TMMCustomScale::SetStyle(TMMScaleStyle value) {
  Store(style_, value);
}
void TMMCustomScale::SetTickCount(int value) {
  Store(tickCount_, std::max(value, 2));
}
void TMMCustomScale::SetEnlargeEvery(int value) {
  Store(enlargeEvery_, std::max(value, 1));
}
void TMMCustomScale::SetSize(int value) {
  Store(size_, std::max(value, 1));
}
void TMMCustomScale::SetOrigin(TMMScaleOrigin value) {
  Store(origin_, value);
}
void TMMCustomScale::SetConnect(bool value) {
  Store(connect_, value);
}

int TMMCustomScale::TotalSize() const {
  return size_ + (connect_ ? 1 : 0) + (connect_ && style_ != stColor ? 1 : 0);
}

TCanvas& TMMCustomScale::RequireCanvas() const {
  if (canvas_ == nullptr) throw EMMScaleError("Canvas needed for this operation");
  return *canvas_;
}

void TMMCustomScale::StyledLine(TCanvas& canvas, int x1, int y1, int x2, int y2,
                                TColor color) const {
  auto line = [&](int dx, int dy, TColor c) {
    canvas.SetPenColor(c);
    canvas.MoveTo(x1 + dx, y1 + dy);
    canvas.LineTo(x2 + dx, y2 + dy);
  };
  if (style_ == stColor) {
    line(0, 0, color);
    return;
  }
  // The second line is shifted down beside a mostly horizontal line, else sideways: to the right
  // when the slope is not negative (a vertical line counts as positive), to the left otherwise.
  const int dx = x2 - x1, dy = y2 - y1;
  int sx = 0, sy = 0;
  if (std::abs(dx) > std::abs(dy))
    sy = 1;
  else
    sx = dx == 0 || (dx > 0) == (dy >= 0) ? 1 : -1;
  const TColor first = style_ == stLowered ? clBlack : clWhite;
  const TColor second = style_ == stLowered ? clWhite : clBlack;
  line(0, 0, first);
  line(sx, sy, second);
}

void TMMCustomScale::DrawLinear(const TRect& r, bool ownerSide) {
  TCanvas& canvas = RequireCanvas();
  const bool horizontal = r.Height() < r.Width();
  const double len = horizontal ? r.Width() : r.Height();
  const bool farEdge = (origin_ == soInner) == ownerSide;
  const bool zones = !(color2_ == color_ && color3_ == color_) && 0 <= point1_ &&
                     point1_ <= point2_ && point2_ <= tickCount_ && style_ == stColor;
  const double z1 = zones ? double(point1_) / tickCount_ * len : 0;
  const double z2 = zones ? double(point2_) / tickCount_ * len : 0;
  const int e = connect_ && style_ != stColor ? 1 : 0;

  if (connect_) {
    // The base line, in up to three pieces by zone.
    const int fixed =
        horizontal ? (farEdge ? r.Bottom - e : r.Top - 1) : (farEdge ? r.Right - 1 - e : r.Left);
    const int from = horizontal ? r.Left : r.Top + 1;
    const int to = horizontal ? r.Right + 1 : r.Bottom + 1;
    auto piece = [&](int a, int b, TColor color) {
      a = std::clamp(a, from, to);
      b = std::clamp(b, from, to);
      if (a >= b) return;
      if (horizontal)
        StyledLine(canvas, a, fixed, b, fixed, color);
      else
        StyledLine(canvas, fixed, a, fixed, b, color);
    };
    if (zones) {
      const double start = horizontal ? r.Left : r.Top;
      const int b1 = static_cast<int>(std::trunc(start + z1 + len / tickCount_));
      const int b2 = static_cast<int>(std::trunc(start + z2 + len / tickCount_));
      piece(from, b1, color_);
      piece(b1, b2, color2_);
      piece(b2, to, color3_);
    } else {
      piece(from, to, color_);
    }
  }

  for (int c = 0; c < tickCount_; ++c) {
    const double d = len / (tickCount_ - 1) * c;
    const int m = c % enlargeEvery_ == 0 ? size_ : size_ / 2;
    const TColor color = !zones ? color_ : d > z2 ? color3_ : d > z1 ? color2_ : color_;
    if (horizontal) {
      const int x = static_cast<int>(std::trunc(r.Left + d));
      if (farEdge)
        StyledLine(canvas, x, r.Bottom - m, x, r.Bottom, color);
      else
        StyledLine(canvas, x, r.Top, x, r.Top + m, color);
    } else {
      const int y = static_cast<int>(std::nearbyint(r.Top + d));
      if (farEdge)
        StyledLine(canvas, r.Right - m - e, y, r.Right - e, y, color);
      else
        StyledLine(canvas, r.Left + e, y, r.Left + m + e, y, color);
    }
  }
}

void TMMCustomScale::DrawCircular(const TRect& r) {
  TCanvas& canvas = RequireCanvas();
  const double cx = (r.Left + r.Right) / 2.0, cy = (r.Top + r.Bottom) / 2.0;
  const double radius = std::min(r.Width() / 2.0, r.Height() / 2.0);
  const double span = startAngle_ - endAngle_ + 360;

  if (connect_) {
    const double ra = origin_ == soOuter ? radius : radius - size_;
    const int left = static_cast<int>(std::lround(cx - ra)),
              top = static_cast<int>(std::lround(cy - ra));
    const int right = static_cast<int>(std::lround(cx + ra)),
              bottom = static_cast<int>(std::lround(cy + ra));
    // The arc's ends are given as rays; points far out along them keep their direction exact.
    auto ray = [&](double degrees) {
      return TPoint{static_cast<int>(std::lround(cx + 4096 * std::cos(degrees * kDegree))),
                    static_cast<int>(std::lround(cy - 4096 * std::sin(degrees * kDegree)))};
    };
    auto arc = [&](double from, double to, int dx, int dy, TColor color) {
      const TPoint a = ray(from), b = ray(to);
      canvas.SetPenColor(color);
      canvas.Arc(left + dx, top + dy, right + dx, bottom + dy, a.X + dx, a.Y + dy, b.X + dx,
                 b.Y + dy);
    };
    double from = endAngle_, to = startAngle_;
    while (to <= from)
      to += 360;
    if (style_ == stColor) {
      arc(from, to, 0, 0, color_);
    } else {
      const TColor first = style_ == stLowered ? clBlack : clWhite;
      const TColor second = style_ == stLowered ? clWhite : clBlack;
      // Split at the diagonals: the top and bottom parts shift down, the sides to the right.
      double a = from;
      while (a < to) {
        double next = std::floor((a - 45) / 90) * 90 + 135;
        if (next > to) next = to;
        const double mid = std::fmod(std::fmod((a + next) / 2, 360.0) + 360.0, 360.0);
        const bool topOrBottom = (mid >= 45 && mid < 135) || (mid >= 225 && mid < 315);
        arc(a, next, 0, 0, first);
        arc(a, next, topOrBottom ? 0 : 1, topOrBottom ? 1 : 0, second);
        a = next;
      }
    }
  }

  for (int c = 0; c < tickCount_; ++c) {
    const double angle = startAngle_ - c * span / (tickCount_ - 1);
    double r1 = radius - size_, r2 = radius;
    if (c % enlargeEvery_ != 0) {
      if (origin_ == soOuter)
        r1 = radius - size_ / 2.0;
      else
        r2 = radius - size_ / 2.0 + 1;
    }
    const TPoint p1 = OnCircle(cx, cy, r1, angle), p2 = OnCircle(cx, cy, r2, angle);
    StyledLine(canvas, p1.X, p1.Y, p2.X, p2.Y, color_);
  }
}

}  // namespace zq
