#pragma once
// TMMLabel: a caption drawn with raised, sunken, shadowed or extruded copies of its text, the
// letters optionally filled with a picture; and TMakerLine, the clickable line that opens the
// maker's web site.
//
// Painting, with lo and hi the smallest and largest of 0 and the four offsets (direction x and y
// times depth, of highlight and shadow), and the alignment shift s = 0, hi - lo or (hi - lo) div 2:
// with Transparent off the label is filled with Color (with Transparent on what lies beneath
// shows through: the widget is not opaque); the shadow copies in ColourShadow at d x direction -
// (lo + s, lo) for d from DepthShadow down to 1 (loExtrude) or d = DepthShadow alone (loNormal);
// the highlight copies the same way; the caption at -(lo + s, lo) in FontColor, or cut out of
// Bitmap tiled from the label's top-left corner; then the frame. Text is word-wrapped, tabs
// expanded, aligned by Alignment, and never antialiased. A non-zero Angle turns the text about
// the label's centre (counter-clockwise, in degrees), on one line and left-aligned.
//
// EffectStyle writes a preset of the two directions and depths (ColourHighlight reset to white
// first); writing a depth or a direction switches the style to lsCustom and changes nothing
// else. AsButton on selects lsRaised; a left press then shows lsSunken while the pointer is over
// the label and lsRaised when it leaves or the button is released. Main thread only.

#include <QFont>
#include <QImage>
#include <QString>

#include "platform/services.h"
#include "widgets/mmcontrols.h"

namespace zq {

enum TMMLabelStyle { lsNone, lsCustom, lsRaised, lsSunken, lsShadow, lsFlying };
enum TMMLabelDirection {
  ldNone,
  ldUp,
  ldUpRight,
  ldRight,
  ldDownRight,
  ldDown,
  ldDownLeft,
  ldLeft,
  ldUpLeft
};
enum TMMLabelOption { loNormal, loExtrude };

class TMMLabel : public TMMGraphicControl {
 public:
  explicit TMMLabel(QWidget* parent = nullptr, TMMComponent* owner = nullptr);

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& value);
  const QFont& Font() const { return font_; }
  // The caption's font; it is never antialiased. Default Times New Roman, 20 points.
  void SetFont(const QFont& value);
  TColor FontColor() const { return fontColor_; }
  void SetFontColor(TColor value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool value);
  const QImage& Bitmap() const { return bitmap_; }
  // The texture of the letters; a null image for none.
  void SetBitmap(const QImage& value);
  TMMLabelStyle EffectStyle() const { return effectStyle_; }
  void SetEffectStyle(TMMLabelStyle value);
  int DepthHighlight() const { return depthHighlight_; }
  void SetDepthHighlight(int value);
  int DepthShadow() const { return depthShadow_; }
  void SetDepthShadow(int value);
  TMMLabelDirection DirectionHighlight() const { return directionHighlight_; }
  void SetDirectionHighlight(TMMLabelDirection value);
  TMMLabelDirection DirectionShadow() const { return directionShadow_; }
  void SetDirectionShadow(TMMLabelDirection value);
  TColor ColourHighlight() const { return colourHighlight_; }
  void SetColourHighlight(TColor value);
  TColor ColourShadow() const { return colourShadow_; }
  void SetColourShadow(TColor value);
  TMMLabelOption StyleHighlight() const { return styleHighlight_; }
  void SetStyleHighlight(TMMLabelOption value);
  TMMLabelOption StyleShadow() const { return styleShadow_; }
  void SetStyleShadow(TMMLabelOption value);
  bool AsButton() const { return asButton_; }
  void SetAsButton(bool value);
  int Angle() const { return angle_; }
  void SetAngle(int value);

 protected:
  void Paint(TCanvas& canvas) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ToCustom();
  // Draws the caption moved by (dx, dy).
  void DrawText(QPainter& painter, int dx, int dy) const;

  QString caption_;
  QFont font_;
  TColor fontColor_ = clBlack;
  TAlignment alignment_ = taLeftJustify;
  bool transparent_ = true;
  QImage bitmap_;
  TMMLabelStyle effectStyle_ = lsRaised;
  int depthHighlight_ = 1;
  int depthShadow_ = 1;
  TMMLabelDirection directionHighlight_ = ldUpLeft;
  TMMLabelDirection directionShadow_ = ldDownRight;
  TColor colourHighlight_ = clWhite;
  TColor colourShadow_ = clGray;
  TMMLabelOption styleHighlight_ = loNormal;
  TMMLabelOption styleShadow_ = loNormal;
  bool asButton_ = false;
  int angle_ = 0;
  bool pressed_ = false;
};

// The maker's web address the maker's line opens.
inline constexpr char kMakerAddress[] = "https://www.zelto.example/";

// A TMMLabel with the hand pointer whose click opens kMakerAddress through the services'
// browser; when the browser refuses, the operator is told (an error naming the address) and
// nothing else changes.
class TMakerLine : public TMMLabel {
 public:
  explicit TMakerLine(QWidget* parent = nullptr, const Services& services = DefaultServices(),
                      TMMComponent* owner = nullptr);
  void Open();

 protected:
  void Click() override;

 private:
  Services services_;
};

}  // namespace zq
