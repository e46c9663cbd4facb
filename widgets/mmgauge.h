#pragma once
// TMMGauge: a percentage shown as a bar, pie or needle with the percentage written over it.
//
// P = (Progress - MinValue) x 100 / (MaxValue - MinValue), truncated, computed in 64 bits (the
// range may exceed 32 bits); 0 when the range is empty. Progress is clamped to the range when
// written, but a later MinValue or MaxValue leaves it where it is, so P may fall outside 0..100:
// drawing and text use P limited to 0..100. Writing Progress repaints only when P changes.
//
// Painting composes the kind and the text in an image of the area inside the frame. The text
// ("Caption P%", or "P%") is written white on black and combined with the picture by exclusive
// or (white over black, cyan over red); with BWText the bar kinds write it in FontColor over the
// empty part and FontColor xor white over the filled part. Text is never antialiased, so only
// these colours appear. Main thread only.

#include <QFont>
#include <QString>
#include <cstdint>

#include "widgets/mmcontrols.h"

namespace zq {

enum TMMGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };

class TMMGauge : public TMMGraphicControl {
 public:
  explicit TMMGauge(QWidget* parent = nullptr, TMMComponent* owner = nullptr);

  TMMGaugeKind Kind() const { return kind_; }
  void SetKind(TMMGaugeKind value);
  int MinValue() const { return minValue_; }
  void SetMinValue(int value);
  int MaxValue() const { return maxValue_; }
  void SetMaxValue(int value);
  int Progress() const { return progress_; }
  void SetProgress(int value);
  bool ShowText() const { return showText_; }
  void SetShowText(bool value);
  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& value);
  bool BWText() const { return bwText_; }
  void SetBWText(bool value);
  TColor ForeColor() const { return foreColor_; }
  void SetForeColor(TColor value);
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor value);
  const QFont& Font() const { return font_; }
  // The font text is written in; it is never antialiased.
  void SetFont(const QFont& value);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor value);

  // P as defined above (not limited).
  std::int64_t Percent() const;
  // The text written over the gauge.
  QString Text() const;

 protected:
  void Paint(TCanvas& canvas) override;

 private:
  void Compose(QImage& image);
  void WriteText(QImage& image);

  TMMGaugeKind kind_ = gkHorizontalBar;
  int minValue_ = 0;
  int maxValue_ = 100;
  int progress_ = 0;
  bool showText_ = true;
  QString caption_;
  bool bwText_ = false;
  TColor foreColor_ = clActiveCaption;
  TColor backColor_ = clWhite;
  QFont font_;
  TColor fontColor_ = clWindowText;
};

}  // namespace zq
