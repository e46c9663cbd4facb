#include "widgets/mmgauge.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "widgets/accessibility.h"
#include "widgets/fonts.h"

namespace zq {

namespace {

constexpr int kLowest = -std::numeric_limits<int>::max();  // -2147483647
constexpr int kHighest = std::numeric_limits<int>::max();

// Round to the nearest integer, halves to even.
int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

QFont Unantialiased(QFont font) {
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// A progress bar valued by the gauge's position in its range.
class GaugeAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit GaugeAccessible(TMMGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}
  void* interface_cast(QAccessible::InterfaceType t) override {
    if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) return gauge()->Caption();
    if (t == QAccessible::Value) return gauge()->Text();
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return gauge()->Progress(); }
  void setCurrentValue(const QVariant&) override {}  // a display: not set from outside
  QVariant maximumValue() const override { return gauge()->MaxValue(); }
  QVariant minimumValue() const override { return gauge()->MinValue(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  TMMGauge* gauge() const { return static_cast<TMMGauge*>(widget()); }
};

ZQ_ACCESSIBLE([](QObject* o) -> QAccessibleInterface* {
  auto* gauge = dynamic_cast<TMMGauge*>(o);
  return gauge != nullptr ? new GaugeAccessible(gauge) : nullptr;
});

}  // namespace

TMMGauge::TMMGauge(QWidget* parent, TMMComponent* owner)
    : TMMGraphicControl(parent, owner), font_(Unantialiased(WindowsFont("Arial", 8))) {
  resize(150, 18);
}

std::int64_t TMMGauge::Percent() const {
  if (maxValue_ == minValue_) return 0;
  return (std::int64_t{progress_} - minValue_) * 100 / (std::int64_t{maxValue_} - minValue_);
}

QString TMMGauge::Text() const {
  const auto p = static_cast<int>(std::clamp<std::int64_t>(Percent(), 0, 100));
  if (caption_.isEmpty()) return QStringLiteral("%1%").arg(p);
  return QStringLiteral("%1 %2%").arg(caption_).arg(p);
}

void TMMGauge::SetKind(TMMGaugeKind value) {
  if (value == kind_) return;
  kind_ = value;
  update();
}

void TMMGauge::SetMinValue(int value) {
  value = std::clamp(value, kLowest, maxValue_);
  if (value == minValue_) return;
  minValue_ = value;
  update();
}

void TMMGauge::SetMaxValue(int value) {
  value = std::clamp(value, minValue_, kHighest);
  if (value == maxValue_) return;
  maxValue_ = value;
  update();
}

void TMMGauge::SetProgress(int value) {
  value = std::clamp(value, minValue_, maxValue_);
  if (value == progress_) return;
  const std::int64_t before = Percent();
  progress_ = value;
  if (Percent() != before) repaint();
}

void TMMGauge::SetShowText(bool value) {
  if (value == showText_) return;
  showText_ = value;
  update();
}

void TMMGauge::SetCaption(const QString& value) {
  if (value == caption_) return;
  caption_ = value;
  update();
}

void TMMGauge::SetBWText(bool value) {
  if (value == bwText_) return;
  bwText_ = value;
  update();
}

void TMMGauge::SetForeColor(TColor value) {
  if (value == foreColor_) return;
  foreColor_ = value;
  update();
}

void TMMGauge::SetBackColor(TColor value) {
  if (value == backColor_) return;
  backColor_ = value;
  update();
}

void TMMGauge::SetFont(const QFont& value) {
  font_ = Unantialiased(value);
  update();
}

void TMMGauge::SetFontColor(TColor value) {
  if (value == fontColor_) return;
  fontColor_ = value;
  update();
}

void TMMGauge::Paint(TCanvas& canvas) {
  const TRect inner = Bevel().PaintBevel(canvas, {0, 0, width(), height()});
  if (inner.IsEmpty()) return;
  QImage image(inner.Width(), inner.Height(), QImage::Format_RGB32);
  Compose(image);
  if (showText_) WriteText(image);
  canvas.Handle()->drawImage(inner.Left, inner.Top, image);
}

void TMMGauge::Compose(QImage& image) {
  const int w = image.width(), h = image.height();
  const auto p = std::clamp<std::int64_t>(Percent(), 0, 100);
  QPainter painter(&image);
  TCanvas c(&painter);
  switch (kind_) {
    case gkText:
      c.SetBrushColor(backColor_);
      c.FillRect({0, 0, w, h});
      break;
    case gkHorizontalBar:
      c.SetBrushColor(backColor_);
      c.FillRect({0, 0, w, h});
      c.SetBrushColor(foreColor_);
      c.FillRect({0, 0, static_cast<int>(w * p / 100), h});
      break;
    case gkVerticalBar:
      c.SetBrushColor(backColor_);
      c.FillRect({0, 0, w, h});
      c.SetBrushColor(foreColor_);
      c.FillRect({0, h - static_cast<int>(h * p / 100), w, h});
      break;
    case gkPie: {
      c.SetBrushColor(Color());
      c.FillRect({0, 0, w, h});
      c.SetPenColor(foreColor_);
      c.SetBrushColor(backColor_);
      c.Ellipse(0, 0, w, h);
      if (p > 0) {
        const double a = (static_cast<double>(p) / 50 + 0.5) * std::numbers::pi;
        c.SetBrushColor(foreColor_);
        c.Pie(0, 0, w, h, RoundEven(w / 2 * (1 - std::cos(a))),
              RoundEven(h / 2 * (1 - std::sin(a))), w / 2, 0);
      }
      break;
    }
    case gkNeedle: {
      c.SetBrushColor(Color());
      c.FillRect({0, 0, w, h});
      c.SetPenColor(foreColor_);
      c.SetBrushColor(backColor_);
      c.Pie(0, 0, w, 2 * h - 1, w, h - 1, 0, h - 1);
      c.MoveTo(0, h - 1);
      c.LineTo(w, h - 1);
      if (p > 0) {
        const double a = static_cast<double>(p) / 100 * std::numbers::pi;
        c.MoveTo(w / 2, h - 1);
        c.LineTo(RoundEven(w / 2 * (1 - std::cos(a))), RoundEven((h - 1) * (1 - std::sin(a))));
      }
      break;
    }
  }
}

void TMMGauge::WriteText(QImage& image) {
  const int w = image.width(), h = image.height();
  const QString text = Text();
  const QFontMetrics fm(font_);
  const int left = (w - fm.horizontalAdvance(text)) / 2, top = (h - fm.height()) / 2;
  const QPoint at(left, top + fm.ascent());
  if (bwText_ && (kind_ == gkHorizontalBar || kind_ == gkVerticalBar)) {
    const auto p = std::clamp<std::int64_t>(Percent(), 0, 100);
    const QRect filled = kind_ == gkHorizontalBar
                             ? QRect(0, 0, static_cast<int>(w * p / 100), h)
                             : QRect(0, h - static_cast<int>(h * p / 100), w, h);
    QPainter painter(&image);
    painter.setFont(font_);
    painter.setClipRegion(QRegion(0, 0, w, h) - QRegion(filled));
    painter.setPen(ToQColor(fontColor_));
    painter.drawText(at, text);
    painter.setClipRect(filled);
    painter.setPen(ToQColor(ColorToRGB(fontColor_) ^ 0xFFFFFF));
    painter.drawText(at, text);
    return;
  }
  QImage mask(w, h, QImage::Format_RGB32);
  mask.fill(Qt::black);
  {
    QPainter painter(&mask);
    painter.setFont(font_);
    painter.setPen(Qt::white);
    painter.drawText(at, text);
  }
  for (int y = 0; y < h; ++y) {
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    const auto* in = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
    for (int x = 0; x < w; ++x)
      out[x] ^= in[x] & 0xFFFFFF;
  }
}

}  // namespace zq
