#include "widgets/graphics.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QPolygon>
#include <QPolygonF>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <utility>

#include "widgets/linetrace.h"

namespace zq {

namespace {

// The classic values of the system colours, by number (00BBGGRR).
constexpr std::array<TColor, 25> kSystemColors = {
    0xC0C0C0,  // scroll bar
    0x808000,  // desktop background
    0x800000,  // active caption
    0x808080,  // inactive caption
    0xC0C0C0,  // menu
    0xFFFFFF,  // window
    0x000000,  // window frame
    0x000000,  // menu text
    0x000000,  // window text
    0xFFFFFF,  // caption text
    0xC0C0C0,  // active border
    0xC0C0C0,  // inactive border
    0x808080,  // application workspace
    0x800000,  // highlight
    0xFFFFFF,  // highlight text
    0xC0C0C0,  // button face
    0x808080,  // button shadow
    0x808080,  // grey text
    0x000000,  // button text
    0xC0C0C0,  // inactive caption text
    0xFFFFFF,  // button highlight
    0x000000,  // dark 3-D shadow
    0xC0C0C0,  // 3-D light
    0x000000,  // tool-tip text
    0xE1FFFF,  // tool-tip background
};

double AngleOf(double cx, double cy, int x, int y) {
  // Degrees counter-clockwise from the positive x axis, y pointing up.
  return std::atan2(cy - y, x - cx) * 180.0 / std::numbers::pi;
}

}  // namespace

TColor ColorToRGB(TColor color) {
  if ((color & clSystemColor) == 0) return color & 0xFFFFFF;
  const unsigned index = color & 0xFF;
  return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
}

QColor ToQColor(TColor color) {
  const TColor rgb = ColorToRGB(color);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TRect IntersectRect(const TRect& a, const TRect& b) {
  const TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

TCanvas::TCanvas(QPainter* painter) : painter_(painter) {
  if (painter_ != nullptr) font_ = painter_->font();
}

void TCanvas::SetFont(const QFont& font) {
  font_ = font;
}

void TCanvas::LineTo(int x, int y) {
  const TPoint from = pen_;
  pen_ = {x, y};
  if (painter_ == nullptr) return;
  const QColor color = ToQColor(penColor_);
  if (penWidth_ > 1) {
    painter_->save();
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setPen(QPen(color, penWidth_, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter_->drawLine(from.X, from.Y, x, y);
    painter_->restore();
    return;
  }
  // Straight lines are rectangles one pixel thick.
  if (from.Y == y) {
    const int lo = from.X < x ? from.X : x + 1, hi = from.X < x ? x : from.X + 1;
    if (lo < hi) painter_->fillRect(QRect(lo, y, hi - lo, 1), color);
    return;
  }
  if (from.X == x) {
    const int lo = from.Y < y ? from.Y : y + 1, hi = from.Y < y ? y : from.Y + 1;
    if (lo < hi) painter_->fillRect(QRect(x, lo, 1, hi - lo), color);
    return;
  }
  // Only the part over the device is traced.
  TRect clip{-1 << 30, -1 << 30, 1 << 30, 1 << 30};
  if (QPaintDevice* device = painter_->device(); device != nullptr) {
    const QRect r =
        painter_->transform().inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    clip = {r.left() - 1, r.top() - 1, r.right() + 2, r.bottom() + 2};
  }
  QPolygon points;
  TraceLine(from.X, from.Y, x, y, clip, [&](int px, int py) { points << QPoint(px, py); });
  if (points.isEmpty()) return;
  painter_->save();
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setPen(QPen(color, 0));
  painter_->drawPoints(points);
  painter_->restore();
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (painter_ != nullptr) painter_->fillRect(QRect(x, y, 1, 1), ToQColor(color));
}

void TCanvas::FillRect(const TRect& r) {
  if (painter_ == nullptr || r.IsEmpty()) return;
  painter_->fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ToQColor(brushColor_));
}

namespace {

// The box of an arc, ellipse or pie in Qt's terms (one pixel smaller, as Qt's outline covers
// its right and bottom edges); empty when the box has no inside.
QRect ArcBox(int x1, int y1, int x2, int y2) {
  const int l = std::min(x1, x2), t = std::min(y1, y2), r = std::max(x1, x2), b = std::max(y1, y2);
  if (r - l < 1 || b - t < 1) return {};
  return QRect(l, t, r - l - 1, b - t - 1);
}

// Start and span in degrees, counter-clockwise from the ray through (x3, y3) to the ray through
// (x4, y4); equal rays give a full turn.
std::pair<double, double> ArcAngles(const QRect& box, int x3, int y3, int x4, int y4) {
  const double cx = box.left() + box.width() / 2.0, cy = box.top() + box.height() / 2.0;
  const double start = AngleOf(cx, cy, x3, y3);
  double span = AngleOf(cx, cy, x4, y4) - start;
  while (span <= 0)
    span += 360.0;
  return {start, span};
}

int Sixteenths(double degrees) {
  return static_cast<int>(std::lround(degrees * 16));
}

}  // namespace

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const QRect box = ArcBox(x1, y1, x2, y2);
  if (painter_ == nullptr || box.isNull()) return;
  const auto [start, span] = ArcAngles(box, x3, y3, x4, y4);
  painter_->save();
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setPen(QPen(ToQColor(penColor_), 0));
  painter_->setBrush(Qt::NoBrush);
  painter_->drawArc(box, Sixteenths(start), Sixteenths(span));
  painter_->restore();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  const QRect box = ArcBox(x1, y1, x2, y2);
  if (painter_ == nullptr || box.isNull()) return;
  painter_->save();
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setPen(QPen(ToQColor(penColor_), 0));
  painter_->setBrush(ToQColor(brushColor_));
  painter_->drawEllipse(box);
  painter_->restore();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  const QRect box = ArcBox(x1, y1, x2, y2);
  if (painter_ == nullptr || box.isNull()) return;
  const auto [start, span] = ArcAngles(box, x3, y3, x4, y4);
  painter_->save();
  painter_->setRenderHint(QPainter::Antialiasing, false);
  painter_->setPen(QPen(ToQColor(penColor_), 0));
  painter_->setBrush(ToQColor(brushColor_));
  if (span >= 360.0) {
    painter_->drawEllipse(box);
    painter_->restore();
    return;
  }
  // The sector is the ellipse cut by a wedge reaching far beyond it, so that its arc is the
  // ellipse's own outline (Qt's pie outline falls a pixel short on the right and bottom).
  const double a = box.width() / 2.0, b = box.height() / 2.0;
  const QPointF centre(box.left() + a + 0.5, box.top() + b + 0.5);  // of the middle pixel
  const double far = 2.0 * (box.width() + box.height() + 2);
  auto ray = [](double degrees) {
    const double r = degrees * std::numbers::pi / 180.0;
    return QPointF(std::cos(r), -std::sin(r));
  };
  QPolygonF wedge;
  wedge << centre;
  const int steps = std::max(2, static_cast<int>(std::ceil(span / 5.0)));
  for (int i = 0; i <= steps; ++i)
    wedge << centre + far * ray(start + span * i / steps);
  QPainterPath clip;
  clip.addPolygon(wedge);
  painter_->setClipPath(clip, Qt::IntersectClip);
  painter_->drawEllipse(box);
  painter_->restore();
  // The two radii, from the middle pixel to where each ray meets the ellipse.
  const int cx = box.left() + box.width() / 2, cy = box.top() + box.height() / 2;
  const TPoint pen = pen_;
  for (double degrees : {start, start + span}) {
    const QPointF d = ray(degrees);
    const double t = 1.0 / std::hypot(d.x() / std::max(a, 0.5), d.y() / std::max(b, 0.5));
    const int ex = static_cast<int>(std::lround(box.left() + a + t * d.x()));
    const int ey = static_cast<int>(std::lround(box.top() + b + t * d.y()));
    MoveTo(cx, cy);
    LineTo(ex, ey);
    SetPixel(ex, ey, penColor_);
  }
  pen_ = pen;
}

void TCanvas::TextOut(int x, int y, const QString& text) {
  if (painter_ == nullptr) return;
  const QFontMetrics fm(font_);
  painter_->save();
  painter_->setFont(font_);
  painter_->setPen(ToQColor(fontColor_));
  painter_->drawText(QPoint(x, y + fm.ascent()), text);
  painter_->restore();
}

void TCanvas::TextRect(const TRect& r, const QString& text, TAlignment alignment) {
  if (painter_ == nullptr || r.IsEmpty()) return;
  int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs;
  flags |= alignment == taRightJustify ? Qt::AlignRight
           : alignment == taCenter     ? Qt::AlignHCenter
                                       : Qt::AlignLeft;
  painter_->save();
  painter_->setFont(font_);
  painter_->setPen(ToQColor(fontColor_));
  const QRect qr(r.Left, r.Top, r.Width(), r.Height());
  painter_->setClipRect(qr, Qt::IntersectClip);
  painter_->drawText(qr, flags, text);
  painter_->restore();
}

int TCanvas::TextWidth(const QString& text) const {
  return QFontMetrics(font_).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& text) const {
  return QFontMetrics(font_).height();
}

}  // namespace zq
