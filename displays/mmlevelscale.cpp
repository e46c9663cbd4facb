#include "displays/mmlevelscale.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "audio/mmutils.h"
#include "widgets/fonts.h"

namespace zq {

TMMLevScale::TMMLevScale() {
  SetVisible(false);
}

TMMLevelScale::TMMLevelScale(QWidget* parent, TMMComponent* owner)
    : TMMGraphicControl(parent, owner),
      scale_(std::make_unique<TMMLevScale>()),
      font_(WindowsFont("Small Fonts", 6)) {
  SetColor(clBlack);
  scale_->OnChanged = [this](TMMObject*) {
    if (!painting_) update();
  };
  resize(200, 7);
}

TMMLevelScale::~TMMLevelScale() {
  scale_->OnChanged = nullptr;
}

void TMMLevelScale::SetScaleTicks(int value) {
  Store(scaleTicks_, std::max(value, 2));
}

void TMMLevelScale::SetPoint1(int value) {
  Store(point1_, std::clamp(value, 1, 100));
}

void TMMLevelScale::SetPoint2(int value) {
  Store(point2_, std::clamp(value, 1, 100));
}

void TMMLevelScale::SetSensitivy(int value) {
  Store(sensitivity_, std::clamp(value, -90, -9));
}

int TMMLevelScale::LabelStep() const {
  TCanvas canvas(nullptr);
  canvas.SetFont(font_);
  return LabelStep(canvas);
}

int TMMLevelScale::LabelStep(const TCanvas& canvas) const {
  const bool horizontal = kind_ == lkHorizontal;
  const TRect r = BevelClientRect();
  const int size =
      horizontal ? canvas.TextWidth(QString::number(sensitivity_)) : canvas.TextHeight("W");
  int available = horizontal ? r.Width() : r.Height();
  if (direction_ == dirSymetric) available /= 2;
  const int gaps = scaleTicks_ - 1;
  int step = 1;
  while (std::int64_t{gaps / step} * size > available)
    ++step;
  return step;
}

namespace {

// The zone (0, 1, 2) a tick of a normal level scale takes from the tick scale: the first zone up
// to tick border1, the second up to border2, in whole numbers (no zones when the borders are out
// of order or beyond the ticks).
int NormalZone(int tick, int ticks, int border1, int border2) {
  if (border1 < 0 || border1 > border2 || border2 > ticks) return 0;
  const std::int64_t at = std::int64_t{tick} * ticks;
  return at <= std::int64_t{border1} * (ticks - 1)   ? 0
         : at <= std::int64_t{border2} * (ticks - 1) ? 1
                                                     : 2;
}

// The zone limit that gives the first `count` ticks (at least 1) the first colour.
int LimitAfter(int count, int ticks) {
  const std::int64_t n = std::int64_t{count - 1} * ticks, d = ticks - 1;
  return static_cast<int>((n + d - 1) / d);
}

}  // namespace

void TMMLevelScale::DrawTicks(TCanvas& canvas, TRect& labels, int inset) {
  TMMLevScale& scale = *scale_;
  const bool horizontal = kind_ == lkHorizontal;
  const int ticks = scale.TickCount();
  const int border1 = MulDivRound(point1_ - 1, ticks, 100);
  const int border2 = MulDivRound(point2_ - 1, ticks, 100);
  // The loud end at the left or top: the normal scale turned end for end. Its ticks take the
  // colours of the normal scale's ticks in reverse, in up to three runs, each run given to the
  // tick scale as a zone.
  const bool turned = !horizontal != (direction_ == dirReversed);
  if (turned) {
    TColor run[3];
    int length[3] = {};
    int runs = 0;
    for (int c = 0; c < ticks; ++c) {
      const TColor color = colors_[NormalZone(ticks - 1 - c, ticks, border1, border2)];
      if (runs == 0 || run[runs - 1] != color) run[runs++] = color;
      ++length[runs - 1];
    }
    const TColor second = runs > 1 ? run[1] : run[0];
    scale.SetColor(run[0]);
    scale.SetZoneColors(second, runs > 2 ? run[2] : second);
    scale.SetZoneLimits(runs > 1 ? LimitAfter(length[0], ticks) : 0,
                        runs > 2 ? LimitAfter(length[0] + length[1], ticks) : ticks);
  } else {
    scale.SetColor(colors_[0]);
    scale.SetZoneColors(colors_[1], colors_[2]);
    scale.SetZoneLimits(border1, border2);
  }
  scale.SetCanvas(&canvas);
  const int depth = scale.TotalSize();
  if (scalePos_ == spAboveOrLeft || scalePos_ == spBoth) {
    const TRect r =
        horizontal
            ? TRect{labels.Left + inset, labels.Top, labels.Right - inset, labels.Top + depth}
            : TRect{labels.Left, labels.Top + inset, labels.Left + depth, labels.Bottom - inset};
    scale.DrawLinear(r, true);
    (horizontal ? labels.Top : labels.Left) += depth;
  }
  if (scalePos_ == spBelowOrRight || scalePos_ == spBoth) {
    const TRect r =
        horizontal
            ? TRect{labels.Left + inset, labels.Bottom - depth, labels.Right - inset, labels.Bottom}
            : TRect{labels.Right - depth, labels.Top + inset, labels.Right, labels.Bottom - inset};
    scale.DrawLinear(r, false);
    (horizontal ? labels.Bottom : labels.Right) -= depth;
  }
  scale.SetCanvas(nullptr);
}

void TMMLevelScale::DrawLabels(TCanvas& canvas, const TRect& area) {
  const bool horizontal = kind_ == lkHorizontal;
  const bool reversed = direction_ == dirReversed;
  const bool symmetric = direction_ == dirSymetric;
  const int last = scaleTicks_ - 1;
  const QString lowest = QString::number(sensitivity_);
  const int size = horizontal ? canvas.TextWidth(lowest) : canvas.TextHeight("W");
  const int textHeight = canvas.TextHeight("W");
  const int length = horizontal ? area.Width() : area.Height();
  const int control = horizontal ? BevelClientRect().Width() : BevelClientRect().Height();
  const int step = LabelStep(canvas);
  const float t = static_cast<float>(32767 / std::pow(10.0, -sensitivity_ / 20.0));

  // n: the position index along the strip (0 at the left or top); m: the label's index from
  // 0 dB, which is also the order the labels are visited in.
  const bool nRises = (horizontal && reversed) || (!horizontal && !reversed);
  const bool endsAtTick = horizontal ? !reversed && !symmetric : reversed;
  for (int j = 0; j <= last; j += step) {
    const int n = nRises ? j : last - j;
    const int m = j;
    int h = MulDivRound(32767, n, last);
    if (nRises) h = 32767 - h;
    const TColor color = h > point2_ * 32767.0 / 100   ? colors_[2]
                         : h > point1_ * 32767.0 / 100 ? colors_[1]
                                                       : colors_[0];
    int number;
    if (logAmp_) {
      number = MulDivRound(m, sensitivity_, last);
    } else {
      const int k = last - m;
      number = static_cast<int>(
          std::nearbyint(20 * std::log10((t + (32767 - t) * double(k) / last) / 32767)));
    }
    canvas.SetFontColor(color);

    // Draws text in the box of `size` that starts (or ends) at p along the strip.
    auto place = [&](int p, bool ends, const QString& text) {
      if (ends) p -= size;
      if (p < 0 || p + size > control) return;
      const int width = canvas.TextWidth(text);
      if (horizontal) {
        const int x = area.Left + (ends ? p + size - width : p);
        canvas.TextOut(x, area.Top + (area.Height() - textHeight) / 2, text);
      } else {
        const int right = (area.Left + area.Right) / 2 + canvas.TextWidth(lowest) / 2 - 1;
        canvas.TextOut(right - width, area.Top + p, text);
      }
    };

    const QString text = QString::number(number);
    if (!symmetric) {
      place((n * (length - 1) + last / 2) / last, endsAtTick, text);
      continue;
    }
    // From the middle over half the length: the side where the spots start reads as it is,
    // the other side carries the copy.
    const int half = length / 2;
    const int d = (m * (half - 1) + last / 2) / last;
    if (m == 0) {
      const int along = horizontal ? canvas.TextWidth(text) : textHeight;
      const int p = half - along / 2;
      if (horizontal)
        canvas.TextOut(area.Left + p, area.Top + (area.Height() - textHeight) / 2, text);
      else
        place(p, false, text);
      continue;
    }
    const QString copy = "+" + QString::number(std::abs(number));
    if (horizontal) {
      place(half + d, false, text);  // right
      place(half - d, true, copy);   // left
    } else {
      place(half - d, true, text);   // top
      place(half + d, false, copy);  // bottom
    }
  }
}

void TMMLevelScale::Paint(TCanvas& canvas) {
  painting_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{painting_};
  TRect r = {0, 0, width(), height()};
  if (BevelExtent() > 0) r = Bevel().PaintBevel(canvas, r);
  canvas.SetBrushColor(Color());
  canvas.FillRect(r);
  canvas.SetFont(font_);
  const bool horizontal = kind_ == lkHorizontal;
  const int inset = horizontal ? canvas.TextWidth("0") / 2 : canvas.TextHeight("0") / 2;
  TRect labels = r;
  if (scale_->Visible()) DrawTicks(canvas, labels, inset);
  if (labels.IsEmpty()) return;
  DrawLabels(canvas, labels);
}

}  // namespace zq
