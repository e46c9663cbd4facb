#pragma once
// TMMLEDLABEL: a windowless dot-matrix LED readout. A row of NumChars cells, each showing one
// glyph of a built-in sheet (FontSize: "FONT_11X13", "FONT_16X20", "FONT_11X13_BOLD", see
// widgets/ledsheets.h) recoloured to LEDColor (lit), InactiveColor (unlit, or Color when
// DrawInactive is off) and Color (background); optionally scrolling left one cell per tick (the
// marquee).
//
// Caption is text; the label turns it into one code per character once per change (LedCodes):
// NFC first, then Windows-1252 (Latin-1 characters are their own code, the characters that code
// page puts at 128 to 159 take those codes, anything else is 32). The codes are what the rules
// count and what the glyphs show: LedGlyph maps a few letters to their glyph (ä and Ä to 135,
// ö and Ö to 140, ü and Ü to 137, ß to 149, ± to 150); codes 32 to 157 show their glyph, the rest
// a blank cell.
//
// Size: every bounds request passes through the layout rule (SetBounds): with e the bevel's
// extent, sp = LEDSpace and pitch = cell width + sp - 1, NumChars is the caption's length
// (AutoSize) or (W - 2e + sp - 1) div pitch, the width 2e + pitch x NumChars - (sp - 1) (unless
// Align is alTop or alBottom, where the width stays as asked), the height 2e + cell height. The
// result is held as the widget's fixed size (only the height with alTop/alBottom), so resize()
// and layouts cannot bypass it. Align affects only this rule; docking is the parent's layout.
// Writing NumChars with AutoSize off sizes the label to that many cells; a negative write is
// ignored.
//
// Loading: between BeginLoading and EndLoading layout is suspended and no off-screen bitmap is
// made; EndLoading lays the label out.
//
// Painting copies glyph rectangles from the recoloured sheet, which is made again only when
// FontSize or a colour changes. With DoubleBuffer the cells are composed in an off-screen image
// (filled with Color first) that OnDrawBitmap, if set, copies itself.
//
// Marquee (AutoScroll): ticks of a timer from the services given to the constructor, every
// ScrollSpeed ms (at least 10). Each tick advances CurrentStep, redraws the cells at once, and
// at the end of the caption returns to StartStep and fires OnEnd (otherwise OnStep). The window
// shown is kept, so a later paint shows the frame past the end until the next tick. Main thread
// only.

#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/services.h"
#include "widgets/mmcontrols.h"

namespace zq {

enum TMMLEDFontSize { fs11x13, fs16x20, fs11x13_bold };

// The caption's codes, one per character after NFC.
std::vector<std::uint8_t> LedCodes(const QString& caption);
// The character whose code is `code` (the code page's free codes give the C1 control of the same
// number), so LedCodes of it gives the code back.
char32_t LedCharacter(std::uint8_t code);
// The glyph a code shows: 32 to 157, 32 (blank) for codes without a glyph.
int LedGlyph(int code);
// The sheet's picture name for a font size.
const char* LedSheetName(TMMLEDFontSize size);

class TMMLEDLABEL : public TMMGraphicControl {
 public:
  using TNotifyEvent = std::function<void(TMMLEDLABEL* sender)>;
  // Takes over copying the off-screen image: the paint's canvas, the image, and the label's
  // BevelClientRect.
  using TMMLabelDrawEvent = std::function<void(TMMLEDLABEL* sender, TCanvas& canvas,
                                               const QImage& bitmap, const TRect& rect)>;

  explicit TMMLEDLABEL(QWidget* parent = nullptr, const Services& services = DefaultServices(),
                       TMMComponent* owner = nullptr);
  ~TMMLEDLABEL() override;

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& value);
  // The caption as codes; its size is the caption's length for every rule.
  const std::vector<std::uint8_t>& Codes() const { return codes_; }
  TMMLEDFontSize FontSize() const { return fontSize_; }
  void SetFontSize(TMMLEDFontSize value);
  int NumChars() const { return numChars_; }
  void SetNumChars(int value);
  int LEDSpace() const { return ledSpace_; }
  void SetLEDSpace(int value);
  TColor LEDColor() const { return ledColor_; }
  void SetLEDColor(TColor value);
  TColor InactiveColor() const { return inactiveColor_; }
  void SetInactiveColor(TColor value);
  bool DrawInactive() const { return drawInactive_; }
  void SetDrawInactive(bool value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);
  bool AutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool value);
  int ScrollSpeed() const { return scrollSpeed_; }
  void SetScrollSpeed(int value);
  int StartStep() const { return startStep_; }
  void SetStartStep(int value);
  int CurrentStep() const { return currentStep_; }
  void SetCurrentStep(int value);
  bool DoubleBuffer() const { return doubleBuffer_; }
  void SetDoubleBuffer(bool value);
  int Tag2() const { return tag2_; }
  void SetTag2(int value) { tag2_ = value; }

  void SetBounds(int left, int top, int width, int height) override;

  // The glyph cell of the current sheet.
  int CellWidth() const { return cw_; }
  int CellHeight() const { return ch_; }
  // The codes the cells show now, one per cell, before LedGlyph.
  std::vector<int> ShownCodes() const;
  // How many times a sheet was recoloured so far.
  int Recolorings() const { return recolorings_; }

  TNotifyEvent OnBegin;
  TNotifyEvent OnStep;
  TNotifyEvent OnEnd;
  TMMLabelDrawEvent OnDrawBitmap;

 protected:
  void BevelChanged() override;
  void ColorChanged() override;
  void Loaded() override;
  void Paint(TCanvas& canvas) override;

 private:
  void LoadSheet();
  // Lays the label out from its current width: only a repaint when the size stays.
  void Layout();
  QSize Rule(int width);
  // 2e + pitch x cells - (sp - 1), within what a widget can be.
  int WidthFor(int cells) const;
  void HoldSize(int width, int height);
  void StartMarquee();
  void Tick();
  std::int64_t Period() const;
  void DrawCells(TCanvas& canvas);
  void DrawGlyphs(QPainter& painter, int x0, int y0);

  std::unique_ptr<Timer> timer_;
  QString caption_;
  std::vector<std::uint8_t> codes_;
  TMMLEDFontSize fontSize_ = fs16x20;
  int numChars_ = 0;
  int ledSpace_ = 1;
  TColor ledColor_ = clLime;
  TColor inactiveColor_ = clGreen;
  bool drawInactive_ = true;
  TAlignment alignment_ = taLeftJustify;
  TAlign align_ = alNone;
  bool autoSize_ = true;
  bool autoScroll_ = false;
  int scrollSpeed_ = 100;
  int startStep_ = 0;
  int currentStep_ = 0;
  int shownStep_ = 0;  // the first character of the window on screen, left-aligned
  bool doubleBuffer_ = false;
  int tag2_ = 0;
  QImage sheet_;  // recoloured
  int cw_ = 0, ch_ = 0;
  QImage bitmap_;
  int recolorings_ = 0;
};

}  // namespace zq
